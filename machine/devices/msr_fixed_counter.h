// A fixed-function performance counter of an Intel processor:
// IA32_FIXED_CTR0 (0x309, instructions retired), IA32_FIXED_CTR1 (0x30A,
// unhalted core cycles) and IA32_FIXED_CTR2 (0x30B, unhalted reference
// cycles). Counter n counts at its rate only while it is enabled:
// IA32_PERF_GLOBAL_CTRL (0x38F) bit 32 + n set, and IA32_FIXED_CTR_CTRL
// (0x38D) bits 4n+1:4n not 0 (counting in the operating system's or the
// user's privilege level, or both). A control register the processor does
// not list does not hold the counter back. Stopped, it keeps its count;
// started again, it goes on from there. Writes set the count.
//
// The register bank tells the counter whether it is enabled at every
// access and around every write of a control register (gate); the counter
// starts or stops at that moment.
#pragma once

#include <cstdint>
#include <optional>

#include "machine/devices/msr_counter.h"

namespace vexa::machine {

class MsrFixedCounter {
public:
    static constexpr uint32_t kFirstCounterMsr = 0x309;
    static constexpr uint32_t kLastCounterMsr = 0x30B;
    static constexpr uint32_t kFixedControlMsr = 0x38D;
    static constexpr uint32_t kGlobalControlMsr = 0x38F;
    static constexpr unsigned kDefaultBits = 48;

    MsrFixedCounter() = default;
    // `start`: the count when the machine is built; a counter its controls
    // do not enable then holds it until they do.
    MsrFixedCounter(uint64_t start, uint64_t rateHz, unsigned bits);

    // Whether the control values (absent: not listed) enable counter
    // `index`.
    static bool enabledBy(uint32_t index, std::optional<uint64_t> fixedControl, std::optional<uint64_t> globalControl);

    uint64_t read(bool enabled) const;
    void write(uint64_t value, bool enabled);
    // The controls say `enabled` from now on.
    void gate(bool enabled) const;

private:
    uint64_t mask() const { return bits_ >= 64 ? ~0ull : (1ull << bits_) - 1; }

    uint64_t start_ = 0;
    unsigned bits_ = kDefaultBits;
    // The running count; the state follows the controls lazily, at the
    // first access and at every change of a control register.
    mutable MsrCounter counter_;
    mutable bool known_ = false;
    mutable bool running_ = false;
    mutable uint64_t held_ = 0;  // the count while stopped
};

} // namespace vexa::machine
