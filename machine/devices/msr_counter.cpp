#include "machine/devices/msr_counter.h"

#include "machine/clock.h"

namespace vexa::machine {

MsrCounter::MsrCounter(uint64_t start, uint64_t rateHz, unsigned bits)
    : rateHz_(rateHz), bits_(bits == 0 || bits > 64 ? 64 : bits) {
    write(start);
}

uint64_t MsrCounter::elapsedCounts() const {
    return uint64_t((unsigned __int128)clock().nowNs() * rateHz_ / 1'000'000'000u);
}

// Unsigned arithmetic wraps modulo 2^64, and the mask cuts that to the width.
uint64_t MsrCounter::read() const { return (offset_ + elapsedCounts()) & mask(); }

void MsrCounter::write(uint64_t value) { offset_ = (value & mask()) - elapsedCounts(); }

} // namespace vexa::machine
