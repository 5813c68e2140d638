#include "machine/devices/smbus_fbd_spd_engines.h"

namespace vexa::machine {

namespace {

constexpr uint32_t kClockOverride = 0x08000000;
constexpr uint32_t kWrite = 0x01;
constexpr uint16_t kCompletion = 0xE000;

bool inside(unsigned offset, unsigned first, unsigned size) { return offset >= first && offset < first + size; }

} // namespace

FbdSpdEngines::FbdSpdEngines(Chip chip, PciAddress function, SmbusSegment segment, bool stuckBusy)
    : chip_(chip), function_(function), stuckBusy_(stuckBusy) {
    if (chip == Chip::Intel5000) {
        engines_.push_back(Engine{0x74, 0x78, std::move(segment)});
        engines_.push_back(Engine{0x76, 0x7C, SmbusSegment{}});
    } else {
        engines_.push_back(Engine{0x80, 0x84, std::move(segment)});
    }
}

unsigned FbdSpdEngines::first() const { return engines_.front().statusRegister; }

unsigned FbdSpdEngines::last() const { return engines_.back().commandRegister + 3; }

uint8_t FbdSpdEngines::byteAt(unsigned offset) const {
    for (const Engine& engine : engines_) {
        if (inside(offset, engine.statusRegister, 2)) return uint8_t(engine.status >> (8 * (offset - engine.statusRegister)));
        if (inside(offset, engine.commandRegister, 4))
            return uint8_t(engine.command >> (8 * (offset - engine.commandRegister)));
    }
    return 0;  // the E8500's bytes between status and command
}

void FbdSpdEngines::read(unsigned offset, std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i) out[i] = byteAt(offset + unsigned(i));
    for (Engine& engine : engines_) {
        const bool statusRead = engine.statusRegister + 1 >= offset && engine.statusRegister < offset + out.size();
        if (statusRead && engine.pending && !stuckBusy_) run(engine);
    }
}

void FbdSpdEngines::write(unsigned offset, std::span<const uint8_t> data) {
    for (Engine& engine : engines_) {
        bool top = false;
        for (size_t i = 0; i < data.size(); ++i) {
            const unsigned at = offset + unsigned(i);
            if (!inside(at, engine.commandRegister, 4)) continue;
            const unsigned shift = 8 * (at - engine.commandRegister);
            engine.command = (engine.command & ~(0xFFu << shift)) | uint32_t(data[i]) << shift;
            top = top || at == engine.commandRegister + 3;
        }
        if (!top || (engine.status & kBusy)) continue;
        if (chip_ == Chip::Intel5000 && !(engine.command & kClockOverride)) continue;
        engine.status = uint16_t((engine.status & ~kCompletion) | kBusy);
        engine.pending = true;
    }
}

void FbdSpdEngines::run(Engine& engine) {
    engine.pending = false;
    const uint32_t command = engine.command;
    const auto address = uint8_t((command >> 28) << 3 | ((command >> 24) & 7));
    auto byte = uint8_t(command >> 8);
    const auto reg = uint8_t(command >> 16);
    uint16_t outcome = kBusError;
    if (command & kWrite) {
        if (engine.segment.write(address, reg, std::span(&byte, 1))) outcome = kWriteDone;
    } else if (engine.segment.read(address, reg, std::span(&byte, 1))) {
        outcome = uint16_t(kReadDone | byte);
    }
    engine.status = outcome;
}

} // namespace vexa::machine
