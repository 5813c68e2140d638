#include "machine/devices/pci_config_ports.h"

namespace vexa::machine {
namespace {

constexpr uint32_t kEnableBit = 0x80000000u;

} // namespace

uint32_t PciConfigPorts::addressMask() const {
    // Bits 1:0 and 30:24 are reserved and read 0; the extended variant
    // keeps 27:24 as register bits 11:8.
    return variant_ == Variant::ExtendedRegisterBits ? 0x8FFFFFFCu : 0x80FFFFFCu;
}

bool PciConfigPorts::decodes(uint16_t port, unsigned width) const {
    if (port == kAddressPort) return width == 4;
    return port >= kDataPort && port - kDataPort + width <= 4;
}

bool PciConfigPorts::target(uint16_t port, PciAddress& function, unsigned& offset) const {
    if (!(address_ & kEnableBit)) return false;
    function = PciAddress{uint8_t(address_ >> 16), uint8_t((address_ >> 11) & 0x1F), uint8_t((address_ >> 8) & 7)};
    offset = (address_ & 0xFC) + unsigned(port - kDataPort);
    if (variant_ == Variant::ExtendedRegisterBits) offset |= (address_ >> 16) & 0xF00;
    return true;
}

uint32_t PciConfigPorts::read(uint16_t port, unsigned width) {
    if (port == kAddressPort) return address_;
    PciAddress function;
    unsigned offset = 0;
    if (!target(port, function, offset)) return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    uint8_t bytes[4] = {};
    space_.read(function, offset, std::span<uint8_t>(bytes, width));
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void PciConfigPorts::write(uint16_t port, unsigned width, uint32_t value) {
    if (port == kAddressPort) {
        address_ = value & addressMask();
        return;
    }
    PciAddress function;
    unsigned offset = 0;
    if (!target(port, function, offset)) return;
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    space_.write(function, offset, std::span<const uint8_t>(bytes, width));
}

} // namespace vexa::machine
