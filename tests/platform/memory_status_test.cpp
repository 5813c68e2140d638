// The system's memory figures: the machine's total physical memory.
#include "platform/memory_status.h"

#include <gtest/gtest.h>

#include "machine/machine.h"
#include "platform/modules.h"
#include "tests/support/image_dir.h"

namespace {

std::unique_ptr<vexa::machine::Machine> MachineWith(const std::string& manifest) {
    vexa::test::ImageDir image;
    image.write("machine.json", manifest);
    return image.load();
}

TEST(MemoryStatus, TotalPhysicalMemoryOfTheMachine) {
    vexa::machine::ScopedMachine machine(MachineWith(R"({"os": {"memory_mb": 6144}})"));
    MEMORYSTATUSEX status {};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    EXPECT_EQ(status.ullTotalPhys, 6144ull << 20);
    EXPECT_EQ(status.dwLength, 64u);
    MEMORYSTATUS old {};
    old.dwLength = sizeof old;
    GlobalMemoryStatus(&old);
    EXPECT_EQ(old.dwTotalPhys, SIZE_T(6144) << 20);
}

TEST(MemoryStatus, LengthMustBeTheStructures) {
    MEMORYSTATUSEX status {};
    status.dwLength = 32;
    EXPECT_FALSE(GlobalMemoryStatusEx(&status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GlobalMemoryStatusEx(nullptr));
}

TEST(MemoryStatus, UnknownMemoryFails) {
    vexa::machine::ScopedMachine machine(MachineWith("{}"));
    MEMORYSTATUSEX status {};
    status.dwLength = sizeof status;
    EXPECT_FALSE(GlobalMemoryStatusEx(&status));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    MEMORYSTATUS old {};
    old.dwLength = sizeof old;
    old.dwTotalPhys = 7;
    GlobalMemoryStatus(&old);
    EXPECT_EQ(old.dwTotalPhys, 0u);
}

TEST(MemoryStatus, NewCallIsLookedUpInKernel32) {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    ASSERT_TRUE(kernel32);
    EXPECT_EQ(vexa::platform::lookup<decltype(&GlobalMemoryStatusEx)>(kernel32, "GlobalMemoryStatusEx"),
              &GlobalMemoryStatusEx);
}

} // namespace
