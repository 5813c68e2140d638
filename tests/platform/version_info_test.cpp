// Version blocks: built, found inside files, queried; the program's own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/resources.h"

namespace {

using vexa::platform::VersionBlockLayout;

std::string writeTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

// A file with some bytes around the block, as in an executable.
std::vector<uint8_t> embedded(const std::vector<uint8_t>& block) {
    std::vector<uint8_t> file(1000, 0xCC);
    file.insert(file.begin() + 516, block.begin(), block.end());
    return file;
}

std::vector<uint8_t> readVersionInfo(const std::string& path) {
    DWORD handle = 1;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0) return {};
    std::vector<uint8_t> data(size);
    EXPECT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    return data;
}

std::string queryText(const std::vector<uint8_t>& data, const char* key) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), key, &value, &length)) return "<none>";
    return std::string(static_cast<const char*>(value), length ? length - 1 : 0);
}

TEST(VersionInfo, FixedInfoTranslationAndTexts) {
    VersionBlockLayout layout;
    layout.fileVersion[0] = 2;
    layout.fileVersion[1] = 5;
    layout.fileVersion[2] = 700;
    layout.fileVersion[3] = 9;
    layout.stringTables.push_back({0x0409, 0x04B0, {{"FileVersion", "2.5.700.9"}, {"CompanyName", "Ünïcode Ltd 한"}}});
    layout.translations.push_back({0x0409, 0x04B0});
    const auto data = readVersionInfo(writeTemp("with-translation.bin", embedded(buildVersionBlock(layout))));
    ASSERT_FALSE(data.empty());

    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00020005u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x02BC0009u);

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    WORD pair[2];
    std::memcpy(pair, value, sizeof pair);
    EXPECT_EQ(pair[0], 0x0409);
    EXPECT_EQ(pair[1], 0x04B0);

    EXPECT_EQ(queryText(data, "\\StringFileInfo\\040904b0\\FileVersion"), "2.5.700.9");
    EXPECT_EQ(queryText(data, "\\StringFileInfo\\040904B0\\companyname"), "Ünïcode Ltd 한");
    // Asking twice hands out the same text.
    EXPECT_EQ(queryText(data, "\\StringFileInfo\\040904b0\\CompanyName"), "Ünïcode Ltd 한");
    EXPECT_EQ(queryText(data, "\\StringFileInfo\\040904b0\\Missing"), "<none>");
}

TEST(VersionInfo, WithoutTranslationOrBlock) {
    VersionBlockLayout layout;
    layout.fileVersion[0] = 1;
    const auto data = readVersionInfo(writeTemp("no-translation.bin", buildVersionBlock(layout)));
    ASSERT_FALSE(data.empty());
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
    EXPECT_FALSE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length));

    EXPECT_EQ(GetFileVersionInfoSizeA(writeTemp("plain.bin", std::vector<uint8_t>(300, 7)).c_str(), nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeA("/nonexistent/file", nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(VersionInfo, DamagedBlocksAreNotTakenForVersionInfo) {
    VersionBlockLayout layout;
    layout.stringTables.push_back({0x0409, 0x04B0, {{"FileVersion", "1.0"}}});
    const auto block = buildVersionBlock(layout);
    // Cut short: the block's length runs past the end of the file.
    std::vector<uint8_t> cut(block.begin(), block.begin() + block.size() / 2);
    EXPECT_EQ(GetFileVersionInfoSizeA(writeTemp("cut.bin", cut).c_str(), nullptr), 0u);
    // A wrong signature in the fixed information.
    auto wrong = block;
    wrong[40] ^= 0xFF;
    EXPECT_EQ(GetFileVersionInfoSizeA(writeTemp("wrong.bin", wrong).c_str(), nullptr), 0u);
    // A child whose length points outside its parent ends the search.
    auto child = block;
    const size_t stringFileInfo = 92;  // first child: after header, key and fixed info
    child[stringFileInfo] = 0xFF;
    child[stringFileInfo + 1] = 0x7F;
    const auto data = readVersionInfo(writeTemp("child.bin", child));
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(queryText(data, "\\StringFileInfo\\040904b0\\FileVersion"), "<none>");
    // A buffer not filled by GetFileVersionInfoA is refused.
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\", &value, &length));
}

TEST(VersionInfo, TheProgramCarriesItsVersion) {
    const auto data = readVersionInfo(VEXA_PROGRAM);
    ASSERT_FALSE(data.empty());
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwFileVersionMS, (DWORD(VEXA_VERSION_MAJOR) << 16) | VEXA_VERSION_MINOR);
    EXPECT_EQ(fixed.dwFileVersionLS, (DWORD(VEXA_VERSION_PATCH) << 16) | VEXA_VERSION_TWEAK);
    EXPECT_EQ(queryText(data, "\\StringFileInfo\\040904b0\\ProductName"), "Vexa");
}

TEST(Resources, VersionBlockIsAResourceOfTheProgramThatHasOne) {
    // The test program carries no resources of its own.
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_VERSION), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

} // namespace
