#include "machine/devices/mchbar_window.h"

#include <algorithm>

namespace vexa::machine {

namespace {

constexpr PciAddress kHostBridge{0, 0, 0};
constexpr unsigned kDevice6Switch = 0xF4;
constexpr uint8_t kDevice6Visible = 1u << 1;
constexpr unsigned kCommand = 0x04, kBar0 = 0x10;
constexpr uint32_t kMemoryDecoding = 1u << 1;
constexpr uint32_t kPageBase = 0xFFFFF000u, kWindowBase = 0xFFFFC000u;

} // namespace

uint64_t MchbarSettings::defaultSize(MchbarLayout layout) {
    switch (layout) {
    case MchbarLayout::I865: return 0x1000;
    case MchbarLayout::Core: return 0x8000;
    default: return 0x4000;
    }
}

MchbarWindow::MchbarWindow(const MchbarSettings& settings, const PciConfigSpace& space)
    : settings_(settings), space_(space), bytes_(settings.size, 0) {
    for (const auto& [offset, value] : settings.registers)
        for (unsigned i = 0; i < 4 && offset + i < bytes_.size(); ++i) bytes_[offset + i] = uint8_t(value >> (8 * i));
}

uint32_t MchbarWindow::configDword(PciAddress function, unsigned offset) const {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) value |= uint32_t(space_.peekByte(function, offset + i)) << (8 * i);
    return value;
}

bool MchbarWindow::enabled() const {
    if (!space_.has(kHostBridge)) return false;
    const uint64_t base = settings_.base;
    switch (settings_.layout) {
    case MchbarLayout::I865: {
        const PciAddress device6 = I865Device6Gate::kDevice6;
        if (!space_.has(device6) || !(space_.peekByte(kHostBridge, kDevice6Switch) & kDevice6Visible)) return false;
        return (configDword(device6, kCommand) & kMemoryDecoding) && (configDword(device6, kBar0) & kPageBase) == base;
    }
    case MchbarLayout::I915:
        return (configDword(kHostBridge, 0x54) & (1u << 28)) && (configDword(kHostBridge, 0x44) & kWindowBase) == base;
    case MchbarLayout::I945: {
        const uint32_t reg = configDword(kHostBridge, 0x44);
        return (reg & 1u) && (reg & kWindowBase) == base;
    }
    case MchbarLayout::Bar48:
    case MchbarLayout::Core: {
        const uint32_t reg = configDword(kHostBridge, 0x48);
        return (reg & 1u) && (reg & kWindowBase) == base;
    }
    }
    return false;
}

void MchbarWindow::read(uint64_t offset, std::span<uint8_t> out) {
    std::copy_n(bytes_.begin() + long(offset), out.size(), out.begin());
}

void MchbarWindow::write(uint64_t offset, std::span<const uint8_t> data) {
    std::copy(data.begin(), data.end(), bytes_.begin() + long(offset));
}

bool I865Device6Gate::hides(PciAddress address, const PciConfigSpace& space) const {
    return address == kDevice6 && space.has(kHostBridge) && !(space.peekByte(kHostBridge, kDevice6Switch) & kDevice6Visible);
}

} // namespace vexa::machine
