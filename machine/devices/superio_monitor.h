// The hardware-monitor block of a super-I/O chip: an index/data port pair
// at the base address of the chip's hardware-monitor logical device (index
// port base + 5 as a rule) in front of 256 byte registers. Winbond and
// Nuvoton chips page them: the bank register 0x4E selects the bank in its
// low four bits, and with its bit 7 set register 0x4F shows the high byte
// of the vendor id (0x5C of 0x5CA3) instead of the low one.
#pragma once

#include "machine/devices/port_bus.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>

namespace vexa::machine {

struct SuperIoMonitorSettings {
    using Bank = std::array<uint8_t, 256>;

    uint16_t indexPort = 0x295;  // data port one above
    // Set for chips with a bank register (0x4E on Winbond and Nuvoton chips).
    std::optional<uint8_t> bankRegister;
    uint8_t vendorHighByte = 0x5C;  // what 0x4F shows with bank bit 7 set
    std::map<unsigned, Bank> banks;  // bank number -> registers; a chip without banks has bank 0
};

class SuperIoMonitor final : public PortDevice {
public:
    static constexpr uint8_t kVendorIdRegister = 0x4F;
    static constexpr uint8_t kHighByteSelect = 0x80;

    explicit SuperIoMonitor(SuperIoMonitorSettings settings);

    std::string name() const override { return "super-I/O hardware monitor"; }
    std::vector<PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    // The bank register as the chip holds it (0 for a chip without one).
    uint8_t bankSelection() const { return bank_; }

private:
    SuperIoMonitorSettings::Bank* currentBank();
    uint8_t readRegister();

    SuperIoMonitorSettings settings_;
    uint8_t index_ = 0;
    uint8_t bank_ = 0;
};

} // namespace vexa::machine
