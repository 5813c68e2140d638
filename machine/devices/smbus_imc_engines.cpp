#include "machine/devices/smbus_imc_engines.h"

namespace vexa::machine {

namespace {

enum Register : unsigned { kStatus = 0, kCommand = 1, kControl = 2 };

constexpr unsigned kEngineSize = 12;
constexpr uint32_t kStart = 0x80000000, kWord = 0x20000000, kWrite = 0x08000000;
constexpr uint32_t kClockOverride = 0x08000000;
constexpr uint32_t kCompletion = 0xE0000000;

// The engine and the byte within it of a configuration offset; false
// between the engines.
bool locate(unsigned offset, unsigned& engine, unsigned& byte) {
    for (const unsigned base : {ImcSmbusEngines::kFirstEngine, ImcSmbusEngines::kSecondEngine}) {
        if (offset < base || offset >= base + kEngineSize) continue;
        engine = base == ImcSmbusEngines::kFirstEngine ? 0 : 1;
        byte = offset - base;
        return true;
    }
    return false;
}

} // namespace

ImcSmbusEngines::ImcSmbusEngines(PciAddress function, SmbusSegment segment, bool stuckBusy)
    : function_(function), stuckBusy_(stuckBusy) {
    engines_[0].segment = std::move(segment);
    for (Engine& engine : engines_) engine.registers[kControl] = kClockOverride;
}

void ImcSmbusEngines::read(unsigned offset, std::span<uint8_t> out) {
    bool statusRead[2] = {false, false};
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned engine = 0, byte = 0;
        out[i] = 0;
        if (!locate(offset + unsigned(i), engine, byte)) continue;
        out[i] = uint8_t(engines_[engine].registers[byte / 4] >> (8 * (byte % 4)));
        statusRead[engine] = statusRead[engine] || byte / 4 == kStatus;
    }
    for (unsigned engine = 0; engine < 2; ++engine)
        if (statusRead[engine] && engines_[engine].phase == Phase::Pending && !stuckBusy_) run(engines_[engine]);
}

void ImcSmbusEngines::write(unsigned offset, std::span<const uint8_t> data) {
    bool commandTop[2] = {false, false}, controlWritten[2] = {false, false};
    for (size_t i = 0; i < data.size(); ++i) {
        unsigned engine = 0, byte = 0;
        if (!locate(offset + unsigned(i), engine, byte) || byte / 4 == kStatus) continue;
        uint32_t& reg = engines_[engine].registers[byte / 4];
        const unsigned shift = 8 * (byte % 4);
        reg = (reg & ~(0xFFu << shift)) | uint32_t(data[i]) << shift;
        commandTop[engine] = commandTop[engine] || (byte / 4 == kCommand && byte % 4 == 3);
        controlWritten[engine] = controlWritten[engine] || byte / 4 == kControl;
    }
    for (unsigned i = 0; i < 2; ++i) {
        Engine& engine = engines_[i];
        if (commandTop[i] && (engine.registers[kCommand] & kStart) && engine.phase == Phase::Idle) started(engine);
        if (controlWritten[i] && engine.phase == Phase::Held && (engine.registers[kControl] & kClockOverride))
            engine.phase = Phase::Pending;
    }
}

void ImcSmbusEngines::started(Engine& engine) {
    uint32_t& status = engine.registers[kStatus];
    status = (status & ~kCompletion) | kBusy;
    engine.phase = (engine.registers[kControl] & kClockOverride) ? Phase::Pending : Phase::Held;
}

void ImcSmbusEngines::run(Engine& engine) {
    engine.phase = Phase::Idle;
    const uint32_t command = engine.registers[kCommand];
    const auto address = uint8_t((engine.registers[kControl] >> 28) << 3 | ((command >> 24) & 7));
    const auto reg = uint8_t(command >> 16);
    const bool word = command & kWord;
    uint8_t bytes[2] = {uint8_t(word ? command >> 8 : command), uint8_t(command)};
    const std::span wire(bytes, word ? 2 : 1);
    uint32_t outcome = kBusError;
    if (command & kWrite) {
        if (engine.segment.write(address, reg, wire)) outcome = kWriteDone;
    } else if (engine.segment.read(address, reg, wire)) {
        outcome = kReadDone | (word ? uint32_t(bytes[0]) << 8 | bytes[1] : bytes[0]);
    }
    engine.registers[kStatus] = outcome;
}

} // namespace vexa::machine
