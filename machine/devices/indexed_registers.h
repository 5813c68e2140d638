// 256 byte registers behind an index port and a data port (any two ports,
// not necessarily neighbours): the analog block of AMD SB600/SB700
// southbridges at 0xCD0/0xCD1, the sensor ports a Gigabyte board's
// firmware record names. Writes to the data port change the register.
#pragma once

#include "machine/devices/port_bus.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace vexa::machine {

struct IndexedRegistersSettings {
    std::string name = "indexed registers";
    uint16_t indexPort = 0;
    uint16_t dataPort = 1;
    std::array<uint8_t, 256> registers{};
};

class IndexedRegisters final : public PortDevice {
public:
    explicit IndexedRegisters(IndexedRegistersSettings settings) : settings_(std::move(settings)) {}

    std::string name() const override { return settings_.name; }
    std::vector<PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    uint8_t index() const { return index_; }

private:
    IndexedRegistersSettings settings_;
    uint8_t index_ = 0;
};

// The embedded controller of Asus Eee PC notebooks as its index ports show
// it: the high byte of a 16-bit controller address to 0x381, the low byte
// to 0x382, and the byte at that address through 0x383. Addresses not
// listed read 0xFF.
class EeePcControllerPorts final : public PortDevice {
public:
    static constexpr uint16_t kHighPort = 0x381, kLowPort = 0x382, kDataPort = 0x383;

    explicit EeePcControllerPorts(std::map<uint16_t, uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::string name() const override { return "Eee PC embedded controller"; }
    std::vector<PortRange> ranges() const override { return {PortRange{kHighPort, kDataPort}}; }
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    uint8_t at(uint16_t address) const;

private:
    std::map<uint16_t, uint8_t> bytes_;
    uint16_t address_ = 0;
};

} // namespace vexa::machine
