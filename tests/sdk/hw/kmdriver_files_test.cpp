// The manager's files in the shared temporary folder: the driver's folder
// and file, reused only when they are ours, and the log, which starts empty
// and is never written through a link.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

namespace fs = std::filesystem;

std::string nativeDriverFile() { return driverFolder() + "/vexa138_x64.sys"; }

TEST_F(KMDriverTest, DriverFileOfOursFromAnEarlierRunIsUsedUnchanged) {
    fs::create_directory(driverFolder());
    fs::permissions(driverFolder(), fs::perms::owner_all);
    std::ofstream(nativeDriverFile()) << driverImage("vexa138_x64.sys");
    struct stat before {};
    ASSERT_EQ(stat(nativeDriverFile().c_str(), &before), 0);

    CKMDriver& driver = startedDriver();
    struct stat after {};
    ASSERT_EQ(stat(nativeDriverFile().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    const std::string file = driverFolderName() + "vexa138_x64.sys";
    expectLinesInOrder(logLines(driver), {
        literal("[dwExtract_SYS] Extract " + file),
        literal("[dwExtract_SYS] File " + file + " does already exist"),
        literal("[WinNT_bCreateService] szDestName = " + file),
    });

    driver.vCloseDriver(1, 1, 1);
    EXPECT_FALSE(fs::exists(driverFolder()));  // removed at the end all the same
}

TEST_F(KMDriverTest, LinkInPlaceOfTheDriverFileIsReplacedNotFollowed) {
    const std::string target = tempFolder() + "elsewhere.sys";
    std::ofstream(target) << "someone else's file";
    fs::create_directory(driverFolder());
    fs::permissions(driverFolder(), fs::perms::owner_all);
    fs::create_symlink(target, nativeDriverFile());

    startedDriver();
    EXPECT_EQ(readFile(target), "someone else's file");
    EXPECT_FALSE(fs::is_symlink(nativeDriverFile()));
    EXPECT_EQ(readFile(nativeDriverFile()), driverImage("vexa138_x64.sys"));
}

TEST_F(KMDriverTest, DriverFolderThatIsALinkStopsTheInstallation) {
    const std::string elsewhere = tempFolder() + "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, driverFolder());

    CKMDriver& driver = newDriver();
    uint32_t error = 0;
    EXPECT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 0);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_TRUE(fs::is_symlink(driverFolder()));
    EXPECT_FALSE(serviceExists());
    expectLinesInOrder(logLines(driver), {
        literal("[bInitDriver] m_szPath_2 = "),
        literal("[bInitDriver] bInitDriver returned 5"),
    });
    fs::remove(driverFolder());
}

TEST_F(KMDriverTest, LogOfAnEarlierRunStartsEmptyAtConstruction) {
    const std::string log = logPathOfThisProcess();
    std::ofstream(log) << "[bInitDriver] an earlier run\n";
    fs::permissions(log, fs::perms::owner_read | fs::perms::owner_write);

    CKMDriver& driver = newDriver();
    EXPECT_EQ(driver.m_szLogPath, log);
    EXPECT_EQ(readFile(log), "");
    driver.Log("[Test] %s %d\n", "line", 1);
    EXPECT_EQ(readFile(log), "[Test] line 1\n");
}

TEST_F(KMDriverTest, LinkPlantedAtTheLogPathGetsNoWrites) {
    const std::string target = tempFolder() + "precious";
    std::ofstream(target) << "keep";
    const std::string log = logPathOfThisProcess();
    fs::create_symlink(target, log);

    CKMDriver& driver = newDriver();
    EXPECT_STREQ(driver.m_szLogPath, "");
    driver.Log("[Test] line\n");
    uint32_t error = 0;
    EXPECT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 1);  // works without a log
    driver.vCloseDriver(1, 1, 1);
    EXPECT_EQ(readFile(target), "keep");
    EXPECT_TRUE(fs::is_symlink(log));
    fs::remove(log);
}

TEST_F(KMDriverTest, LogLineIsCutAt255CharactersAndKeepsTheLastError) {
    CKMDriver& driver = newDriver();
    SetLastError(1234);
    driver.Log("%s\n", std::string(300, 'x').c_str());
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(readFile(driver.m_szLogPath), std::string(255, 'x'));
}

} // namespace
} // namespace vexa::test
