// The namespace directory: made private when it is new, taken as it is
// when it is already private, refused (and left unchanged) otherwise.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/object_namespace.h"

namespace {

namespace fs = std::filesystem;

unsigned modeOf(const fs::path& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return ~0u;
    return unsigned(st.st_mode & 07777);
}

TEST(ObjectNamespace, OnlyAPrivateFolderOfOurOwnIsUsed) {
    const fs::path root = fs::temp_directory_path() / "namespaces";
    fs::create_directories(root);
    fs::create_directory(root / "private");
    fs::permissions(root / "private", fs::perms::owner_all);
    fs::create_directory(root / "open");
    fs::permissions(root / "open", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory_symlink(root / "private", root / "link");
    std::ofstream(root / "file") << "x";
    const struct {
        const char* name;
        bool usable;
        const char* message;
    } cases[] = {
        {"new", true, ""},
        {"private", true, ""},
        {"open", false, "open is open to other users (mode 0755)"},
        {"link", false, "link is not a directory"},
        {"file", false, "file is not a directory"},
        {"missing/below", false, "cannot create"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned before = modeOf(root / c.name);
        std::string error;
        EXPECT_EQ(vexa::platform::usePrivateDirectory((root / c.name).string(), error), c.usable);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        if (c.usable)
            EXPECT_EQ(modeOf(root / c.name), 0700u);
        else
            EXPECT_EQ(modeOf(root / c.name), before) << "a refused folder is left as it was";
    }
    fs::remove_all(root);
}

} // namespace
