#include "machine/devices/pci_config_mechanism2.h"

namespace vexa::machine {

std::vector<PortRange> PciConfigMechanism2::ranges() const {
    return {PortRange{kEnablePort, kEnablePort}, PortRange{kForwardPort, kForwardPort},
            PortRange{kWindowFirst, kWindowLast}};
}

bool PciConfigMechanism2::decodes(uint16_t port, unsigned width) const {
    if (port == kEnablePort || port == kForwardPort) return width == 1;
    return windowOpen() && port >= kWindowFirst && port - kWindowFirst + width <= kWindowLast - kWindowFirst + 1u;
}

void PciConfigMechanism2::target(uint16_t port, PciAddress& function, unsigned& reg) const {
    function = PciAddress{forward_, uint8_t((port >> 8) & 0xF), uint8_t((enable_ >> 1) & 7)};
    reg = port & 0xFF;
}

uint32_t PciConfigMechanism2::read(uint16_t port, unsigned width) {
    if (port == kEnablePort) return enable_;
    if (port == kForwardPort) return forward_;
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        PciAddress function;
        unsigned reg = 0;
        target(uint16_t(port + i), function, reg);
        uint8_t byte = 0xFF;
        space_.read(function, reg, std::span<uint8_t>(&byte, 1));
        value |= uint32_t(byte) << (8 * i);
    }
    return value;
}

void PciConfigMechanism2::write(uint16_t port, unsigned width, uint32_t value) {
    if (port == kEnablePort) {
        enable_ = uint8_t(value);
        return;
    }
    if (port == kForwardPort) {
        forward_ = uint8_t(value);
        return;
    }
    for (unsigned i = 0; i < width; ++i) {
        PciAddress function;
        unsigned reg = 0;
        target(uint16_t(port + i), function, reg);
        const uint8_t byte = uint8_t(value >> (8 * i));
        space_.write(function, reg, std::span<const uint8_t>(&byte, 1));
    }
}

} // namespace vexa::machine
