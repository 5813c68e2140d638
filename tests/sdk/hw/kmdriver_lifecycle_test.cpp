// The kernel-driver manager's life cycle: the first start that installs the
// service, a second instance that finds it running, the clean close, a start
// that fails and cleans up after itself, the driver lock between processes,
// and the choice of mutex name, driver build and file per Windows.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/services.h"
#include "platform/sync.h"
#include "platform/testing.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

namespace fs = std::filesystem;

std::string currentDirectory() { return fs::current_path().string(); }

std::string driverFile(const char* name = "vexa138_x64.sys") { return driverFolderName() + name; }

// The log lines written after the first `skipped` ones.
std::vector<std::string> linesAfter(const CKMDriver& driver, size_t skipped) {
    auto lines = logLines(driver);
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(skipped, lines.size())));
    return lines;
}

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

TEST_F(KMDriverTest, FirstStartInstallsExtractsAndStartsTheService) {
    CKMDriver& driver = newDriver();
    uint32_t error = 0xDEAD;
    ASSERT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 1);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(serviceState(), SERVICE_RUNNING);
    EXPECT_EQ(readFile(platform::nativePath(driverFile().c_str())), driverImage("vexa138_x64.sys"));
    EXPECT_EQ(fs::status(driverFolder()).permissions(), fs::perms::owner_all);
    // The device stays open for the instance's lifetime; requests still
    // need the driver lock.
    EXPECT_NE(driver.m_hDevice, INVALID_HANDLE_VALUE);
    uint32_t version = 0;
    EXPECT_EQ(driver.GetDriverVersion(&version), 0) << "sent without the driver lock";

    expectLines(logLines(driver), {
        literal("[bInitDriver] path = " + tempFolder()),
        literal("[bInitDriver] GetCurrentDirectory = " + currentDirectory()),
        literal("[bInitDriver] GetModuleFileName = ") + ".+",
        literal("[vGetOSVersion] m_iOSVersion = 2 (10.0)"),
        literal("[vGetOSVersion] m_bIsAMD64 = 1"),
        literal("[bInitDriver] m_hDriverMutex = ") + "[0-9A-F]+",
        literal("[bInitDriver] m_szPath_2 = " + driverFolderName()),
        literal("[bInitDriver] m_szFilename = vexa138_x64.sys"),
        literal("[WinNT_hCreateServiceHandle] returned 2 (0x2)"),
        R"(\[WinNT_bInstallDriver <time>\] szMachineName = .*)",
        literal("[dwExtract_SYS] Extract " + driverFile()),
        literal("[WinNT_bCreateService] szDestName = " + driverFile()),
        literal("[bInitDriver] bInitDriver returned 0"),
    });
}

TEST_F(KMDriverTest, CleanCloseStopsAndDeletesTheServiceAndRemovesFileAndFolder) {
    CKMDriver& driver = startedDriver();
    const size_t startLines = logLines(driver).size();
    driver.vCloseDriver(1, 1, 0);

    expectLines(linesAfter(driver, startLines), {
        R"(\[vCloseDriver <time>\] WaitForSingleObject error = 0)",
        literal("[WinNT_dwStopService] ControlService[SERVICE_CONTROL_INTERROGATE] status = 0x4"),
        literal("[WinNT_dwStopService] ControlService[SERVICE_CONTROL_STOP] status = 0x1"),
        R"(\[bDeleteFile <time>\] DeleteFile returned = 1 \(error = 0\))",
        R"(\[bDeleteFile <time>\] RemoveDirectory )" + literal(driverFolderName()) +
            R"( returned = 1 \(error = 0\))",
        literal("[vCloseDriver] CloseHandle(mutex) = 1"),
    });
    EXPECT_FALSE(serviceExists());
    EXPECT_FALSE(fs::exists(driverFolder()));
    EXPECT_EQ(driver.m_hDriverMutex, nullptr);
    EXPECT_FALSE(namedMutexExists("Global\\vexa"));  // ours was the last handle
}

TEST_F(KMDriverTest, CloseAskedToDeleteTheLogRemovesIt) {
    CKMDriver& driver = startedDriver();
    const std::string log = driver.m_szLogPath;
    ASSERT_TRUE(fs::exists(log));
    driver.vCloseDriver(1, 1, 1);
    EXPECT_FALSE(fs::exists(log));
    EXPECT_STREQ(driver.m_szLogPath, "");
    EXPECT_FALSE(serviceExists());
}

// Two managers in one process share the service records and the named
// mutex as two running instances of the program do (and the log file,
// whose name carries the process id: the second one empties it).
TEST_F(KMDriverTest, SecondInstanceFindsTheServiceRunning) {
    CKMDriver& first = startedDriver();
    CKMDriver& second = startedDriver();

    const auto lines = logLines(second);
    EXPECT_FALSE(mentions(lines, "[WinNT_hCreateServiceHandle]")) << "the device opened at once";
    EXPECT_FALSE(mentions(lines, "[WinNT_bInstallDriver"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "[bInitDriver] bInitDriver returned 0");

    uint32_t error = 0xDEAD, version = 0;
    ASSERT_EQ(second.bLockDriverHandle(&error, 1000), 1);
    EXPECT_EQ(second.GetDriverVersion(&version), 1);
    EXPECT_EQ(version, CKMDriver::kDriverVersion);
    second.UnlockDriverHandle();
    ASSERT_EQ(first.bLockDriverHandle(&error, 1000), 1);
    first.UnlockDriverHandle();
}

TEST_F(KMDriverTest, InstanceEndingLeavesTheDriverToTheOneStillUsingIt) {
    CKMDriver& first = startedDriver();
    CKMDriver& second = startedDriver();
    const size_t before = logLines(second).size();  // the shared log
    second.vCloseDriver(1, 1, 0);
    EXPECT_EQ(serviceState(), SERVICE_RUNNING);
    EXPECT_TRUE(fs::exists(platform::nativePath(driverFile().c_str())));
    expectLines(linesAfter(second, before), {
        R"(\[vCloseDriver <time>\] WaitForSingleObject error = 0)",
        literal("[WinNT_dwUninstallDriver] driver in use by another instance, left installed"),
        literal("[vCloseDriver] CloseHandle(mutex) = 1"),
    });

    uint32_t error = 0xDEAD, version = 0;
    ASSERT_EQ(first.bLockDriverHandle(&error, 1000), 1) << "error " << error;
    EXPECT_EQ(first.GetDriverVersion(&version), 1);
    first.UnlockDriverHandle();

    // The last user removes it all.
    first.vCloseDriver(1, 1, 0);
    EXPECT_FALSE(serviceExists());
    EXPECT_FALSE(fs::exists(driverFolder()));
}

TEST_F(KMDriverTest, InstanceKilledWhileUsingTheDriverDoesNotKeepItInstalled) {
    CKMDriver& driver = startedDriver();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another instance opens the device, then dies without closing it.
        HANDLE device = CreateFileA("\\\\.\\vexa138", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        _exit(device == INVALID_HANDLE_VALUE ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    driver.vCloseDriver(1, 1, 0);
    EXPECT_FALSE(serviceExists());
    EXPECT_FALSE(fs::exists(driverFolder()));
}

TEST_F(KMDriverTest, LockReinstallsAServiceRemovedMeanwhile) {
    CKMDriver& first = startedDriver();
    CKMDriver& second = startedDriver();
    // Both let go of the device; the second one, ending last, removes it.
    first.CloseDeviceHandle();
    second.vCloseDriver(1, 1, 0);
    ASSERT_FALSE(serviceExists());
    ASSERT_FALSE(fs::exists(driverFolder()));
    const size_t before = logLines(second).size();  // the shared log

    uint32_t error = 0xDEAD, version = 0;
    ASSERT_EQ(first.bLockDriverHandle(&error, 1000), 1) << "error " << error;
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(first.GetDriverVersion(&version), 1);
    first.UnlockDriverHandle();

    EXPECT_EQ(serviceState(), SERVICE_RUNNING);
    EXPECT_TRUE(fs::exists(platform::nativePath(driverFile().c_str())));
    expectLines(linesAfter(second, before), {
        literal("[WinNT_hCreateServiceHandle] returned 2 (0x2)"),
        R"(\[WinNT_bInstallDriver <time>\] szMachineName = .*)",
        literal("[dwExtract_SYS] Extract " + driverFile()),
        literal("[WinNT_bCreateService] szDestName = " + driverFile()),
    });
}

// The wait after a stop or removal ends once the service is stopped or
// gone, and waits no longer than 200 ms for one that stays.
struct RemovalWait {
    const char* name;
    uint32_t stop, remove;
    uint64_t minMs, maxMs;  // time spent in vCloseDriver, on a clock moved only by sleeping
};

class KMDriverRemovalWait : public KMDriverOnMachine, public ::testing::WithParamInterface<RemovalWait> {};

TEST_P(KMDriverRemovalWait, EndsOnceTheServiceIsGone) {
    CKMDriver& driver = startedDriver();
    useManualClock();
    const uint64_t start = machine::clock().nowNs();
    driver.vCloseDriver(GetParam().stop, GetParam().remove, 0);
    const uint64_t spentMs = (machine::clock().nowNs() - start) / 1000000;
    EXPECT_GE(spentMs, GetParam().minMs);
    EXPECT_LE(spentMs, GetParam().maxMs);
}

INSTANTIATE_TEST_SUITE_P(
    , KMDriverRemovalWait,
    ::testing::Values(RemovalWait{"StopAndRemove", 1, 1, 0, 0}, RemovalWait{"StopOnly", 1, 0, 0, 0},
                      // A running service marked for deletion does not go.
                      RemovalWait{"RemoveWithoutStop", 0, 1, 200, 210}, RemovalWait{"Neither", 0, 0, 0, 0}),
    CaseName());

struct FailedStart {
    const char* name;
    uint32_t x64Resource;  // what the application gives as the x64 build
    uint32_t error;
    const char* failureLine;
};

class KMDriverFailedStart : public KMDriverTest, public ::testing::WithParamInterface<FailedStart> {};

TEST_P(KMDriverFailedStart, RemovesWhatItInstalledAndKeepsTheLog) {
    CKMDriver& driver = newDriver();
    driver.m_dwResourceIds[KMDRIVER_BUILD_X64] = GetParam().x64Resource;
    uint32_t error = 0;
    EXPECT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 0);
    EXPECT_EQ(error, GetParam().error);

    EXPECT_FALSE(serviceExists());
    EXPECT_FALSE(fs::exists(driverFolder()));
    EXPECT_EQ(driver.m_hDriverMutex, nullptr);
    ASSERT_STRNE(driver.m_szLogPath, "");
    EXPECT_TRUE(fs::exists(driver.m_szLogPath));
    expectLinesInOrder(logLines(driver), {
        literal(GetParam().failureLine),
        literal("[bInitDriver] bInitDriver returned " + std::to_string(GetParam().error)),
        R"(\[vCloseDriver <time>\] WaitForSingleObject error = 0)",
        literal("[WinNT_dwStopService] OpenService failed, errorcode = 1060"),
        literal("[WinNT_dwDeleteService] Openservice failed, errorcode = 1060"),
        literal("[vCloseDriver] CloseHandle(mutex) = 1"),
    });
}

INSTANTIATE_TEST_SUITE_P(
    , KMDriverFailedStart,
    ::testing::Values(
        FailedStart{"ImageOfAnotherBuild", kX86Resource, ERROR_BAD_EXE_FORMAT,
                    "[WinNT_bStartService] StartService failed, error code = 193"},
        FailedStart{"CorruptImage", kCorruptResource, ERROR_BAD_EXE_FORMAT,
                    "[WinNT_bStartService] StartService failed, error code = 193"},
        FailedStart{"ResourceIdNotSet", CKMDriver::kUnset, KMDRIVER_ERROR_RESOURCE_ID_NOT_SET,
                    "[dwExtract_SYS] Wrong res ID = FFFFFFFF"},
        FailedStart{"ResourceMissing", 999, ERROR_RESOURCE_NAME_NOT_FOUND,
                    "[dwExtract_SYS] FindResource failed, error=1814"}),
    CaseName());

TEST_F(KMDriverTest, LockHeldByAnotherProcessTimesOutWithoutTouchingTheService) {
    CKMDriver& driver = startedDriver();
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another instance of the program holding the driver lock.
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "Global\\vexa");
        char held = mutex && WaitForSingleObject(mutex, INFINITE) == WAIT_OBJECT_0 ? 1 : 0;
        if (write(ready[1], &held, 1) != 1 || read(release[0], &held, 1) != 1) _exit(1);
        if (mutex) ReleaseMutex(mutex);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 1);

    uint32_t error = 0, version = 0;
    EXPECT_EQ(driver.bLockDriverHandle(&error, 100), 0);
    EXPECT_EQ(error, WAIT_TIMEOUT);
    EXPECT_EQ(driver.GetDriverVersion(&version), 0) << "a request without the lock";
    EXPECT_EQ(serviceState(), SERVICE_RUNNING);

    // An instance starting now waits for its first lock, misses it, and
    // leaves the driver the others use as it is.
    CKMDriver& late = newDriver();
    EXPECT_EQ(late.bInitDriver(tempFolder().c_str(), &error, 1), 0);
    EXPECT_EQ(error, WAIT_TIMEOUT);
    EXPECT_EQ(late.m_hDriverMutex, nullptr);
    EXPECT_EQ(serviceState(), SERVICE_RUNNING);
    EXPECT_TRUE(fs::exists(platform::nativePath(driverFile().c_str())));
    for (const auto& line : logLines(late)) EXPECT_EQ(line.find("[vCloseDriver <"), std::string::npos) << line;

    ASSERT_EQ(write(release[1], &held, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);

    EXPECT_EQ(driver.bLockDriverHandle(&error, 1000), 1);
    EXPECT_EQ(error, 0u);
    driver.UnlockDriverHandle();
}

TEST_F(KMDriverTest, LockWithoutADriverMutexFails) {
    CKMDriver& driver = newDriver();
    uint32_t error = 0;
    EXPECT_EQ(driver.bLockDriverHandle(&error, 0), 0);
    EXPECT_EQ(error, KMDRIVER_ERROR_NO_MUTEX);
    expectLines(logLines(driver), {R"(\[bLockDriverHandle <time>\] m_hDriverMutex NULL)"});
}

TEST_F(KMDriverTest, PlatformNeitherWin9xNorNTFails) {
    machine::WindowsIdentity win32s;
    win32s.platformId = 0;
    win32s.majorVersion = 3;
    win32s.minorVersion = 11;
    useIdentity(win32s);
    CKMDriver& driver = newDriver();
    uint32_t error = 0;
    EXPECT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 0);
    EXPECT_EQ(error, KMDRIVER_ERROR_UNKNOWN_PLATFORM);
    EXPECT_EQ(driver.m_hDriverMutex, nullptr);
    expectLinesInOrder(logLines(driver), {
        literal("[vGetOSVersion] m_iOSVersion = 0 (3.11)"),
        literal("[bInitDriver] m_hDriverMutex = 0, err=") + "\\d+",
        literal("[bInitDriver] bInitDriver returned 20482"),
    });
}

TEST_F(KMDriverTest, OSVersionTellsTheBuildThatFits) {
    CKMDriver& driver = newDriver();
    driver.vGetOSVersion();
    EXPECT_EQ(driver.m_iOSVersion, CKMDriver::kPlatformNT);
    EXPECT_EQ(driver.m_iMajorVersion, 10);
    EXPECT_EQ(driver.m_iMinorVersion, 0);
    EXPECT_EQ(driver.m_iNativeArchitecture, 9);
    EXPECT_EQ(driver.m_bIsAMD64, 1u) << "a 64-bit process on x64 Windows";
    EXPECT_EQ(driver.m_bIsIA64, 0u);

    // Windows before XP has no GetNativeSystemInfo: a 32-bit system.
    platform::testing::hideExport("kernel32.dll", "GetNativeSystemInfo");
    driver.vGetOSVersion();
    EXPECT_EQ(driver.m_iNativeArchitecture, -1);
    EXPECT_EQ(driver.m_bIsAMD64, 0u);
    EXPECT_EQ(driver.m_iOSVersion, CKMDriver::kPlatformNT);
}

struct PlatformCase {
    const char* name;
    uint32_t platformId, major, minor;
    uint16_t architecture;
    const char* mutex;         // the driver mutex's name
    const char* otherMutex;    // the name it must not have
    const char* file;          // m_szFilename, extracted from the build's resource
    bool ownFolder;            // in "vexa138\" (NT) or the base folder (9x)
};

class KMDriverPlatform : public KMDriverTest, public ::testing::WithParamInterface<PlatformCase> {};

TEST_P(KMDriverPlatform, NamesTheMutexAndExtractsTheBuildThatFits) {
    const PlatformCase& c = GetParam();
    machine::WindowsIdentity identity;
    identity.platformId = c.platformId;
    identity.majorVersion = c.major;
    identity.minorVersion = c.minor;
    identity.processorArchitecture = c.architecture;
    useIdentity(identity);

    CKMDriver& driver = startedDriver();
    EXPECT_TRUE(namedMutexExists(c.mutex));
    EXPECT_FALSE(namedMutexExists(c.otherMutex));
    EXPECT_STREQ(driver.m_szFilename, c.file);
    const std::string folder = c.ownFolder ? driverFolderName() : tempFolder();
    EXPECT_EQ(readFile(platform::nativePath((folder + c.file).c_str())), driverImage(c.file));
    if (c.platformId == 2) {
        EXPECT_EQ(serviceState(), SERVICE_RUNNING);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , KMDriverPlatform,
    ::testing::Values(
        PlatformCase{"Windows2000", 2, 5, 0, 0, "vexa", "Global\\vexa", "vexa138_x32.sys", true},
        PlatformCase{"WindowsXP", 2, 5, 1, 0, "Global\\vexa", "vexa", "vexa138_x32.sys", true},
        PlatformCase{"Windows10x64", 2, 10, 0, 9, "Global\\vexa", "vexa", "vexa138_x64.sys", true},
        PlatformCase{"WindowsServer2003IA64", 2, 5, 2, 6, "Global\\vexa", "vexa", "vexa138_ia64.sys", true},
        PlatformCase{"Windows98", 1, 4, 10, 0, "vexa", "Global\\vexa", "vexa.vxd", false}),
    CaseName());

} // namespace
} // namespace vexa::test
