#include "machine/clock.h"

#include <cerrno>
#include <ctime>

namespace vexa::machine {
namespace {

uint64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1'000'000'000ull + uint64_t(now.tv_nsec);
}

SteadyClock& steadyClock() {
    static SteadyClock instance;
    return instance;
}

std::atomic<Clock*> installedClock{nullptr};

} // namespace

uint64_t SteadyClock::nowNs() const { return monotonicNs(); }

void SteadyClock::sleepNs(uint64_t ns) {
    timespec remaining{};
    remaining.tv_sec = time_t(ns / 1'000'000'000ull);
    remaining.tv_nsec = long(ns % 1'000'000'000ull);
    // A signal cuts the sleep short; nanosleep hands back what is left.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

Clock& clock() {
    Clock* installed = installedClock.load(std::memory_order_acquire);
    return installed ? *installed : steadyClock();
}

void setClock(Clock* clock) { installedClock.store(clock, std::memory_order_release); }

uint64_t wallNs() { return monotonicNs(); }

} // namespace vexa::machine
