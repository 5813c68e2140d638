// Attaching to the parent's console: it succeeds while standard output is
// open, and the console report then writes through the standard handle.
#include "platform/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/modules.h"

namespace {

TEST(Console, AttachesToTheParentWhileStandardOutputIsOpen) {
    EXPECT_TRUE(AttachConsole(ATTACH_PARENT_PROCESS));
    EXPECT_FALSE(AttachConsole(1234));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    close(STDOUT_FILENO);
    EXPECT_FALSE(AttachConsole(ATTACH_PARENT_PROCESS));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    dup2(saved, STDOUT_FILENO);
    close(saved);
}

TEST(Console, AttachConsoleIsLookedUpInKernel32) {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    ASSERT_TRUE(kernel32);
    EXPECT_EQ(vexa::platform::lookup<decltype(&AttachConsole)>(kernel32, "AttachConsole"), &AttachConsole);
}

} // namespace
