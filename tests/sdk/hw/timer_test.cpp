// The timers: what each one reads, at what rate, and how the ACPI PM timer
// finds its port space.
#include <gtest/gtest.h>

#include <memory>

#include "machine/clock.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/timer.h"
#include "tests/sdk/hw/access_test_support.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using machine::AccessKind;

constexpr uint64_t kNsPerSecond = 1'000'000'000;

class TimerTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        startX58();
        useManualClock();
    }

    void advance(uint64_t ns) { machine::clock().sleepNs(ns); }
};

TEST_F(TimerTest, AcpiTimerReadsThe24BitCountAtItsPort) {
    CACPITimer timer(0x808);
    EXPECT_EQ(timer.GetType(), uint32_t(TIMER_ACPI_PM));
    EXPECT_EQ(timer.m_dFrequency, 3579545.0);
    EXPECT_EQ(timer.m_dWrap, 16777215.0);
    const double before = timer.Read();
    uint32_t port = 0;
    ASSERT_TRUE(hw().readPort(0x808, 4, port));
    EXPECT_EQ(before, double(port));
    advance(kNsPerSecond);
    const double after = timer.Read();
    EXPECT_NEAR(after - before + (after < before ? 16777216.0 : 0.0), 3579545.0, 1.0);

    hw().injectFault(machine::Fault{AccessKind::Port, machine::AccessDir::Read, 0x808, 0x808});
    EXPECT_EQ(timer.Read(), -1.0);
}

TEST_F(TimerTest, AcpiTimerSharesTheRootsPortSpaceOrAddsOne) {
    CACPITimer first(0x808);
    ASSERT_NE(first.m_pPortSpace, nullptr);
    EXPECT_EQ(sdk().FindIOSpace(0, 0x808, IOSPACE_PORT), first.m_pPortSpace);
    EXPECT_EQ(first.m_pPortSpace->GetSize(), 4u);
    CACPITimer second(0x808);
    EXPECT_EQ(second.m_pPortSpace, first.m_pPortSpace);
    EXPECT_EQ(sdk().m_pIOSpaces->GetCount(), 1u);

    auto* memory = new CMemoryIOSpace(0, 0x408, 4);  // same base, other type: not taken
    sdk().m_pIOSpaces->AddTail(memory);
    CACPITimer third(0x408);
    EXPECT_NE(third.m_pPortSpace, memory);
    EXPECT_EQ(third.m_pPortSpace->GetType(), uint32_t(IOSPACE_PORT));
}

TEST_F(TimerTest, HpetMainCounterAdvancesAt14MHz) {
    CMemoryIOSpace block(0, 0xFED00000, 0x400);
    CHPETTimer timer(&block);
    EXPECT_EQ(timer.GetType(), uint32_t(TIMER_HPET));
    EXPECT_EQ(timer.m_dFrequency, 14318620.0);
    const double before = timer.Read();
    ASSERT_GE(before, 0.0);
    advance(kNsPerSecond);
    EXPECT_NEAR(timer.Read() - before, 14318180.0, 1.0);

    CMemoryIOSpace nothing(0, 0x30000, 0x400);
    EXPECT_EQ(CHPETTimer(&nothing).Read(), -1.0);
    EXPECT_EQ(CHPETTimer(nullptr).Read(), -1.0);
}

TEST_F(TimerTest, HpetCountAbove32BitsKeepsItsHighDword) {
    CMemoryIOSpace block(0, 0xFED00000, 0x400);
    ASSERT_EQ(block.WriteDword(0x10, 0), 1);  // halt the counter to set it
    ASSERT_EQ(block.WriteDword(0xF4, 0x2), 1);
    ASSERT_EQ(block.WriteDword(0xF0, 0x80000001), 1);
    EXPECT_EQ(CHPETTimer(&block).Read(), 2.0 * 4294967296.0 + 2147483649.0);
}

TEST(Win32Timers, FollowTheProgramsClock) {
    ManualClockGuard time(5 * kNsPerSecond + 123'456'789);
    CWin32SystemTimer tick;
    CWin32PerformanceTimer performance;
    EXPECT_EQ(tick.GetType(), uint32_t(TIMER_SYSTEM_TICK));
    EXPECT_EQ(tick.m_dFrequency, 1000.0);
    EXPECT_EQ(performance.GetType(), uint32_t(TIMER_PERFORMANCE_COUNTER));
    EXPECT_EQ(performance.m_dFrequency, 10'000'000.0);
    EXPECT_EQ(tick.Read(), 5123.0);
    EXPECT_EQ(performance.Read(), 51'234'567.0);
    // Past 2^32 ms the tick count starts again; the performance counter
    // carries into its high dword.
    time.clock().setNs(uint64_t(0x100000000) * 1'000'000 + 7'000'000);
    EXPECT_EQ(tick.Read(), 7.0);
    EXPECT_EQ(performance.Read(), double(uint64_t(0x100000000) * 10'000 + 70'000));
}

TEST(TscCounter, ReadsTheTimeStampCounterAndHasNoFrequencyUntilMeasured) {
    ManualClockGuard time(0);
    machine::ScopedMachine machine(loadMachine(sourcePath("machines/x58-nehalem")));
    CTSCCounter tsc;
    EXPECT_EQ(tsc.GetType(), uint32_t(TIMER_TSC));
    EXPECT_EQ(tsc.m_dFrequency, -1.0);
    time.clock().setNs(kNsPerSecond);
    EXPECT_EQ(tsc.Read(), 2'667'000'000.0);
    time.clock().setNs(10 * kNsPerSecond);
    EXPECT_EQ(tsc.Read(), 26'670'000'000.0) << "beyond 32 bits";
}

TEST(Timer, BaseReadsNothing) {
    CTimer timer(TIMER_TSC, -1.0, 0.0);
    EXPECT_EQ(timer.Read(), -1.0);
}

} // namespace
} // namespace vexa::test
