// Installs a ManualClock for the lifetime of a test and restores the
// steady clock afterwards.
#pragma once

#include "machine/clock.h"

namespace vexa::test {

class ManualClockGuard {
public:
    explicit ManualClockGuard(uint64_t startNs = 1'000'000'000ull) : clock_(startNs) { machine::setClock(&clock_); }
    ~ManualClockGuard() { machine::setClock(nullptr); }
    ManualClockGuard(const ManualClockGuard&) = delete;
    ManualClockGuard& operator=(const ManualClockGuard&) = delete;
    machine::ManualClock& clock() { return clock_; }

private:
    machine::ManualClock clock_;
};

} // namespace vexa::test
