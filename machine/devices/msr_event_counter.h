// A general-purpose performance counter of an Intel processor, IA32_PMC0 to
// IA32_PMC3 (0xC1-0xC4), that counts one event at a fixed rate: the bus
// cycles of a Core 2 (event 0x3C, unit mask 0x01, counting at the front-side
// bus clock), for instance. Counter n counts only while its event select
// IA32_PERFEVTSELn (0x186 + n) selects that event and unit mask (bits 7:0
// and 15:8), counts in the user's or the operating system's privilege level
// (bit 16 or 17) and is enabled (bit 22), and while IA32_PERF_GLOBAL_CTRL
// (0x38F) has bit n set. An event select the processor does not list holds
// the counter still; a global control it does not list holds nothing back
// (processors before Core 2 have none). Stopped, the counter keeps its
// count; started again, it goes on from there; writes set the count.
#pragma once

#include <cstdint>
#include <optional>

#include "machine/devices/msr_fixed_counter.h"

namespace vexa::machine {

class MsrEventCounter {
public:
    static constexpr uint32_t kFirstCounterMsr = 0xC1;
    static constexpr uint32_t kLastCounterMsr = 0xC4;
    static constexpr uint32_t kFirstEventSelectMsr = 0x186;
    static constexpr uint32_t kLastEventSelectMsr = 0x189;
    static constexpr uint32_t kGlobalControlMsr = 0x38F;
    static constexpr unsigned kDefaultBits = 40;  // the Core 2 width

    MsrEventCounter() = default;
    // `start`: the count when the machine is built.
    MsrEventCounter(uint64_t start, uint64_t rateHz, unsigned bits, uint8_t event, uint8_t unitMask)
        : gated_(start, rateHz, bits), event_(event), unitMask_(unitMask) {}

    // The event select of counter `index`.
    static uint32_t eventSelectOf(uint32_t index) { return kFirstEventSelectMsr + (index - kFirstCounterMsr); }
    // Whether the control values (absent: not listed) make counter `index`
    // count this counter's event.
    bool enabledBy(uint32_t index, std::optional<uint64_t> eventSelect, std::optional<uint64_t> globalControl) const;

    uint64_t read(bool enabled) const { return gated_.read(enabled); }
    void write(uint64_t value, bool enabled) { gated_.write(value, enabled); }
    void gate(bool enabled) const { gated_.gate(enabled); }

private:
    // Starting, stopping and holding work as for the fixed-function
    // counters; only what enables the counter differs.
    MsrFixedCounter gated_;
    uint8_t event_ = 0;
    uint8_t unitMask_ = 0;
};

} // namespace vexa::machine
