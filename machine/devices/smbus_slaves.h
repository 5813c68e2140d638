// The SMBus slaves of a simulated machine (smbus_segment.h): memory
// modules' SPD EEPROMs, their JC-42.4 temperature sensors, and register
// images of any other chip.
#pragma once

#include "machine/devices/smbus_segment.h"

#include <array>
#include <map>
#include <vector>

namespace vexa::machine {

// An SPD EEPROM: 256 bytes (DDR to DDR3, EE1002), or 512 in two pages
// (DDR4, EE1004). A read returns the bytes from the command byte on,
// wrapping inside the selected page; writes are acknowledged and do not
// change the bytes (the EEPROM is write-protected, as on modules).
class SpdEeprom final : public SmbusSlave {
public:
    static constexpr size_t kPageSize = 256;
    static constexpr size_t kPagedSize = 512;

    // `bytes`: at most 256 (padded with 0xFF), or exactly 512.
    explicit SpdEeprom(std::vector<uint8_t> bytes);

    std::string name() const override { return pagedSpd() ? "DDR4 SPD EEPROM" : "SPD EEPROM"; }
    bool write(uint8_t, std::span<const uint8_t>) override { return true; }
    bool read(uint8_t command, std::span<uint8_t> out) override;
    bool pagedSpd() const override { return bytes_.size() == kPagedSize; }
    void selectSpdPage(unsigned page) override { page_ = page & 1; }

    unsigned page() const { return page_; }

private:
    std::vector<uint8_t> bytes_;
    unsigned page_ = 0;
};

// A JC-42.4 temperature sensor (the thermal sensor on a memory module):
// sixteen 16-bit registers, sent most significant byte first. The
// configuration (1), the limits (2-4) and the SMBus time-out register (8)
// take writes; the others are read-only.
class Jc42Sensor final : public SmbusSlave {
public:
    static constexpr size_t kRegisters = 16;

    explicit Jc42Sensor(const std::array<uint16_t, kRegisters>& registers) : registers_(registers) {}

    std::string name() const override { return "JC-42.4 temperature sensor"; }
    bool write(uint8_t command, std::span<const uint8_t> data) override;
    bool read(uint8_t command, std::span<uint8_t> out) override;

    uint16_t registerValue(uint8_t reg) const { return registers_.at(reg % kRegisters); }

private:
    std::array<uint16_t, kRegisters> registers_;
};

// A chip shown by its register image: 256 byte registers that keep what
// is written, read with the command byte as the first register and the
// ones after it (wrapping at 0xFF). A banked chip has one image per bank
// and a bank register, shared by the banks, whose writes choose the bank.
class RegisterImageDevice final : public SmbusSlave {
public:
    using Bank = std::array<uint8_t, 256>;

    // `banks`: bank number -> registers, at least one; `bankRegister`:
    // -1 for a chip without banks.
    RegisterImageDevice(std::map<unsigned, Bank> banks, int bankRegister);

    std::string name() const override { return "register image"; }
    bool write(uint8_t command, std::span<const uint8_t> data) override;
    bool read(uint8_t command, std::span<uint8_t> out) override;

    unsigned bank() const { return bank_; }

private:
    std::map<unsigned, Bank> banks_;
    int bankRegister_;
    unsigned bank_;
};

} // namespace vexa::machine
