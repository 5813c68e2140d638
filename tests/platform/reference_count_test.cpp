// Counting against a reference: the wait sleeps through its window and
// reads the counter a few times, never spinning; it follows one wrap, and
// gives up on a failed read, a counter that runs backwards, and at its
// bound when the counter is dead or slow beyond it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "machine/clock.h"
#include "platform/reference_count.h"
#include "tests/support/manual_clock_guard.h"

namespace {

using vexa::platform::ReferenceCount;

constexpr double kHz = 1'000'000.0;
constexpr double kWindow = 5000.0;  // 5 ms of counts
constexpr uint64_t kWindowNs = 5'000'000;
constexpr uint64_t kSlackNs = 200'000'000;

struct CountCase {
    const char* name;
    // The counter's reading `ns` after the first one, at its read number
    // `read` (0 is the first).
    std::function<double(uint64_t ns, int read)> counter;
    bool reached;
    int maxReads;
    double wrap = 0.0;
};

void PrintTo(const CountCase& row, std::ostream* out) { *out << row.name; }

class WaitForCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(WaitForCounts, SleepsThroughTheWindowAndReadsOnlyAFewTimes) {
    vexa::test::ManualClockGuard time;
    const CountCase& c = GetParam();
    const uint64_t start = time.clock().nowNs();
    int reads = 0;
    ReferenceCount count([&] { return c.counter(time.clock().nowNs() - start, reads++); }, kHz, c.wrap);
    ASSERT_TRUE(count.Start());
    EXPECT_EQ(count.WaitFor(kWindow, kSlackNs), c.reached);
    const uint64_t passed = time.clock().nowNs() - start;
    EXPECT_LE(reads, c.maxReads) << "the counter is read a few times, not polled";
    EXPECT_LE(passed, kWindowNs + kSlackNs + kWindowNs) << "never past the bound";
    if (c.reached) {
        EXPECT_GE(passed, kWindowNs / 2) << "slept through (most of) the window";
        double elapsed = 0.0;
        ASSERT_TRUE(count.Elapsed(elapsed));
        EXPECT_GE(elapsed, kWindow);
    }
}

double Rate(uint64_t ns, double hz) { return double(ns) * hz / 1e9; }

INSTANTIATE_TEST_SUITE_P(
    , WaitForCounts,
    ::testing::Values(
        CountCase{"AtItsRate", [](uint64_t ns, int) { return 1000 + Rate(ns, kHz); }, true, 2},
        CountCase{"FasterThanItsRate", [](uint64_t ns, int) { return 1000 + Rate(ns, 2 * kHz); }, true, 2},
        CountCase{"SlowerThanItsRate", [](uint64_t ns, int) { return Rate(ns, kHz / 2); }, true, 24},
        CountCase{"AcrossItsWrap", [](uint64_t ns, int) { return std::fmod(7000 + Rate(ns, kHz), 8192.0); }, true,
                  2, 8192.0},
        CountCase{"DeadGivesUpAtTheBound", [](uint64_t, int) { return 1000.0; }, false,
                  int((kWindowNs + kSlackNs) / kWindowNs) + 3},
        CountCase{"RunsBackwards", [](uint64_t, int read) { return read == 0 ? 1000.0 : 900.0; }, false, 2},
        CountCase{"RunsBackwardsBeyondItsWrap",
                  [](uint64_t, int read) { return read == 0 ? 5000.0 : read == 1 ? 6000.0 : 5500.0; }, false, 3,
                  8192.0},
        CountCase{"ReadFails", [](uint64_t ns, int read) { return read < 2 ? 1000 + Rate(ns, kHz / 4) : -1.0; },
                  false, 3}),
    [](const ::testing::TestParamInfo<CountCase>& row) { return std::string(row.param.name); });

TEST(WaitForCountsStart, FailedFirstReadGivesFalse) {
    ReferenceCount count([] { return -1.0; }, kHz, 0.0);
    EXPECT_FALSE(count.Start());
}

// A program clock that stands still while sleeps take real time: a dead
// counter is given up on by the host's clock, a few reads later.
class StoppedClock final : public vexa::machine::Clock {
public:
    uint64_t nowNs() const override { return 1'000'000'000; }
    void sleepNs(uint64_t ns) override { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); }
};

TEST(WaitForCountsBound, HostClockEndsTheWaitWhenTheProgramsClockStandsStill) {
    StoppedClock stopped;
    vexa::machine::setClock(&stopped);
    int reads = 0;
    ReferenceCount count([&] { return ++reads, 1000.0; }, kHz, 0.0);
    ASSERT_TRUE(count.Start());
    constexpr uint64_t kShortSlackNs = 50'000'000;
    const uint64_t started = vexa::machine::wallNs();
    EXPECT_FALSE(count.WaitFor(kWindow, kShortSlackNs));
    const uint64_t waited = vexa::machine::wallNs() - started;
    vexa::machine::setClock(nullptr);
    EXPECT_GE(waited, kWindowNs + kShortSlackNs);
    EXPECT_LT(waited, 60'000'000'000ull) << "and the wait did end";
    EXPECT_LE(reads, int((kWindowNs + kShortSlackNs) / kWindowNs) + 3) << "asleep between reads";
}

} // namespace
