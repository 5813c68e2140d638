// Threads, affinity and time.
#include <gtest/gtest.h>

#include <atomic>

#include "machine/clock.h"
#include "machine/machine.h"
#include "platform/sysinfo.h"
#include "platform/threads.h"

namespace {

std::atomic<int> started{0};

DWORD recordStart(LPVOID parameter) {
    started.fetch_add(1);
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

TEST(Threads, SuspendedThreadRunsAfterResumeAndReportsItsExitCode) {
    started = 0;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, recordStart, reinterpret_cast<LPVOID>(42),
                                 CREATE_SUSPENDED, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
    EXPECT_EQ(started.load(), 0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(started.load(), 1);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    EXPECT_TRUE(CloseHandle(thread));
}

DWORD reportProcessor(LPVOID parameter) {
    int regs[4];
    CpuidEx(regs, 1, 0);
    *static_cast<unsigned*>(parameter) = static_cast<unsigned>(regs[1]) >> 24;
    return 0;
}

TEST(Threads, AffinityIsCheckedAgainstTheMachine) {
    const unsigned count = vexa::machine::current().processorCount();
    ASSERT_GE(count, 1u);
    EXPECT_EQ(SetThreadAffinityMask(GetCurrentThread(), 0), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    if (count < 64) {
        EXPECT_EQ(SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR(1) << count), 0u);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    EXPECT_EQ(process, system);
    EXPECT_EQ(SetThreadAffinityMask(GetCurrentThread(), 1), system);
    EXPECT_EQ(SetThreadAffinityMask(GetCurrentThread(), system), 1u);
}

TEST(Threads, SuspendedThreadStartsOnTheProcessorItWasGiven) {
    // The host's APIC ids need not be processor numbers, so compare with
    // what the processor says when the main thread is pinned the same way.
    const unsigned last = vexa::machine::current().processorCount() - 1;
    const DWORD_PTR previous = SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR(1) << last);
    ASSERT_NE(previous, 0u);
    int regs[4];
    CpuidEx(regs, 1, 0);
    const unsigned expected = static_cast<unsigned>(regs[1]) >> 24;
    SetThreadAffinityMask(GetCurrentThread(), previous);

    unsigned seen = ~0u;
    HANDLE thread = CreateThread(nullptr, 0, reportProcessor, &seen, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(SetThreadAffinityMask(thread, DWORD_PTR(1) << last), 0u);
    ResumeThread(thread);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(seen, expected);
}

TEST(Time, CountersFollowTheInstalledClock) {
    vexa::machine::ManualClock manual(5'000'000'000ull);
    vexa::machine::setClock(&manual);
    LARGE_INTEGER frequency, before, after;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    const DWORD ticks = GetTickCount();
    Sleep(250);  // advances the manual clock at once
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_EQ(after.QuadPart - before.QuadPart, 2'500'000);
    EXPECT_EQ(GetTickCount() - ticks, 250u);
    EXPECT_EQ(GetTickCount64(), 5250u);
    vexa::machine::setClock(nullptr);
}

} // namespace
