// The Unicode text files of the settings: UTF-16LE with a byte-order mark
// and CR LF, read back in line chunks.
#include "app/unicode_text_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_paths.h"

namespace {

std::string TempFile(const std::string& name) { return (std::filesystem::temp_directory_path() / name).string(); }

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(UnicodeTextFile, WritesUtf16LittleEndianWithMarkAndCrLf) {
    const std::string path = TempFile("written.ini");
    ASSERT_TRUE(WriteUnicodeTextFile(path.c_str(), L"A=\u00E9\nB\n"));
    EXPECT_EQ(vexa::test::readFile(path), std::string("\xFF\xFE" "A\0=\0\xE9\0\r\0\n\0B\0\r\0\n\0", 18));
}

TEST(UnicodeTextFile, CharactersBeyondTheBasicPlaneRoundTripAsSurrogatePairs) {
    const std::wstring text = L"x\U0001F600y";
    const std::string bytes = EncodeUtf16LE(text);
    EXPECT_EQ(bytes, std::string("x\0\x3D\xD8\x00\xDEy\0", 8));
    EXPECT_EQ(DecodeUtf16LE(bytes), text);
}

TEST(UnicodeTextFile, BrokenInputDecodesToReplacementCharacters) {
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"lone high surrogate", std::string("\x3D\xD8" "a\0", 4), L"\uFFFDa"},
        {"lone low surrogate", std::string("\x00\xDE", 2), L"\uFFFD"},
        {"high surrogate at the end", std::string("a\0\x3D\xD8", 4), L"a\uFFFD"},
        {"odd trailing byte", std::string("a\0b", 3), L"a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeUtf16LE(c.bytes), c.text);
    }
    EXPECT_EQ(EncodeUtf16LE(std::wstring(1, static_cast<wchar_t>(0x110000))), std::string("\xFD\xFF", 2));
}

TEST(UnicodeTextFile, ReadsByMarkInLineChunksWithCrLfAsLf) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::wstring> lines;
    };
    const std::string utf16 = EncodeUtf16LE(L"[Vexa]\r\nACPI=0\r\nlast");
    const Case cases[] = {
        {"UTF-16LE with mark", "\xFF\xFE" + utf16, {L"[Vexa]\n", L"ACPI=0\n", L"last"}},
        {"UTF-16LE without mark", utf16, {L"[Vexa]\n", L"ACPI=0\n", L"last"}},
        {"UTF-8 with mark", "\xEF\xBB\xBF[Vexa]\r\nDMI=\xC3\xA9\r\n", {L"[Vexa]\n", L"DMI=\u00E9\n"}},
        {"lone carriage return stays", EncodeUtf16LE(L"a\rb\n"), {L"a\rb\n"}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = TempFile("read.ini");
        WriteBytes(path, c.bytes);
        std::vector<std::wstring> lines;
        ASSERT_TRUE(ReadUnicodeTextLines(path.c_str(), 254, lines));
        EXPECT_EQ(lines, c.lines);
    }
}

// A line longer than the reader's room comes in chunks, as a line reader
// with a fixed buffer hands it out.
TEST(UnicodeTextFile, LongLinesComeInChunks) {
    const std::wstring longLine(300, L'x');
    const std::string path = TempFile("long.ini");
    ASSERT_TRUE(WriteUnicodeTextFile(path.c_str(), longLine + L"\nshort\n"));
    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadUnicodeTextLines(path.c_str(), 254, lines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::wstring(254, L'x'));
    EXPECT_EQ(lines[1], std::wstring(46, L'x') + L"\n");
    EXPECT_EQ(lines[2], L"short\n");
}

TEST(UnicodeTextFile, MissingFileAndUnwritablePathFail) {
    std::vector<std::wstring> lines{L"stale"};
    EXPECT_FALSE(ReadUnicodeTextLines(TempFile("missing.ini").c_str(), 254, lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(WriteUnicodeTextFile(TempFile("no-such-folder/x.ini").c_str(), L"x"));
}

// Only the first kMaxUnicodeTextFileBytes of a file are read.
TEST(UnicodeTextFile, HugeFilesAreReadOnlyInPart) {
    const std::string path = TempFile("huge.ini");
    WriteBytes(path, "\xFF\xFE" + EncodeUtf16LE(std::wstring(kMaxUnicodeTextFileBytes, L'a')));
    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadUnicodeTextLines(path.c_str(), 254, lines));
    size_t characters = 0;
    for (const auto& line : lines) characters += line.size();
    EXPECT_EQ(characters, kMaxUnicodeTextFileBytes / 2 - 1);
}

} // namespace
