// The manager's files in the shared temporary folder: the driver's folder
// and file, reused only when they are ours, and the log, which starts empty
// and is never written through a link.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

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

// Something planted at the driver folder's name by another user: left as it
// is, and the driver goes into a fresh private folder, removed at the end.
struct PlantedFolder {
    const char* name;
    std::function<void(const std::string& path)> plant;
};

std::vector<std::string> privateDriverFolders() {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(tempFolder()))
        if (entry.path().filename().string().rfind("vexa138.", 0) == 0) found.push_back(entry.path().string());
    return found;
}

class KMDriverPlantedFolder : public KMDriverTest, public ::testing::WithParamInterface<PlantedFolder> {
protected:
    void TearDown() override {
        KMDriverTest::TearDown();
        std::error_code ignored;
        fs::remove_all(driverFolder(), ignored);
        fs::remove_all(tempFolder() + "elsewhere", ignored);
        for (const auto& folder : privateDriverFolders()) fs::remove_all(folder, ignored);
    }
};

TEST_P(KMDriverPlantedFolder, DriverGoesIntoAFreshPrivateFolder) {
    GetParam().plant(driverFolder());
    struct stat planted {};
    ASSERT_EQ(lstat(driverFolder().c_str(), &planted), 0);

    CKMDriver& driver = newDriver();
    uint32_t error = 0xDEAD;
    ASSERT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 1) << "error " << error;
    const std::string folder = driver.m_szPath_2;
    EXPECT_EQ(folder.rfind(tempFolder() + "vexa138.", 0), 0u) << folder;
    EXPECT_EQ(serviceState(), SERVICE_RUNNING);
    struct stat own {};
    ASSERT_EQ(lstat(platform::nativePath(folder.c_str()).c_str(), &own), 0);
    EXPECT_TRUE(S_ISDIR(own.st_mode));
    EXPECT_EQ(own.st_mode & 07777, 0700u);
    EXPECT_EQ(readFile(platform::nativePath((folder + "vexa138_x64.sys").c_str())), driverImage("vexa138_x64.sys"));

    driver.vCloseDriver(1, 1, 1);
    EXPECT_EQ(privateDriverFolders(), std::vector<std::string>{});
    struct stat after {};
    ASSERT_EQ(lstat(driverFolder().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, planted.st_ino);
    EXPECT_EQ(after.st_mode, planted.st_mode);
    if (fs::exists(tempFolder() + "elsewhere")) {
        EXPECT_TRUE(fs::is_empty(tempFolder() + "elsewhere"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    , KMDriverPlantedFolder,
    ::testing::Values(
        PlantedFolder{"LinkToAFolder",
                      [](const std::string& path) {
                          fs::create_directory(tempFolder() + "elsewhere");
                          fs::create_directory_symlink(tempFolder() + "elsewhere", path);
                      }},
        PlantedFolder{"Fifo", [](const std::string& path) { mkfifo(path.c_str(), 0666); }},
        PlantedFolder{"File", [](const std::string& path) { std::ofstream(path) << "x"; }},
        // A folder others may write into (or, run as root, another user's).
        PlantedFolder{"OpenFolder",
                      [](const std::string& path) {
                          fs::create_directory(path);
                          chmod(path.c_str(), 0777);
                          if (geteuid() == 0 && chown(path.c_str(), 65534, 65534) != 0) FAIL();
                      }}),
    CaseName());

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

// Something planted at the log's usual name: never written, and the log
// goes to a fresh name in the temporary folder.
struct PlantedLog {
    const char* name;
    std::function<void(const std::string& target, const std::string& log)> plant;
};

class KMDriverPlantedLog : public KMDriverTest, public ::testing::WithParamInterface<PlantedLog> {};

TEST_P(KMDriverPlantedLog, LogGetsAFreshNameAndThePlantedOneNoWrites) {
    const std::string target = tempFolder() + "precious";
    std::ofstream(target) << "keep";
    const std::string log = logPathOfThisProcess();
    GetParam().plant(target, log);

    CKMDriver& driver = newDriver();
    const std::string own = driver.m_szLogPath;
    EXPECT_NE(own, log);
    EXPECT_EQ(own.rfind(tempFolder() + "vexa_driver_" + std::to_string(getpid()) + ".", 0), 0u) << own;
    driver.Log("[Test] line\n");
    EXPECT_EQ(readFile(own), "[Test] line\n");
    uint32_t error = 0;
    EXPECT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 1);
    driver.vCloseDriver(1, 1, 1);
    EXPECT_FALSE(fs::exists(own));
    EXPECT_EQ(readFile(target), "keep");
    EXPECT_TRUE(fs::exists(fs::symlink_status(log)));
    fs::remove(log);
}

INSTANTIATE_TEST_SUITE_P(
    , KMDriverPlantedLog,
    ::testing::Values(
        PlantedLog{"SymbolicLink", [](const std::string& target, const std::string& log) {
                       fs::create_symlink(target, log);
                   }},
        PlantedLog{"HardLink", [](const std::string& target, const std::string& log) {
                       fs::create_hard_link(target, log);
                   }},
        PlantedLog{"Fifo", [](const std::string&, const std::string& log) { mkfifo(log.c_str(), 0666); }}),
    CaseName());

TEST_F(KMDriverTest, LogLineIsCutAt255CharactersAndKeepsTheLastError) {
    CKMDriver& driver = newDriver();
    SetLastError(1234);
    driver.Log("%s\n", std::string(300, 'x').c_str());
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(readFile(driver.m_szLogPath), std::string(255, 'x'));
}

} // namespace
} // namespace vexa::test
