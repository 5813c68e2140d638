#include "machine/devices/indexed_registers.h"

#include <algorithm>

namespace vexa::machine {

std::vector<PortRange> IndexedRegisters::ranges() const {
    const uint16_t low = std::min(settings_.indexPort, settings_.dataPort);
    const uint16_t high = std::max(settings_.indexPort, settings_.dataPort);
    if (high == low + 1) return {PortRange{low, high}};
    return {PortRange{low, low}, PortRange{high, high}};
}

bool IndexedRegisters::decodes(uint16_t port, unsigned width) const {
    return width == 1 && (port == settings_.indexPort || port == settings_.dataPort);
}

uint32_t IndexedRegisters::read(uint16_t port, unsigned) {
    return port == settings_.indexPort ? index_ : settings_.registers[index_];
}

void IndexedRegisters::write(uint16_t port, unsigned, uint32_t value) {
    if (port == settings_.indexPort) index_ = uint8_t(value);
    else settings_.registers[index_] = uint8_t(value);
}

bool EeePcControllerPorts::decodes(uint16_t port, unsigned width) const {
    return width == 1 && port >= kHighPort && port <= kDataPort;
}

uint8_t EeePcControllerPorts::at(uint16_t address) const {
    const auto it = bytes_.find(address);
    return it == bytes_.end() ? 0xFF : it->second;
}

uint32_t EeePcControllerPorts::read(uint16_t port, unsigned) {
    switch (port) {
    case kHighPort: return address_ >> 8;
    case kLowPort: return address_ & 0xFF;
    default: return at(address_);
    }
}

void EeePcControllerPorts::write(uint16_t port, unsigned, uint32_t value) {
    const auto byte = uint8_t(value);
    switch (port) {
    case kHighPort: address_ = uint16_t(byte << 8 | (address_ & 0xFF)); return;
    case kLowPort: address_ = uint16_t((address_ & 0xFF00) | byte); return;
    default: bytes_[address_] = byte; return;
    }
}

} // namespace vexa::machine
