// The files the program writes: replaced whole or not at all, never through
// a link, a FIFO or another user's file; read without following a link or
// waiting on a FIFO.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/safe_file.h"
#include "tests/support/test_paths.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder with a file outside it that planted names point at.
class Folder {
public:
    Folder() {
        static int counter = 0;
        root_ = (fs::temp_directory_path() / ("safe-file-" + std::to_string(counter++))).string();
        fs::remove_all(root_);
        fs::create_directories(root_ + "/out");
        std::ofstream(target()) << "precious";
    }
    ~Folder() { fs::remove_all(root_); }
    std::string file(const std::string& name) const { return root_ + "/out/" + name; }
    std::string target() const { return root_ + "/target"; }
    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (const auto& entry : fs::directory_iterator(root_ + "/out")) list.push_back(entry.path().filename());
        std::sort(list.begin(), list.end());
        return list;
    }

private:
    std::string root_;
};

bool write(const std::string& path, const std::string& text, std::string& error) {
    return vexa::platform::writeSafeFile(path, text.data(), text.size(), error);
}

TEST(SafeFile, WritesANewFileAndReplacesAnOldOneKeepingItsMode) {
    Folder folder;
    const std::string path = folder.file("capture.bmp");
    std::string error;
    ASSERT_TRUE(write(path, "first", error)) << error;
    EXPECT_EQ(vexa::test::readFile(path), "first");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(write(path, "second, longer", error)) << error;
    EXPECT_EQ(vexa::test::readFile(path), "second, longer");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"capture.bmp"});  // no temporary file left
}

TEST(SafeFile, WindowsSeparatorsNameTheSameFile) {
    Folder folder;
    std::string path = folder.file("report.txt");
    std::replace(path.begin(), path.end(), '/', '\\');
    std::string error;
    ASSERT_TRUE(write(path, "text", error)) << error;
    EXPECT_EQ(vexa::test::readFile(folder.file("report.txt")), "text");
}

// ---- What is refused at the final name ----

struct Planted {
    const char* name;
    std::function<void(const Folder&, const std::string& path)> plant;
    const char* reason;
};

void PrintTo(const Planted& row, std::ostream* out) { *out << row.name; }

class PlantedName : public ::testing::TestWithParam<Planted> {};

TEST_P(PlantedName, IsLeftUntouchedWithAClearError) {
    Folder folder;
    const std::string path = folder.file("vexa.ini");
    GetParam().plant(folder, path);
    const auto before = folder.names();
    std::string error;
    EXPECT_FALSE(write(path, "overwritten", error));
    EXPECT_EQ(error, "cannot write " + path + ": " + GetParam().reason);
    EXPECT_EQ(vexa::test::readFile(folder.target()), "precious");
    EXPECT_EQ(folder.names(), before);  // the planted name stays, no temporary file is left

    vexa::platform::SafeFileWriter writer(path);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(writer.stream(), nullptr);
    EXPECT_FALSE(writer.commit());
    EXPECT_EQ(writer.error(), error);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PlantedName,
    ::testing::Values(
        Planted{"link_to_a_file", [](const Folder& f, const std::string& p) { fs::create_symlink(f.target(), p); },
                "it is a symbolic link"},
        Planted{"dangling_link",
                [](const Folder& f, const std::string& p) { fs::create_symlink(f.target() + ".new", p); },
                "it is a symbolic link"},
        Planted{"fifo", [](const Folder&, const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0666), 0); },
                "it is not a regular file"},
        Planted{"folder", [](const Folder&, const std::string& p) { fs::create_directory(p); },
                "it is not a regular file"}),
    [](const ::testing::TestParamInfo<Planted>& row) { return std::string(row.param.name); });

TEST(SafeFile, AnotherUsersFileIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user";
    Folder folder;
    const std::string path = folder.file("report.htm");
    std::ofstream(path) << "theirs";
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    std::string error;
    EXPECT_FALSE(write(path, "ours", error));
    EXPECT_EQ(error, "cannot write " + path + ": it belongs to another user");
    EXPECT_EQ(vexa::test::readFile(path), "theirs");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"report.htm"});
}

// ---- Failures while writing ----

TEST(SafeFile, AFailedWriteKeepsTheOldFileAndSaysWhy) {
    Folder folder;
    const std::string path = folder.file("dump.bin");
    std::ofstream(path) << "old";
    // Files may grow to 100 bytes only: the write fails as on a full disk.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = write(path, std::string(10000, 'x'), error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, savedHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "cannot write " + path + ": File too large");
    EXPECT_EQ(vexa::test::readFile(path), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"dump.bin"});
}

TEST(SafeFile, AMissingFolderIsAnError) {
    Folder folder;
    std::string error;
    EXPECT_FALSE(write(folder.file("missing/r.txt"), "x", error));
    EXPECT_EQ(error, "cannot write " + folder.file("missing/r.txt") + ": No such file or directory");
}

TEST(SafeFile, AWriterNotCommittedLeavesTheOldFile) {
    Folder folder;
    const std::string path = folder.file("r.txt");
    std::ofstream(path) << "old";
    {
        vexa::platform::SafeFileWriter writer(path);
        ASSERT_TRUE(writer.isOpen()) << writer.error();
        std::fputs("new", writer.stream());
        std::fflush(writer.stream());
    }
    EXPECT_EQ(vexa::test::readFile(path), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"r.txt"});
}

// A process killed while it writes the settings leaves the old ones whole.
TEST(SafeFile, AKillWhileWritingLeavesTheOldFileWhole) {
    Folder folder;
    const std::string path = folder.file("vexa.ini");
    const std::string old = "[Vexa]\nACPI=0\n";
    std::ofstream(path) << old;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        vexa::platform::SafeFileWriter writer(path);
        if (!writer.isOpen()) _exit(1);
        std::fputs("[Vexa]\nACPI=1\n", writer.stream());
        std::fflush(writer.stream());  // the new text is on disk, not yet renamed
        const char byte = 1;
        if (::write(ready[1], &byte, 1) != 1) _exit(1);
        pause();
        _exit(writer.commit() ? 0 : 1);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(vexa::test::readFile(path), old);
    // Only a hidden temporary file beside it can remain.
    for (const std::string& name : folder.names())
        EXPECT_TRUE(name == "vexa.ini" || name.rfind(".vexa.ini.", 0) == 0) << name;
}

// ---- Reading ----

TEST(SafeFile, ReadsOnlyRegularFilesUpToTheLimit) {
    Folder folder;
    const std::string path = folder.file("vexa.ini");
    std::ofstream(path) << "0123456789";
    std::string bytes, error;
    ASSERT_TRUE(vexa::platform::readRegularFile(path, 4, bytes, error)) << error;
    EXPECT_EQ(bytes, "0123");
    ASSERT_TRUE(vexa::platform::readRegularFile(path, 100, bytes, error)) << error;
    EXPECT_EQ(bytes, "0123456789");

    const std::string link = folder.file("link.ini"), fifo = folder.file("fifo.ini");
    fs::create_symlink(folder.target(), link);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_FALSE(vexa::platform::readRegularFile(link, 100, bytes, error));
    EXPECT_EQ(error, "cannot read " + link + ": it is a symbolic link");
    EXPECT_EQ(bytes, "");
    EXPECT_FALSE(vexa::platform::readRegularFile(fifo, 100, bytes, error));  // returns at once
    EXPECT_EQ(error, "cannot read " + fifo + ": it is not a regular file");
    EXPECT_FALSE(vexa::platform::readRegularFile(folder.file("missing"), 100, bytes, error));
}

} // namespace
