// Text conversion and the Windows printf conventions.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>

#include "platform/text.h"

namespace {

using vexa::platform::formatNarrow;
using vexa::platform::formatWide;

std::string narrow(size_t size, const char* format, ...) {
    std::string out(size, '\x7f');
    va_list args;
    va_start(args, format);
    formatNarrow(out.data(), size, format, args);
    va_end(args);
    return out.c_str();
}

std::wstring wide(size_t size, const wchar_t* format, ...) {
    std::wstring out(size, L'\x7f');
    va_list args;
    va_start(args, format);
    formatWide(out.data(), size, format, args);
    va_end(args);
    return out.c_str();
}

TEST(FormatTranslation, WindowsConversionsBecomeTheCLibrarys) {
    struct Case {
        const char* format;
        const char* narrowResult;
    } cases[] = {
        {"%s", "%s"}, {"%S", "%ls"}, {"%ws", "%ls"}, {"%hs", "%s"}, {"%ls", "%ls"},
        {"%C", "%lc"}, {"%-8.3s|%5d", "%-8.3s|%5d"}, {"%I64u %I64X", "%llu %llX"},
        {"%I32d", "%d"}, {"%Iu", "%zu"}, {"100%%", "100%%"}, {"%lld %hhx", "%lld %hhx"},
        {"%08.2f", "%08.2f"}, {"cut %", "cut "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vexa::platform::translateNarrowFormat(c.format), c.narrowResult) << c.format;

    EXPECT_EQ(vexa::platform::translateWideFormat(L"%s %c %S %C %hs %ls"), L"%ls %lc %s %c %s %ls");
}

TEST(Format, WideFormatsTakeWideTextsAndNarrowOnesOnRequest) {
    EXPECT_EQ(wide(64, L"%s / %S / %d", L"Süd", "Nord", 7), L"Süd / Nord / 7");
    EXPECT_EQ(narrow(64, "%s / %S", "grün", L"blau°"), "grün / blau°");
    EXPECT_EQ(wide(64, L"%c%C", L'가', 'x'), L"가x");
}

TEST(Format, CutsAtACharacterBoundary) {
    // "°" is two bytes: a 4-byte buffer holds "a°" but not "a°b" plus terminator.
    EXPECT_EQ(narrow(4, "%s", "a°b"), "a°");
    EXPECT_EQ(narrow(3, "%s", "a°b"), "a");
    EXPECT_EQ(narrow(1, "%s", "abc"), "");
    EXPECT_EQ(wide(4, L"%s", L"abcdef"), L"abc");
    // A wide result far beyond the buffer is still cut, not dropped.
    const std::wstring longText(5000, L'w');
    EXPECT_EQ(wide(8, L"%s", longText.c_str()), L"wwwwwww");
}

TEST(Conversion, Utf8AndWideRoundTripAndMalformedBytesBecomeReplacement) {
    const char text[] = "Vexa °C 한글";
    wchar_t wideText[32];
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, wideText, 32);
    ASSERT_GT(units, 0);
    EXPECT_EQ(std::wstring(wideText), L"Vexa °C 한글");
    char back[64];
    EXPECT_GT(WideCharToMultiByte(CP_ACP, 0, wideText, -1, back, sizeof back, nullptr, nullptr), 0);
    EXPECT_STREQ(back, text);

    EXPECT_EQ(vexa::platform::toWide("\xff" "a\xc3"), L"\xfffd" L"a\xfffd");
    // A lone surrogate has no UTF-8 form: the default character stands in.
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), 0};
    BOOL usedDefault = FALSE;
    char out[8];
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, lone, -1, out, sizeof out, "#", &usedDefault), 3);
    EXPECT_STREQ(out, "a#");
    EXPECT_TRUE(usedDefault);
}

TEST(Conversion, SizeQueriesAndTooSmallBuffers) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"°", -1, nullptr, 0, nullptr, nullptr), 3);
    char small[2];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"°", -1, small, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    char bounded[4];
    vexa::platform::wideToNarrow(L"a°b", bounded, sizeof bounded);
    EXPECT_STREQ(bounded, "a°");
    char cut[] = "ab°";
    vexa::platform::truncateUtf8(cut, 3);
    EXPECT_STREQ(cut, "ab");
}

} // namespace
