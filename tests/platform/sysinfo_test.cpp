// What the program learns about the system: Windows version, processors,
// and CPUID on the processor a thread is pinned to.
#include <gtest/gtest.h>

#include <cpuid.h>

#include <cstring>

#include "machine/machine.h"
#include "platform/sysinfo.h"
#include "platform/testing.h"
#include "platform/threads.h"
#include "tests/support/test_paths.h"

namespace {

TEST(Version, TheDefaultIs64BitWindows10AndTestsCanInjectOthers) {
    OSVERSIONINFOEXA ex {};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(ex.dwMajorVersion, 10u);
    EXPECT_EQ(ex.dwMinorVersion, 0u);
    BOOL wow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_FALSE(wow64);
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);

    vexa::machine::WindowsIdentity nt4;
    nt4.majorVersion = 4;
    nt4.buildNumber = 1381;
    nt4.csdVersion = "Service Pack 6";
    vexa::platform::testing::overrideWindowsIdentity(nt4);
    OSVERSIONINFOA basic {};
    basic.dwOSVersionInfoSize = sizeof basic;
    ASSERT_TRUE(GetVersionExA(&basic));
    EXPECT_EQ(basic.dwMajorVersion, 4u);
    EXPECT_STREQ(basic.szCSDVersion, "Service Pack 6");
    vexa::platform::testing::overrideWindowsIdentity(std::nullopt);

    OSVERSIONINFOA wrongSize {};
    wrongSize.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionExA(&wrongSize));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Cpuid, PinnedThreadReadsItsProcessorOnASimulatedMachine) {
    std::string error;
    auto image = vexa::machine::loadImage(vexa::test::sourcePath("machines/x58-nehalem"), error);
    ASSERT_TRUE(image) << error;
    vexa::machine::ScopedMachine scoped(std::move(image));

    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, 8u);

    const DWORD_PTR previous = SetThreadAffinityMask(GetCurrentThread(), 1u << 3);
    ASSERT_NE(previous, 0u);
    int regs[4];
    CpuidEx(regs, 0, 0);
    char vendor[13] = {};
    std::memcpy(vendor, &regs[1], 4);
    std::memcpy(vendor + 4, &regs[3], 4);
    std::memcpy(vendor + 8, &regs[2], 4);
    EXPECT_STREQ(vendor, "GenuineIntel");
    EXPECT_EQ(regs[0], 0xB);
    CpuidEx(regs, 1, 0);
    EXPECT_EQ(regs[0], 0x106A4);
    EXPECT_EQ(static_cast<unsigned>(regs[1]) >> 24, 3u);  // APIC id of processor 3
    SetThreadAffinityMask(GetCurrentThread(), previous);
}

TEST(Cpuid, HostAnswersAsTheInstructionDoes) {
    const DWORD_PTR previous = SetThreadAffinityMask(GetCurrentThread(), 1);
    ASSERT_NE(previous, 0u);
    int regs[4];
    CpuidEx(regs, 0, 0);
    unsigned a, b, c, d;
    __cpuid_count(0, 0, a, b, c, d);
    EXPECT_EQ(static_cast<unsigned>(regs[0]), a);
    EXPECT_EQ(static_cast<unsigned>(regs[1]), b);
    EXPECT_EQ(static_cast<unsigned>(regs[2]), c);
    EXPECT_EQ(static_cast<unsigned>(regs[3]), d);
    SetThreadAffinityMask(GetCurrentThread(), previous);
}

} // namespace
