// The one clock of the program. Everything that tells time (the performance
// counter, the tick count, sleeps, and every simulated counter such as the
// ACPI PM timer or a time-stamp counter) reads it, so a test can replace it
// and drive time by hand.
#pragma once

#include <atomic>
#include <cstdint>

namespace vexa::machine {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic nanoseconds since an arbitrary start.
    virtual uint64_t nowNs() const = 0;
    // Blocks (or, for a manual clock, advances) for the given time.
    virtual void sleepNs(uint64_t ns) = 0;
};

// The host's monotonic clock.
class SteadyClock final : public Clock {
public:
    uint64_t nowNs() const override;
    void sleepNs(uint64_t ns) override;
};

// A clock that moves only when told to; a sleep advances it at once. Starts
// at an arbitrary non-zero time so that counters derived from it are not
// all zero at the start of a test.
class ManualClock final : public Clock {
public:
    explicit ManualClock(uint64_t startNs = 1'000'000'000ull) : now_(startNs) {}
    uint64_t nowNs() const override { return now_.load(std::memory_order_acquire); }
    void sleepNs(uint64_t ns) override { advanceNs(ns); }
    void advanceNs(uint64_t ns) { now_.fetch_add(ns, std::memory_order_acq_rel); }
    void setNs(uint64_t ns) { now_.store(ns, std::memory_order_release); }

private:
    std::atomic<uint64_t> now_;
};

// The program's clock: the steady clock unless a test installed another.
Clock& clock();
// Installs a clock (not owned) for the whole process; nullptr restores the
// steady clock.
void setClock(Clock* clock);

// Wall-clock nanoseconds from the host's monotonic clock, whatever clock is
// installed. Bounds on busy-waits use it, so that a stopped or dead counter
// can never hold a wait forever.
uint64_t wallNs();

} // namespace vexa::machine
