#include "machine/devices/smbus_port_host.h"

namespace vexa::machine {

// ---- Gates ----

bool PciBaseGate::allSet(const std::vector<PciEnableBits>& bits) const {
    for (const PciEnableBits& bit : bits)
        if ((space_.peekByte(function_, bit.offset) & bit.mask) != bit.mask) return false;
    return true;
}

uint16_t PciBaseGate::registerBase() const {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) value |= uint32_t(space_.peekByte(function_, layout_.baseRegister + i)) << (8 * i);
    // All base bits set is what an absent or uncaptured register reads.
    const uint32_t base = value & layout_.baseMask;
    if (base == 0 || base == layout_.baseMask || base + layout_.offset > 0xFFFF) return 0;
    return uint16_t(base + layout_.offset);
}

uint16_t PciBaseGate::base() const {
    if (!space_.has(function_) || !allSet(layout_.decode)) return 0;
    return registerBase();
}

bool PciBaseGate::hostEnabled() const { return allSet(layout_.host); }

// ---- Ports ----

SmbusPortHost::SmbusPortHost(std::string name, uint16_t base, unsigned ports, unsigned maxWidth,
                             std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment, bool stuckBusy)
    : name_(std::move(name)), base_(base), ports_(ports), maxWidth_(maxWidth), gate_(std::move(gate)),
      segment_(std::move(segment)), stuckBusy_(stuckBusy) {}

std::vector<PortRange> SmbusPortHost::ranges() const {
    return {PortRange{base_, uint16_t(base_ + ports_ - 1)}};
}

bool SmbusPortHost::decodes(uint16_t port, unsigned width) const {
    if (width > maxWidth_ || port < base_ || port + width > base_ + ports_) return false;
    return gate_->base() == base_;
}

uint32_t SmbusPortHost::read(uint16_t port, unsigned width) {
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= uint32_t(readRegister(port - base_ + i)) << (8 * i);
    return value;
}

void SmbusPortHost::write(uint16_t port, unsigned width, uint32_t value) {
    for (unsigned i = 0; i < width; ++i) writeRegister(port - base_ + i, uint8_t(value >> (8 * i)));
}

bool SmbusPortHost::transfer(Transfer kind, uint8_t addressByte, uint8_t command, uint8_t* data) {
    const auto address = uint8_t(addressByte >> 1);
    if (kind == Transfer::Quick) return segment_.acknowledges(address);
    const std::span bytes(data, kind == Transfer::WordData ? 2 : 1);
    return (addressByte & 1) ? segment_.read(address, command, bytes) : segment_.write(address, command, bytes);
}

} // namespace vexa::machine
