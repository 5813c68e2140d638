// The mainboard queries on the two Intel samples' SMBIOS tables: the texts
// of the first structure of each type, the UUID in its registry form, the
// memory sockets of the type 17 structures, and the answers without DMI.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "app/local_info_parser.h"
#include "app/settings.h"
#include "machine/machine.h"
#include "tests/support/test_paths.h"

namespace {

constexpr const wchar_t* kUntouched = L"untouched";

std::wstring Text(int (CInfoParser::*query)(wchar_t*), CInfoParser& parser, int expected) {
    wchar_t text[kInfoTextChars];
    std::wcscpy(text, kUntouched);
    EXPECT_EQ((parser.*query)(text), expected);
    return text;
}

struct Sockets {
    int slots = 7, populated = 7, mask = 7, reserved = 7;
};

TEST(BoardQueries, SampleTablesAnswerTheirTexts) {
    const struct {
        const char* sample;
        const wchar_t* board;
        const wchar_t* system;
        const wchar_t* bios;
        const wchar_t* chassisType;
        // The tables store the UUID's bytes in the order of their text
        // (SMBIOS before 2.6); the GUID form reads the first three fields
        // little-endian, as Windows does.
        const wchar_t* uuid;
        Sockets sockets;
    } cases[] = {
        {"machines/x58-nehalem", L"P6T6 WS REVOLUTION", L"System Product Name", L"American Megatrends Inc.",
         L"Desktop", L"{00D3A4E0-552F-DE11-A7F4-00248C1E25D3}", {6, 3, 0x07, -1}},
        {"machines/fujitsu-p8010-gm965", L"FJNB1E6", L"LIFEBOOK P8010", L"FUJITSU SIEMENS // Phoenix Technologies Ltd.",
         L"Notebook", L"{D0A1464C-9F1C-DD11-9CE5-0017424B8C5A}", {2, 2, 0x03, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        std::string error;
        vexa::machine::ScopedMachine machine(vexa::machine::loadImage(vexa::test::sourcePath(c.sample), error));
        VexaSettings settings;
        int noValidation = 0;
        CLocalInfoParser q{settings, noValidation};
        int code = 0, detail = 0;
        ASSERT_EQ(q.Init(&code), 1) << code;
        ASSERT_EQ(q.Scan(&code, &detail), 1);
        EXPECT_EQ(Text(&CInfoParser::GetBoardProduct, q, 1), c.board);
        EXPECT_EQ(Text(&CInfoParser::GetSystemProduct, q, 1), c.system);
        EXPECT_EQ(Text(&CInfoParser::GetBIOSVendor, q, 1), c.bios);
        EXPECT_EQ(Text(&CInfoParser::GetChassisType, q, 1), c.chassisType);
        EXPECT_EQ(Text(&CInfoParser::GetSystemUUID, q, 1), c.uuid);
        Sockets s;
        q.GetMemorySlots(&s.slots, &s.populated, &s.mask, &s.reserved);
        EXPECT_EQ(s.slots, c.sockets.slots);
        EXPECT_EQ(s.populated, c.sockets.populated);
        EXPECT_EQ(s.mask, c.sockets.mask);
        EXPECT_EQ(s.reserved, -1);
        q.Close();
    }
}

// Without the DMI domain (before the scan) the texts leave the buffer and
// the sockets write only their count and the reserved output.
TEST(BoardQueries, WithoutDMINothingIsAnswered) {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser q{settings, noValidation};
    EXPECT_EQ(Text(&CInfoParser::GetBoardManufacturer, q, 0), kUntouched);
    EXPECT_EQ(Text(&CInfoParser::GetSystemUUID, q, 0), kUntouched);
    Sockets s;
    q.GetMemorySlots(&s.slots, &s.populated, &s.mask, &s.reserved);
    EXPECT_EQ(s.slots, 0);
    EXPECT_EQ(s.populated, 7);
    EXPECT_EQ(s.mask, 7);
    EXPECT_EQ(s.reserved, -1);
}

} // namespace
