// The reference clocks of the ATI video BIOS layouts.
#include "sdk/display/ati_directio_api.h"

namespace {

constexpr uint32_t kHeaderPointer = 0x48;
constexpr uint32_t kLegacyMaxPointer = 0x6FFF;
constexpr uint32_t kMinClockWord = 11;    // 110 kHz
constexpr uint32_t kMaxClockWord = 9999;  // 99.99 MHz
constexpr uint32_t kAtomSignature = 0x4D4F5441;  // "ATOM"
constexpr uint32_t kRomLengthUnit = 512;

bool PlausibleClock(uint32_t word) { return word >= kMinClockWord && word <= kMaxClockWord; }

// The R8XX memory word counts four times finer: its clock, a quarter of
// ten times the word, must be as plausible as the core's.
bool PlausibleQuarterClock(uint32_t word) { return word >= 4 * kMinClockWord && word <= 4 * kMaxClockWord; }

// A 16-bit word of the BIOS; false when it cannot be read.
bool Word(ATIBIOSWordReader read, void* context, uint32_t offset, uint32_t* value) {
    uint32_t word = 0;
    if (!read(context, offset, &word)) return false;
    *value = word & 0xFFFF;
    return true;
}

} // namespace

void ReadLegacyReferenceClocks(ATIBIOSWordReader read, void* context, bool withMemory, ATIReferenceClocks* clocks) {
    uint32_t header = 0, table = 0, clock = 0;
    if (!Word(read, context, kHeaderPointer, &header) || header < 1 || header > kLegacyMaxPointer) return;
    if (!Word(read, context, header + 0x30, &table) || table < 1 || table > kLegacyMaxPointer) return;
    if (!Word(read, context, table + 0x26, &clock) || !PlausibleClock(clock)) return;
    clocks->core = int32_t(clock * 10);
    if (withMemory) clocks->memory = int32_t(clock * 10);
}

void ReadAtomReferenceClocks(ATIBIOSWordReader read, void* context, bool r8xxMemory, ATIReferenceClocks* clocks) {
    // Every pointer must leave the field it leads to inside the ROM's
    // stated length (byte 2, in 512-byte units).
    uint32_t length = 0;
    if (!Word(read, context, 2, &length)) return;
    const uint32_t romBytes = (length & 0xFF) * kRomLengthUnit;
    const auto inside = [&](uint32_t pointer, uint32_t field) { return pointer >= 1 && pointer + field + 2 <= romBytes; };
    uint32_t header = 0, low = 0, high = 0, data = 0, firmware = 0, core = 0;
    if (!Word(read, context, kHeaderPointer, &header) || !inside(header, 0x20)) return;
    if (!Word(read, context, header + 4, &low) || !Word(read, context, header + 6, &high) ||
        (high << 16 | low) != kAtomSignature)
        return;
    if (!Word(read, context, header + 0x20, &data) || !inside(data, 0x0C)) return;
    if (!Word(read, context, data + 0x0C, &firmware) || !inside(firmware, 0x54)) return;
    if (!Word(read, context, firmware + 0x52, &core) || !PlausibleClock(core)) return;
    clocks->core = int32_t(core * 10);
    if (!r8xxMemory) {
        clocks->memory = clocks->core;
        return;
    }
    uint32_t memory = 0;
    if (Word(read, context, firmware + 0x54, &memory) && PlausibleQuarterClock(memory))
        clocks->memory = int32_t(memory * 10 / 4);
}
