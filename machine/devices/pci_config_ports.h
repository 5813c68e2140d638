// PCI configuration mechanism 1: the dword address register at port 0xCF8
// (bit 31 enable, bus 23:16, device 15:11, function 10:8, register 7:2)
// and the data window at 0xCFC-0xCFF, where an access of 1, 2 or 4 bytes
// reaches configuration bytes (register & 0xFC) + (port - 0xCFC). With the
// enable bit clear the data window reads all ones and ignores writes.
// Accesses of 0xCF8 that are not dword wide do not reach the address
// register; they go to the bus like any unclaimed port.
//
// Some AMD chipsets extend the register number with address bits 27:24
// (registers 0x100-0xFFF); the ExtendedRegisterBits option turns that on
// (the manifest's pci.extended_register_bits). Mechanism 2 (the 0xCF8/0xCFA
// byte registers and the 0xC000-0xCFFF window) is a device of its own,
// which takes this one's place (pci_config_mechanism2.h).
#pragma once

#include "machine/devices/pci_config_space.h"
#include "machine/devices/port_bus.h"

namespace vexa::machine {

class PciConfigPorts final : public PortDevice {
public:
    static constexpr uint16_t kAddressPort = 0xCF8;
    static constexpr uint16_t kDataPort = 0xCFC;

    enum class Variant { Standard, ExtendedRegisterBits };

    explicit PciConfigPorts(PciConfigSpace& space, Variant variant = Variant::Standard)
        : space_(space), variant_(variant) {}

    std::string name() const override { return "PCI configuration ports"; }
    std::vector<PortRange> ranges() const override { return {PortRange{kAddressPort, kDataPort + 3}}; }
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

private:
    // The function and byte offset the address register selects for an
    // access of the data window at `port`; false when disabled.
    bool target(uint16_t port, PciAddress& function, unsigned& offset) const;
    uint32_t addressMask() const;

    PciConfigSpace& space_;
    Variant variant_;
    uint32_t address_ = 0;
};

} // namespace vexa::machine
