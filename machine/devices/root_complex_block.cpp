#include "machine/devices/root_complex_block.h"

#include "machine/devices/ich_function_disable.h"

#include <algorithm>

namespace vexa::machine {

RootComplexRegisters::RootComplexRegisters(uint32_t functionDisable) : bytes_(kSize, 0) {
    for (unsigned i = 0; i < 4; ++i) bytes_[kFunctionDisable + i] = uint8_t(functionDisable >> (8 * i));
}

uint32_t RootComplexRegisters::functionDisable() const {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) value |= uint32_t(bytes_[kFunctionDisable + i]) << (8 * i);
    return value;
}

bool RootComplexRegisters::hides(PciAddress address, const PciConfigSpace&) const {
    if (address == kIchSmbus) return functionDisable() & kSmbusDisable;
    if (address == kIchThermal) return functionDisable() & kThermalDisable;
    return false;
}

void RootComplexRegisters::read(uint64_t offset, std::span<uint8_t> out) const {
    std::copy_n(bytes_.begin() + long(offset), out.size(), out.begin());
}

void RootComplexRegisters::write(uint64_t offset, std::span<const uint8_t> data) {
    std::copy(data.begin(), data.end(), bytes_.begin() + long(offset));
}

bool RootComplexBlock::enabled() const {
    if (!space_.has(kIchLpcBridge)) return false;
    uint32_t rcba = 0;
    for (unsigned i = 0; i < 4; ++i) rcba |= uint32_t(space_.peekByte(kIchLpcBridge, kBaseRegister + i)) << (8 * i);
    return (rcba & kEnable) && (rcba & kBaseMask) == base_;
}

} // namespace vexa::machine
