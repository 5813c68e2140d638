// What the tests of the SPD and chipset domains share: SPD images built
// byte by byte or read from tests/data/spd, a record decoded from bytes,
// SMBus controllers in memory that answer with such images (the scan's
// bus), and the report text of a module.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sdk/chipset/module_info.h"
#include "sdk/hw/smbus_controller.h"

class CSMBusInterface;

namespace vexa::test {

// SPD bytes, zero unless set.
class SpdImage {
public:
    explicit SpdImage(uint8_t type, size_t size = 256) : bytes_(size, 0) { bytes_[2] = type; }
    explicit SpdImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    SpdImage& Set(size_t offset, uint8_t value) {
        bytes_.at(offset) = value;
        return *this;
    }
    // Consecutive bytes from `offset`.
    SpdImage& Set(size_t offset, std::initializer_list<uint8_t> values);
    // Text bytes from `offset`, without a terminator.
    SpdImage& Text(size_t offset, const std::string& text);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The bytes of a file of tests/data/spd (raw, or hex text for ".hex").
std::vector<uint8_t> SpdFileBytes(const std::string& file);
// The record of `bytes` as the scan fills it (all of them read), decoded.
std::unique_ptr<CModuleInfo> Decoded(const std::vector<uint8_t>& bytes);
// The record's block of the "Memory SPD" section.
std::string ModuleReport(const CModuleInfo& record);

// An SMBus controller in memory: SPD EEPROMs (256 bytes, or 512 behind the
// page select at 0x36/0x37) and JC-42.4 sensors (16-bit registers, most
// significant byte first) at their addresses; nothing else answers.
class FakeSPDBus : public CSMBusRegisterSpace {
public:
    FakeSPDBus() : CSMBusRegisterSpace(nullptr, 1) {}

    void AddEEPROM(uint8_t address, const std::vector<uint8_t>& bytes) { eeproms_[address] = bytes; }
    void AddSensor(uint8_t address, std::array<uint16_t, 16> registers) { sensors_[address] = registers; }

    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;

    // Every slave address a transfer was addressed to, in order.
    std::vector<uint8_t> m_addressed;

private:
    std::map<uint8_t, std::vector<uint8_t>> eeproms_;
    std::map<uint8_t, std::array<uint16_t, 16>> sensors_;
    unsigned page_ = 0;
};

// A root with an SMBus domain of in-memory controllers, released at the end.
class SPDBusTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A controller of the domain (in the root's register-space list); an
    // engine when `controllerId` is a memory controller's id.
    FakeSPDBus& AddBus(uint32_t controllerId = CSMBusRegisterSpace::kNoControllerId);

    CSMBusInterface* smbus_ = nullptr;
};

// The JC-42.4 registers of tests/data/smbus-sensors/jc42.regs, with the
// manufacturer (6) and temperature (5) registers given.
std::array<uint16_t, 16> Jc42Registers(uint16_t manufacturer, uint16_t temperature);

} // namespace vexa::test
