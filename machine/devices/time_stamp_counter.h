// The time-stamp counter of a simulated processor: it counts at a fixed
// rate from the installed clock, the same on every processor (an
// invariant, synchronised TSC). RDTSC and RDMSR of IA32_TIME_STAMP_COUNTER
// read it alike.
#pragma once

#include "machine/clock.h"

#include <cstdint>

namespace vexa::machine {

// IA32_TIME_STAMP_COUNTER.
constexpr uint32_t kTimeStampCounterMsr = 0x10;

class TimeStampCounter {
public:
    TimeStampCounter() = default;
    explicit TimeStampCounter(uint64_t hz) : hz_(hz) {}
    uint64_t hz() const { return hz_; }
    uint64_t read() const { return uint64_t((unsigned __int128)clock().nowNs() * hz_ / 1'000'000'000u); }

private:
    uint64_t hz_ = 1'000'000'000;
};

} // namespace vexa::machine
