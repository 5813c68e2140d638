// Named and unnamed mutexes: ownership, recursion, time-outs, abandonment
// by a thread and by a killed process, and the object's lifetime.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/object_namespace.h"
#include "platform/sync.h"
#include "platform/testing.h"
#include "platform/threads.h"

namespace {

std::string uniqueName(const char* base) {
    return std::string("Global\\") + base + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// A child process that creates and owns the named mutex, then waits to be
// killed. Returns its pid once it owns the mutex.
pid_t spawnOwner(const std::string& name) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
        const char ok = mutex ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    char ok = 0;
    if (read(ready[0], &ok, 1) != 1 || ok != 'y') {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        close(ready[0]);
        return -1;
    }
    close(ready[0]);
    return pid;
}

TEST(Mutex, SecondProcessTimesOutThenSeesAbandonedAfterOwnerIsKilled) {
    const std::string name = uniqueName("held");
    const pid_t owner = spawnOwner(name);
    ASSERT_GT(owner, 0);

    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(mutex, 50), WAIT_TIMEOUT);

    kill(owner, SIGKILL);
    waitpid(owner, nullptr, 0);
    EXPECT_EQ(WaitForSingleObject(mutex, 2000), WAIT_ABANDONED);
    // The waiter now owns it and the mutex works normally again.
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST(Mutex, RecursiveForItsOwnerAndExclusiveForOthers) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, uniqueName("recursive").c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);

    DWORD other = 0;
    std::thread([&] { other = WaitForSingleObject(mutex, 20); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);

    // Another thread cannot release it, and trying leaves it owned.
    const unsigned faultsBefore = vexa::platform::testing::unownedMutexReleases();
    BOOL released = TRUE;
    DWORD releaseError = 0;
    std::thread([&] {
        released = ReleaseMutex(mutex);
        releaseError = GetLastError();
        other = WaitForSingleObject(mutex, 0);
    }).join();
    EXPECT_FALSE(released);
    EXPECT_EQ(releaseError, ERROR_NOT_OWNER);
    EXPECT_EQ(other, WAIT_TIMEOUT);

    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));  // no longer owned
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    EXPECT_EQ(vexa::platform::testing::unownedMutexReleases(), faultsBefore + 2);

    std::thread([&] {
        other = WaitForSingleObject(mutex, 20);
        if (other == WAIT_OBJECT_0) ReleaseMutex(mutex);
    }).join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    CloseHandle(mutex);
}

TEST(Mutex, ThreadEndingWhileOwningAbandonsIt) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    std::thread([&] { WaitForSingleObject(mutex, INFINITE); }).join();
    EXPECT_EQ(WaitForSingleObject(mutex, 100), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST(Mutex, NamedObjectLivesWhileAHandleIsOpen) {
    const std::string name = uniqueName("lifetime");
    HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    const std::string file = vexa::platform::objectPath("mutex", name);
    EXPECT_NE(file.find("mutex.Global%5Clifetime"), std::string::npos);
    EXPECT_EQ(access(file.c_str(), F_OK), 0);

    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr);
    // Both handles name one object: ownership taken through one blocks a
    // waiter on the other.
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    DWORD other = 0;
    std::thread([&] { other = WaitForSingleObject(opened, 0); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    ReleaseMutex(first);

    CloseHandle(first);
    CloseHandle(opened);
    EXPECT_NE(access(file.c_str(), F_OK), 0);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // A new object: not "already exists", and initial ownership is granted.
    HANDLE again = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(ReleaseMutex(again));
    CloseHandle(again);
}

TEST(Mutex, BadHandlesAndNames) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReleaseMutex(reinterpret_cast<HANDLE>(0x12345)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x12345)));

    const std::string tooLong(MAX_PATH + 1, 'x');
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, tooLong.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);

    // Long names that fit are told apart even though their files are cut.
    const std::string a(250, 'a'), b = std::string(249, 'a') + "b";
    HANDLE ha = CreateMutexA(nullptr, TRUE, a.c_str());
    HANDLE hb = CreateMutexA(nullptr, FALSE, b.c_str());
    ASSERT_NE(ha, nullptr);
    ASSERT_NE(hb, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    DWORD other = 0;
    std::thread([&] {
        other = WaitForSingleObject(hb, 0);
        if (other == WAIT_OBJECT_0) ReleaseMutex(hb);
    }).join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    ReleaseMutex(ha);
    CloseHandle(ha);
    CloseHandle(hb);
}

} // namespace
