// ntdll's system-information query of the processor times, as the load
// measurement finds it by name.
#include <gtest/gtest.h>

#include "platform/modules.h"
#include "platform/system_information.h"
#include "tests/sdk/cpu/cpu_test_support.h"
#include "tests/support/manual_clock_guard.h"

namespace vexa::test {
namespace {

TEST(SystemInformation, ProcessorTimesOfEveryProcessor) {
    ManualClockGuard time(4'000'000'000);
    machine::ScopedMachine machine(X58With(R"({"cpu": {"load_percent": 10}})"));
    HMODULE ntdll = LoadLibraryA("NtDll.dll");
    ASSERT_TRUE(ntdll);
    auto query = platform::lookup<decltype(&NtQuerySystemInformation)>(ntdll, "NtQuerySystemInformation");
    ASSERT_EQ(query, &NtQuerySystemInformation);

    SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION records[10] = {};
    ULONG returned = 0;
    ASSERT_EQ(query(SystemProcessorPerformanceInformation, records, sizeof records, &returned), STATUS_SUCCESS);
    EXPECT_EQ(returned, 8 * sizeof records[0]) << "one record per processor";
    EXPECT_EQ(records[7].UserTime.QuadPart, 4'000'000);
    EXPECT_EQ(records[7].IdleTime.QuadPart, 36'000'000);
    EXPECT_EQ(records[7].KernelTime.QuadPart, 36'000'000) << "kernel time holds the idle time";
    EXPECT_EQ(records[8].UserTime.QuadPart, 0) << "not written";

    ASSERT_EQ(query(SystemProcessorPerformanceInformation, records, 3 * sizeof records[0], &returned), STATUS_SUCCESS);
    EXPECT_EQ(returned, 3 * sizeof records[0]) << "as many as fit";
    EXPECT_EQ(query(SystemProcessorPerformanceInformation, records, 47, &returned), STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(returned, 8 * sizeof records[0]) << "the length all records need";
    EXPECT_EQ(query(SystemProcessorPerformanceInformation, nullptr, sizeof records, nullptr), STATUS_ACCESS_VIOLATION);
    EXPECT_EQ(query(2, records, sizeof records, nullptr), STATUS_INVALID_INFO_CLASS);
}

} // namespace
} // namespace vexa::test
