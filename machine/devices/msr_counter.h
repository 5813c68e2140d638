// A model-specific register that counts up at a fixed rate from the
// installed clock, the way the time-stamp counter does: APERF and MPERF,
// the fixed-function performance counters, the RAPL energy-status
// counters. It reads start + rate x the clock's time, wrapped at its width;
// a write sets the count, which goes on from there.
#pragma once

#include <cstdint>

namespace vexa::machine {

class MsrCounter {
public:
    MsrCounter() = default;
    // `rateHz` counts per second; `bits` 1..64 (a width outside that range
    // counts as 64).
    MsrCounter(uint64_t start, uint64_t rateHz, unsigned bits);

    uint64_t read() const;
    void write(uint64_t value);

private:
    uint64_t mask() const { return bits_ >= 64 ? ~0ull : (1ull << bits_) - 1; }
    // Counts since the clock's zero.
    uint64_t elapsedCounts() const;

    uint64_t offset_ = 0;  // what the count adds to the clock's counts
    uint64_t rateHz_ = 0;
    unsigned bits_ = 64;
};

} // namespace vexa::machine
