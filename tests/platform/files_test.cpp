// Files, folders and paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/modules.h"
#include "platform/sync.h"

namespace {

std::string tempFolder() {
    char path[MAX_PATH];
    EXPECT_GT(GetTempPathA(sizeof path, path), 0u);
    return path;
}

TEST(Files, TempPathComesFromTmpdirWithATrailingSeparator) {
    const std::string saved = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", "/var/tmp", 1);
    char path[MAX_PATH];
    EXPECT_EQ(GetTempPathA(sizeof path, path), 9u);
    EXPECT_STREQ(path, "/var/tmp/");
    char small[4];
    EXPECT_EQ(GetTempPathA(sizeof small, small), 10u);  // size needed
    setenv("TMPDIR", "relative", 1);
    GetTempPathA(sizeof path, path);
    EXPECT_STREQ(path, "/tmp/");
    setenv("TMPDIR", saved.c_str(), 1);
}

TEST(Files, WindowsStylePathsAndDispositions) {
    const std::string folder = tempFolder() + "files-test";
    const std::string windowsFolder = tempFolder() + "\\files-test\\";
    ASSERT_TRUE(CreateDirectoryA(windowsFolder.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), FILE_ATTRIBUTE_DIRECTORY);

    const std::string file = windowsFolder + "data.bin";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "vexa", 4, &written, nullptr));
    EXPECT_EQ(written, 4u);
    CloseHandle(h);

    EXPECT_EQ(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    h = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 4u);
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "vexa");
    EXPECT_EQ(SetFilePointer(h, 1, nullptr, FILE_BEGIN), 1u);
    EXPECT_TRUE(ReadFile(h, buffer, 2, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "ex");
    CloseHandle(h);

    h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(h);

    EXPECT_FALSE(RemoveDirectoryA(folder.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(DeleteFileA(file.c_str()));
    EXPECT_FALSE(DeleteFileA(file.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CreateFileA((folder + "\\missing\\x").c_str(), GENERIC_READ, 0, nullptr,
                          OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(RemoveDirectoryA(windowsFolder.c_str()));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, ProgramPath) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::string(path).find("test_platform"), length - std::strlen("test_platform"));
    char small[4];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 4u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::strlen(small), 3u);
}

} // namespace
