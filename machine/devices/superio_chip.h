// A super-I/O chip on the LPC bus as its configuration port pair (index
// port 0x2E or 0x4E, data port one above) shows it. Until the vendor's key
// sequence arrives at the index port the chip ignores both ports (reads
// give all ones); then the index port selects a configuration register and
// the data port reads or writes it. Registers 0x00-0x2F are global
// (register 7 selects the logical device, 0x20-0x2F identify the chip);
// 0x30 and above belong to the selected logical device.
//
// Keys and exits by vendor protocol:
//   Winbond/Nuvoton, Fintek: 0x87 0x87; 0xAA to the index port leaves.
//   ITE: 0x87 0x01 0x55 0x55 (0x87 0x01 0x55 0xAA at port 0x4E); setting
//        bit 1 of global register 2 leaves.
//   SMSC: 0x55; 0xAA to the index port leaves.
//   National Semiconductor: no key; the registers are always open.
#pragma once

#include "machine/devices/port_bus.h"

#include <cstdint>
#include <map>
#include <vector>

namespace vexa::machine {

enum class SuperIoProtocol : uint8_t { Winbond, Fintek, Ite, Smsc, NationalSemiconductor };

struct SuperIoChipSettings {
    SuperIoProtocol protocol = SuperIoProtocol::Winbond;
    uint16_t configPort = 0x2E;
    // The logical device whose registers the image holds (the hardware
    // monitor's); the registers of any other device read 0 until written.
    uint8_t monitorDevice = 0x0B;
    std::map<uint8_t, uint8_t> globalRegisters;  // 0x00-0x2F; unlisted read 0
    std::map<uint8_t, uint8_t> deviceRegisters;  // 0x30-0xFF of the monitor device
    uint8_t selectedDevice = 0;                  // register 7 at power-on
};

class SuperIoChip final : public PortDevice {
public:
    static constexpr uint8_t kDeviceSelect = 0x07;
    static constexpr uint8_t kFirstDeviceRegister = 0x30;

    explicit SuperIoChip(SuperIoChipSettings settings);

    std::string name() const override { return "super-I/O chip"; }
    std::vector<PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    // What a test checks the chip was left with.
    bool inConfigMode() const { return open_; }
    uint8_t selectedDevice() const { return selected_; }

private:
    std::vector<uint8_t> key() const;
    void keyByte(uint8_t value);
    void writeRegister(uint8_t value);
    uint8_t readRegister() const;

    SuperIoChipSettings settings_;
    std::map<uint8_t, std::map<uint8_t, uint8_t>> otherDevices_;
    bool open_;
    size_t keyProgress_ = 0;
    uint8_t index_ = 0;
    uint8_t selected_;
};

} // namespace vexa::machine
