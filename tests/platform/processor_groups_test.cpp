// Processor groups: how a machine's processors split into groups, the
// group functions as kernel32 offers them by Windows version, and threads
// moved into a group reaching that group's processors.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "machine/machine.h"
#include "platform/modules.h"
#include "platform/processor_groups.h"
#include "platform/sysinfo.h"
#include "platform/testing.h"
#include "platform/threads.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

// An image of the Core i7 920 dump copied `processors` times (packages of
// eight, x2APIC ids in leaf 0xB).
std::unique_ptr<machine::Machine> Processors(unsigned processors) {
    ImageDir image;
    image.write("cpuid.txt", readFile(sourcePath("machines/x58-nehalem/cpuid.txt")));
    image.write("machine.json", R"({"cpu": {"logical_processors": )" + std::to_string(processors) + "}}");
    return image.load();
}

// The x2APIC id of the processor the calling thread's CPUID reaches.
uint32_t X2ApicIdHere() {
    int regs[4];
    CpuidEx(regs, 0xB, 0);
    return static_cast<uint32_t>(regs[3]);
}

struct GroupSplit {
    unsigned processors;
    std::vector<unsigned> groups;
};

class ProcessorGroups : public ::testing::TestWithParam<GroupSplit> {};

TEST_P(ProcessorGroups, SplitIntoFewestEqualGroupsOfAtMost64) {
    const GroupSplit& split = GetParam();
    machine::ScopedMachine scoped(Processors(split.processors));
    ASSERT_EQ(GetActiveProcessorGroupCount(), split.groups.size());
    for (WORD group = 0; group < split.groups.size(); ++group) {
        EXPECT_EQ(GetActiveProcessorCount(group), split.groups[group]) << group;
    }
    EXPECT_EQ(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), split.processors);
    SetLastError(0);
    EXPECT_EQ(GetActiveProcessorCount(static_cast<WORD>(split.groups.size())), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // The legacy view is the first group.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, split.groups.front());
}

INSTANTIATE_TEST_SUITE_P(Counts, ProcessorGroups,
                         ::testing::Values(GroupSplit{1, {1}}, GroupSplit{8, {8}}, GroupSplit{64, {64}},
                                           GroupSplit{65, {33, 32}}, GroupSplit{72, {36, 36}},
                                           GroupSplit{128, {64, 64}}, GroupSplit{130, {44, 43, 43}},
                                           GroupSplit{256, {64, 64, 64, 64}}));

// Every processor of a 256-processor machine is reached through its group
// and bit, and the thread's legacy mask speaks of its group.
TEST(ThreadGroupAffinity, ReachesEveryProcessorOfEveryGroup) {
    machine::ScopedMachine scoped(Processors(256));
    GROUP_AFFINITY saved {};
    ASSERT_TRUE(GetThreadGroupAffinity(GetCurrentThread(), &saved));
    EXPECT_EQ(saved.Group, 0);
    std::vector<uint32_t> expected;
    std::vector<uint32_t> reached;
    for (unsigned processor = 0; processor < 256; ++processor) {
        expected.push_back((processor / 8) << 4 | (processor % 8 / 2) << 1 | (processor % 2));
        GROUP_AFFINITY affinity {};
        affinity.Group = static_cast<WORD>(processor / 64);
        affinity.Mask = DWORD_PTR(1) << (processor % 64);
        GROUP_AFFINITY previous {};
        ASSERT_TRUE(SetThreadGroupAffinity(GetCurrentThread(), &affinity, &previous)) << processor;
        GROUP_AFFINITY now {};
        ASSERT_TRUE(GetThreadGroupAffinity(GetCurrentThread(), &now));
        EXPECT_EQ(now.Group, affinity.Group);
        EXPECT_EQ(now.Mask, affinity.Mask);
        reached.push_back(X2ApicIdHere());
    }
    EXPECT_EQ(reached, expected);
    // In group 3, bit 5 is processor 197.
    ASSERT_NE(SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR(1) << 5), 0u);
    EXPECT_EQ(X2ApicIdHere(), expected[197]);
    // The process mask brings the thread back to the first group.
    ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 0x4));
    EXPECT_EQ(X2ApicIdHere(), expected[2]);
    GROUP_AFFINITY back {};
    ASSERT_TRUE(GetThreadGroupAffinity(GetCurrentThread(), &back));
    EXPECT_EQ(back.Group, 0);
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), system));
}

TEST(ThreadGroupAffinity, RefusesWhatTheMachineLacks) {
    machine::ScopedMachine scoped(Processors(72));
    struct Case {
        WORD group;
        DWORD_PTR mask;
        WORD reserved;
    };
    for (const Case& bad : {Case{2, 1, 0},                      // no third group
                            Case{1, 0, 0},                      // no processor
                            Case{1, DWORD_PTR(1) << 36, 0},     // the group has 36
                            Case{0, 1, 1}}) {                   // reserved word set
        GROUP_AFFINITY affinity {};
        affinity.Group = bad.group;
        affinity.Mask = bad.mask;
        affinity.Reserved[1] = bad.reserved;
        SetLastError(0);
        EXPECT_FALSE(SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr)) << bad.group << " " << bad.mask;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(SetThreadGroupAffinity(GetCurrentThread(), nullptr, nullptr));
    EXPECT_FALSE(GetThreadGroupAffinity(GetCurrentThread(), nullptr));
    GROUP_AFFINITY affinity {};
    EXPECT_FALSE(GetThreadGroupAffinity(reinterpret_cast<HANDLE>(0x7777), &affinity));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Threads created suspended and moved to a group run their CPUID there.
TEST(ThreadGroupAffinity, ASuspendedThreadStartsInItsGroup) {
    machine::ScopedMachine scoped(Processors(128));
    static uint32_t seen = 0;
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { seen = X2ApicIdHere(); return 0; }, nullptr, CREATE_SUSPENDED, nullptr);
    ASSERT_TRUE(thread);
    GROUP_AFFINITY affinity {};
    affinity.Group = 1;
    affinity.Mask = DWORD_PTR(1) << 63;  // processor 127: package 15, core 3, thread 1
    ASSERT_TRUE(SetThreadGroupAffinity(thread, &affinity, nullptr));
    ResumeThread(thread);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(seen, (15u << 4) | (3u << 1) | 1u);
}

struct Identity {
    uint32_t platformId;
    uint32_t major;
    uint32_t minor;
    bool hasGroups;
};

class GroupFunctionsByVersion : public ::testing::TestWithParam<Identity> {
protected:
    void TearDown() override { platform::testing::overrideWindowsIdentity(std::nullopt); }
};

TEST_P(GroupFunctionsByVersion, CameWithWindows7) {
    machine::WindowsIdentity identity;
    identity.platformId = GetParam().platformId;
    identity.majorVersion = GetParam().major;
    identity.minorVersion = GetParam().minor;
    platform::testing::overrideWindowsIdentity(identity);
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    ASSERT_TRUE(kernel32);
    for (const char* name : {"GetActiveProcessorGroupCount", "GetActiveProcessorCount", "GetThreadGroupAffinity",
                             "SetThreadGroupAffinity"}) {
        EXPECT_EQ(GetProcAddress(kernel32, name) != nullptr, GetParam().hasGroups) << name;
    }
    EXPECT_TRUE(GetProcAddress(kernel32, "GetNativeSystemInfo"));  // older functions stay
    FreeLibrary(kernel32);
}

INSTANTIATE_TEST_SUITE_P(Identities, GroupFunctionsByVersion,
                         ::testing::Values(Identity{2, 10, 0, true}, Identity{2, 6, 3, true},
                                           Identity{2, 6, 1, true}, Identity{2, 6, 0, false},
                                           Identity{2, 5, 1, false}, Identity{1, 4, 90, false}));

} // namespace
} // namespace vexa::test
