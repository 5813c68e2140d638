// PCI configuration mechanism 2, which the first PCI chipsets (Intel
// 82434 and its kind) offered instead of the address register of
// mechanism 1:
// - 0xCF8, a byte: the configuration space enable register. Bits 7:4 are
//   the key (any value but 0 maps configuration space into the window),
//   bits 3:1 the function number, bit 0 the special-cycle enable (kept,
//   no meaning here).
// - 0xCFA, a byte: the forward register, the bus number.
// - 0xC000-0xCFFF, while the key is not 0: port 0xCDRR reaches register RR
//   of device D (0-15) of that bus and function. Accesses of 1, 2 or 4
//   bytes take each byte from its own port's register, so an unaligned
//   dword at register r gives the bytes r..r+3. With the key 0 the window
//   is not decoded (the bus answers all ones).
// Other widths at 0xCF8 and 0xCFA are not decoded either.
#pragma once

#include "machine/devices/pci_config_space.h"
#include "machine/devices/port_bus.h"

namespace vexa::machine {

class PciConfigMechanism2 final : public PortDevice {
public:
    static constexpr uint16_t kEnablePort = 0xCF8;
    static constexpr uint16_t kForwardPort = 0xCFA;
    static constexpr uint16_t kWindowFirst = 0xC000;
    static constexpr uint16_t kWindowLast = 0xCFFF;

    explicit PciConfigMechanism2(PciConfigSpace& space) : space_(space) {}

    std::string name() const override { return "PCI configuration mechanism 2"; }
    std::vector<PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

private:
    bool windowOpen() const { return (enable_ & 0xF0) != 0; }
    // The function and register a window port reaches.
    void target(uint16_t port, PciAddress& function, unsigned& reg) const;

    PciConfigSpace& space_;
    uint8_t enable_ = 0;
    uint8_t forward_ = 0;
};

} // namespace vexa::machine
