// Measuring a timer against another: the result, the reference's wrap, and
// every way a measurement fails (always -1.0, the stored frequency kept,
// and never a wait without end).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "machine/clock.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/timer.h"
#include "tests/sdk/hw/access_test_support.h"
#include "tests/support/manual_clock_guard.h"

namespace vexa::test {
namespace {

using machine::AccessDir;
using machine::AccessKind;
using machine::Fault;
using vexa::test::PrintTo;

constexpr double kStored = 123.0;  // a frequency a failed measurement must keep

// A timer that reads a script of counts, then its last count for ever.
class ScriptedTimer final : public CTimer {
public:
    ScriptedTimer(double frequency, double wrap, std::vector<double> counts)
        : CTimer(TIMER_TSC, frequency, wrap), counts_(std::move(counts)) {}

    double Read() override {
        const double count = counts_[std::min(next_, counts_.size() - 1)];
        ++next_;
        return count;
    }
    size_t reads() const { return next_; }

private:
    std::vector<double> counts_;
    size_t next_ = 0;
};

// ---- The algorithm, on scripted timers ----

// The reference counts at 1 kHz, so a window is 5 counts. Its reads come
// in this order: the check, r0, the wait's reads, r1; the measured timer's
// are t0 and t1.
struct MeasureCase {
    const char* name;
    std::vector<double> reference;
    std::vector<double> measured;
    double result;
    int32_t multiplier = 0;
    double referenceWrap = 0.0;
    double measuredWrap = 0.0;
    double referenceHz = 1000.0;
};

class Measure : public ::testing::TestWithParam<MeasureCase> {};

TEST_P(Measure, GivesTheRateOrMinusOneKeepingTheStoredFrequency) {
    ManualClockGuard time;  // a negative multiplier's sleep passes at once
    const MeasureCase& c = GetParam();
    ScriptedTimer reference(c.referenceHz, c.referenceWrap, c.reference);
    ScriptedTimer measured(kStored, c.measuredWrap, c.measured);
    const double result = measured.Measure(&reference, 1, c.multiplier);
    EXPECT_DOUBLE_EQ(result, c.result);
    EXPECT_DOUBLE_EQ(measured.m_dFrequency, c.result > 0 ? c.result : kStored);
    if (c.result > 0) {
        EXPECT_EQ(reference.reads(), c.reference.size()) << "every scripted count read, no more";
    }
}

INSTANTIATE_TEST_SUITE_P(
    , Measure,
    ::testing::Values(
        MeasureCase{"CountsOverTheReferencesSpan", {100, 100, 103, 106, 110}, {0, 50}, 5000.0},
        MeasureCase{"ReferenceWrapAddsItsPeriod", {998, 998, 1, 4, 5}, {0, 70}, 10000.0, 0, 1000.0},
        MeasureCase{"MultiplierWidensTheWindow", {100, 100, 106, 110, 115, 116}, {0, 160}, 10000.0, 3},
        MeasureCase{"NegativeMultiplierSleepsInstead", {100, 100, 300}, {0, 2000}, 10000.0, -1},
        MeasureCase{"MeasuredTimerWrapsOnce", {100, 100, 103, 106, 110}, {90, 40}, 5000.0, 0, 0.0, 100.0},
        MeasureCase{"ReferenceFailsAtFirst", {-1}, {0, 50}, -1.0},
        MeasureCase{"ReferenceReadsZeroAtFirst", {0, 0, 10, 20}, {0, 50}, -1.0},
        MeasureCase{"ReferenceFailsInTheWait", {100, 100, 102, -1}, {0, 50}, -1.0},
        MeasureCase{"ReferenceFailsAtTheEnd", {100, 100, 106, -1}, {0, 50}, -1.0},
        MeasureCase{"ReferenceRunsBackwards", {100, 100, 99}, {0, 50}, -1.0},
        MeasureCase{"ReferenceRunsBackwardsBeyondItsWrap", {500, 500, 700, 600}, {0, 50}, -1.0, 0, 1000.0},
        MeasureCase{"ReferenceEndsBelowTheWait", {100, 100, 106, 104}, {0, 50}, -1.0},
        MeasureCase{"ReferenceSpanIsZero", {100, 100, 100}, {0, 50}, -1.0, -1},
        MeasureCase{"ReferenceFrequencyUnknown", {100, 100, 106, 110}, {0, 50}, -1.0, 0, 0.0, 0.0, -1.0},
        MeasureCase{"ReferenceFrequencyNotANumber", {100, 100, 106, 110}, {0, 50}, -1.0, 0, 0.0, 0.0, NAN},
        MeasureCase{"MeasuredFailsAtFirst", {100, 100, 106, 110}, {-1, 50}, -1.0},
        MeasureCase{"MeasuredFailsAtTheEnd", {100, 100, 106, 110}, {0, -1}, -1.0},
        MeasureCase{"MeasuredStandsStill", {100, 100, 106, 110}, {7, 7}, -1.0},
        MeasureCase{"MeasuredRunsBackwards", {100, 100, 106, 110}, {90, 40}, -1.0}),
    CaseName());

TEST(MeasureStore, ZeroLeavesTheTimersFrequency) {
    ScriptedTimer reference(1000.0, 0.0, {100, 100, 106, 110});
    ScriptedTimer measured(-1.0, 0.0, {0, 50});
    EXPECT_DOUBLE_EQ(measured.Measure(&reference, 0, 0), 5000.0);
    EXPECT_EQ(measured.m_dFrequency, -1.0);
}

TEST(MeasureStore, WithoutAReferenceNothingIsRead) {
    ScriptedTimer measured(kStored, 0.0, {0, 50});
    EXPECT_EQ(measured.Measure(nullptr, 1, 0), -1.0);
    EXPECT_EQ(measured.reads(), 0u);
    EXPECT_EQ(measured.m_dFrequency, kStored);
}

// ---- On machines/x58-nehalem, through the driver ----

// A clock that moves on by a fixed step each time it is read: time passes
// only as the program looks at it, so a measurement on it comes out the
// same on any host, however busy, and both ends of a measurement see the
// same number of steps between their two reads.
class SteppingClock final : public machine::Clock {
public:
    SteppingClock(uint64_t startNs, uint64_t stepNs) : now_(startNs), step_(stepNs) {}
    uint64_t nowNs() const override { return now_.fetch_add(step_); }
    void sleepNs(uint64_t ns) override { now_.fetch_add(ns); }

private:
    mutable std::atomic<uint64_t> now_;
    uint64_t step_;
};

// The PM timer, keeping what it read.
class RecordingAcpiTimer final : public CACPITimer {
public:
    using CACPITimer::CACPITimer;
    double Read() override {
        readings.push_back(CACPITimer::Read());
        return readings.back();
    }
    std::vector<double> readings;
};

// The clock time at which the PM timer reads `count` (after `laps` wraps).
uint64_t pmTimerNs(uint64_t laps, uint64_t count) {
    const unsigned __int128 ticks = (unsigned __int128)(laps << 24 | count);
    return uint64_t((ticks * 1'000'000'000 + 3'579'544) / 3'579'545);
}

struct RateCase {
    const char* name;
    std::function<CTimer*()> make;
    double hz;
};

class MeasureOnX58 : public AccessTest, public ::testing::WithParamInterface<RateCase> {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        startX58();
    }

    // 8000 counts (2.2 ms) before the PM timer wraps; 25 us per clock read,
    // so that the 5 ms window takes some 200 reads, well inside the wait's
    // wall-clock bound even on a loaded host.
    SteppingClock clock_{pmTimerNs(5, 0xFFFFFF - 8000), 25'000};
};

TEST_P(MeasureOnX58, AgainstThePmTimerAcrossItsWrap) {
    RecordingAcpiTimer pm(0x808);
    std::unique_ptr<CTimer> timer(GetParam().make());
    machine::setClock(&clock_);
    const double hz = timer->Measure(&pm, 1, 0);
    machine::setClock(nullptr);

    EXPECT_NEAR(hz, GetParam().hz, GetParam().hz * 0.001);
    EXPECT_EQ(timer->m_dFrequency, hz);
    // r0 is the second reading, r1 the last; the counter wrapped once between them.
    ASSERT_GE(pm.readings.size(), 4u);
    size_t wraps = 0;
    for (size_t i = 2; i < pm.readings.size(); ++i) wraps += pm.readings[i] < pm.readings[i - 1];
    EXPECT_EQ(wraps, 1u);
    EXPECT_GT(pm.readings[1], pm.readings.back());
    EXPECT_GE(pm.readings.back() + 16777215.0 - pm.readings[1], 3579545.0 * 0.005) << "a whole window";
}

INSTANTIATE_TEST_SUITE_P(
    , MeasureOnX58,
    ::testing::Values(RateCase{"TimeStampCounter", [] { return new CTSCCounter; }, 2667e6},
                      RateCase{"Hpet",
                               [] {
                                   auto* block = new CMemoryIOSpace(0, 0xFED00000, 0x400);
                                   GetSDK()->m_pIOSpaces->AddTail(block);
                                   return new CHPETTimer(block);
                               },
                               1e15 / 69841279},
                      RateCase{"PerformanceCounter", [] { return new CWin32PerformanceTimer; }, 1e7}),
    CaseName());

TEST_F(AccessTest, FailingPmTimerPortGivesMinusOneAtTheFirstRead) {
    startX58();
    CACPITimer pm(0x808);
    CTSCCounter tsc;
    hw().injectFault(Fault{AccessKind::Port, AccessDir::Read, 0x808, 0x80B});
    record();
    EXPECT_EQ(tsc.Measure(&pm, 1, 0), -1.0);
    EXPECT_EQ(tsc.m_dFrequency, -1.0);
    const auto ports = ofKind(hw().accessLog(), AccessKind::Port);
    ASSERT_EQ(ports.size(), 1u) << "no wait on a reference that does not answer";
    EXPECT_FALSE(ports[0].ok);
}

// The program's clock stands still while sleeps take real time, so the
// PM timer, which follows that clock, stands still too.
class StoppedClock final : public machine::Clock {
public:
    uint64_t nowNs() const override { return 1'000'000'000; }
    void sleepNs(uint64_t ns) override { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); }
};

TEST_F(AccessTest, StoppedPmTimerGivesMinusOneOnceTheWaitRunsOut) {
    startX58();
    StoppedClock stopped;
    machine::setClock(&stopped);
    CACPITimer pm(0x808);
    CTSCCounter tsc;
    tsc.m_dFrequency = kStored;
    record();
    const uint64_t started = machine::wallNs();
    EXPECT_EQ(tsc.Measure(&pm, 1, 0), -1.0);
    const uint64_t waited = machine::wallNs() - started;
    machine::setClock(nullptr);
    EXPECT_EQ(tsc.m_dFrequency, kStored);
    EXPECT_GE(waited, CTimer::kWaitSlackNs) << "it gave up only at its bound";
    EXPECT_LT(waited, 60'000'000'000ull) << "and the wait did end";
    // Asleep through a window between two reads, not polling the port.
    const uint64_t windowNs = uint64_t(CTimer::kWindowMs * 1e6);
    EXPECT_LE(ofKind(hw().accessLog(), AccessKind::Port).size(), (windowNs + CTimer::kWaitSlackNs) / windowNs + 4);
}

} // namespace
} // namespace vexa::test
