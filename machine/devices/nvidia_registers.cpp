#include "machine/devices/nvidia_registers.h"

namespace vexa::machine {

namespace {
constexpr unsigned kCommand = 0x04, kBar0 = 0x10;
constexpr uint32_t kMemoryDecoding = 1u << 1;
constexpr uint32_t kBarBase = 0xFFFFFFF0u;
// A line register before its first write: both lines released, driven.
constexpr uint32_t kLinesReleased = 0x7;
constexpr uint32_t kLineBits = 0x3;
} // namespace

NvidiaRegisterWindow::NvidiaRegisterWindow(GpuRegisterSettings settings, const PciConfigSpace& space)
    : settings_(std::move(settings)), space_(space) {
    for (unsigned i = 0; i < GpuRegisterSettings::kBuses; ++i) {
        buses_[i] = std::make_unique<I2cLineBus>(settings_.i2c[i]);
        const uint32_t line = GpuRegisterSettings::kLineRegister + i * GpuRegisterSettings::kLineStride;
        const uint32_t start = settings_.registers.emplace(line, kLinesReleased).first->second;
        buses_[i]->drive(start & 1, start >> 1 & 1);
    }
}

bool NvidiaRegisterWindow::enabled() const {
    const PciAddress f = settings_.function;
    if (!space_.has(f)) return false;
    const auto config = [&](unsigned offset) {
        uint32_t value = 0;
        for (unsigned i = 0; i < 4; ++i) value |= uint32_t(space_.peekByte(f, offset + i)) << (8 * i);
        return value;
    };
    return (config(kCommand) & kMemoryDecoding) && (config(kBar0) & kBarBase) == settings_.base;
}

I2cLineBus* NvidiaRegisterWindow::busAt(uint32_t offset) const {
    for (unsigned i = 0; i < GpuRegisterSettings::kBuses; ++i)
        if (offset == GpuRegisterSettings::kLineRegister + i * GpuRegisterSettings::kLineStride) return buses_[i].get();
    return nullptr;
}

uint32_t NvidiaRegisterWindow::dword(uint32_t offset) const {
    const auto it = settings_.registers.find(offset);
    const uint32_t stored = it == settings_.registers.end() ? 0 : it->second;
    const I2cLineBus* bus = busAt(offset);
    if (!bus) return stored;
    const I2cLineLevels lines = bus->levels();
    return (stored & ~kLineBits) | lines.clock | uint32_t(lines.data) << 1;
}

namespace {
bool InRomWindow(uint64_t offset) {
    return offset >= GpuRegisterSettings::kRomWindow &&
           offset - GpuRegisterSettings::kRomWindow < GpuRegisterSettings::kRomWindowSize;
}
} // namespace

void NvidiaRegisterWindow::read(uint64_t offset, std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i) {
        const uint64_t at = offset + i;
        if (InRomWindow(at)) {
            const uint64_t index = at - GpuRegisterSettings::kRomWindow;
            out[i] = index < settings_.rom.size() ? settings_.rom[index] : 0xFF;
            continue;
        }
        out[i] = uint8_t(dword(uint32_t(at & ~3ull)) >> (8 * (at & 3)));
    }
}

void NvidiaRegisterWindow::write(uint64_t offset, std::span<const uint8_t> data) {
    for (size_t i = 0; i < data.size();) {
        if (InRomWindow(offset + i)) {  // read-only
            ++i;
            continue;
        }
        const auto aligned = uint32_t((offset + i) & ~3ull);
        uint32_t value = settings_.registers.count(aligned) ? settings_.registers[aligned] : 0;
        for (; i < data.size() && ((offset + i) & ~3ull) == aligned; ++i) {
            const unsigned shift = 8 * ((offset + i) & 3);
            value = (value & ~(0xFFu << shift)) | uint32_t(data[i]) << shift;
        }
        settings_.registers[aligned] = value;
        if (I2cLineBus* bus = busAt(aligned)) bus->drive(value & 1, value >> 1 & 1);
    }
}

} // namespace vexa::machine
