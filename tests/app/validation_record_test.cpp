// The validation record: every field padded to whole 16-byte blocks and
// encrypted with the field key, the 96 fields in order, the digest block
// that seals them, and the room kept for the digest when the fields fill
// the buffer. The cipher and the digests are checked with OpenSSL's
// command-line tool, never with the program's own code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/local_info_parser.h"
#include "app/validation_fields.h"
#include "app/validation_record.h"
#include "app/vexa_app.h"
#include "machine/machine.h"
#include "platform/text.h"
#include "sdk/core/file_version.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "tests/app/validation_test_support.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::Decrypt;
using vexa::test::DigestHex;
using vexa::test::HexToBytes;
using vexa::test::SplitFields;
using vexa::test::ValidationApp;

TEST(ValidationField, PadsEachFieldToWholeBlocksAfterItsComma) {
    struct Case {
        std::wstring text;
        size_t bytes;
        std::string plain;
    };
    const Case cases[] = {
        {L"", 16, ",               "},
        {L"fifteen bytes!!", 32, "fifteen bytes!!," + std::string(16, ' ')},
        {L"14 bytes text.", 16, "14 bytes text., "},
        {L"한글", 16, "한글," + std::string(9, ' ')},  // six bytes in the ANSI code page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.plain));
        ValidationApp v;
        AppendValidationField(c.text.c_str(), v.app);
        ASSERT_EQ(size_t(v.app.m_iValidationRecordLength), c.bytes);
        EXPECT_NE(v.Record().substr(0, c.bytes), c.plain) << "encrypted";
        EXPECT_EQ(Decrypt(v.Record()), c.plain);
    }
}

TEST(ValidationField, ALongTextKeepsItsComma) {
    ValidationApp v;
    const std::wstring text(400, L'x');
    AppendValidationField(text.c_str(), v.app);
    EXPECT_EQ(Decrypt(v.Record()), std::string(254, 'x') + "," + std::string(1, ' '));
}

// A query layer whose texts are all 254 Korean characters (762 bytes in
// the ANSI code page): the fields fill the buffer and the digest block
// still follows them.
class LongTexts : public CLocalInfoParser {
public:
    using CLocalInfoParser::CLocalInfoParser;
    int UnmaskProcessorName(int, wchar_t* t) override { return Fill(t); }
    int UnmaskCodename(int, wchar_t* t) override { return Fill(t); }
    int GetCoreStepping(int, wchar_t* t) override { return Fill(t); }
    int GetPackage(int, wchar_t* t) override { return Fill(t); }
    int GetBoardManufacturer(wchar_t* t) override { return Fill(t); }
    int GetBoardProduct(wchar_t* t) override { return Fill(t); }
    int GetWindowsVersion(wchar_t* t) override { return Fill(t); }
    int GetWindowsBuild(wchar_t* t) override { return Fill(t); }
    int GetDirectXVersion(wchar_t* t) override { return Fill(t); }
    int GetSPDModuleCount() override { return 6; }
    int GetModuleManufacturer(int, wchar_t* t) override { return Fill(t); }
    int GetDriveCount() override { return 4; }
    int GetDriveName(int, wchar_t* t) override { return Fill(t); }
    int GetNorthbridgeModel(wchar_t* t) override { return Fill(t); }

private:
    static int Fill(wchar_t* text) {
        std::wmemset(text, L'가', 254);
        text[254] = 0;
        return 1;
    }
};

TEST(ValidationRecord, FullFieldsStillLeaveRoomForTheDigestBlock) {
    ValidationApp v;
    delete v.app.m_pInfoParser;
    v.app.m_pInfoParser = new LongTexts(v.app.m_Settings, v.app.g_bNoValidation);
    BuildValidationRecord(v.app);
    const size_t length = size_t(v.app.m_iValidationRecordLength);
    ASSERT_GT(length, CvexaApp::kValidationFieldBytes - 768) << "the long fields filled the room";
    ASSERT_LE(length - 48, CvexaApp::kValidationFieldBytes);
    const std::string plain = Decrypt(v.Record());
    const std::string digest = plain.substr(plain.size() - 48);
    EXPECT_EQ(digest.find_first_not_of("0123456789ABCDEF"), 38u) << digest;
    EXPECT_EQ(digest.substr(38), std::string(10, ' '));
    const std::vector<std::string> fields = SplitFields(plain.substr(0, plain.size() - 48));
    EXPECT_LT(fields.size(), size_t(vexa::validation::kRecordFieldCount)) << "some fields were dropped";
    EXPECT_EQ(fields.back(), vexa::platform::toNarrow(v.app.m_szVersion))
        << "the short version text still fits after long fields were dropped";
}

// A query layer answering the few slots the composed fields read.
class ComposedFields : public CLocalInfoParser {
public:
    using CLocalInfoParser::CLocalInfoParser;
    int packages = -1, adapters = 0, modules = 0;
    uint32_t classCode = 0;
    std::vector<int> instructionSets;
    std::wstring brandString, boardMaker, biosVersion;

    int GetProcessorCount() override { return packages; }
    int GetCoreCount(int P) override { return ++asked, P < packages ? 4 : -1; }
    int GetThreadCount(int P) override { return P < packages ? 8 : -1; }
    int GetClassCode(int) override { return int(classCode); }
    int HasInstructionSet(int, int index) override {
        return std::find(instructionSets.begin(), instructionSets.end(), index) != instructionSets.end();
    }
    int GetSpecification(int, wchar_t* t) override { return Text(t, brandString); }
    int GetBoardManufacturer(wchar_t* t) override { return Text(t, boardMaker); }
    int GetBIOSVendor(wchar_t* t) override { return Text(t, L"Award"); }
    int GetBIOSVersion(wchar_t* t) override { return Text(t, biosVersion); }
    int GetBIOSDate(wchar_t* t) override { return Text(t, L"07/31/2009"); }
    int GetSPDModuleCount() override { return modules; }
    int GetModuleManufacturer(int M, wchar_t* t) override { return Text(t, L"Maker" + std::to_wstring(M)); }
    int GetModuleSize(int) override { return 2048; }
    int GetModulePCRating(int) override { return 6400; }
    int GetDisplayAdapterCount() override { return adapters; }
    int GetGPUName(int A, wchar_t* t) override { return Text(t, L"GPU, " + std::to_wstring(A)); }
    int GetGPUPCIIDs(int A, int* v, int* d, int* r, int* subVendor, int* subSystem) override {
        *v = 0x10DE, *d = 0x0402, *r = 0xA1, *subVendor = 0x1043, *subSystem = 0x8200 + A;
        return 1;
    }
    int asked = 0;

private:
    static int Text(wchar_t* text, const std::wstring& value) {
        if (value.empty()) return 0;
        std::wcscpy(text, value.c_str());
        return 1;
    }
};

TEST(ValidationFields, ComposedFields) {
    CvexaApp app;
    auto* queries = new ComposedFields(app.m_Settings, app.g_bNoValidation);
    delete app.m_pInfoParser;
    app.m_pInfoParser = queries;
    const auto fields = [&app] {
        std::vector<std::string> texts;
        vexa::validation::ForEachRecordField(
            app, [&texts](const wchar_t* text) { texts.push_back(vexa::platform::toNarrow(text)); });
        EXPECT_EQ(texts.size(), size_t(vexa::validation::kRecordFieldCount));
        return texts;
    };

    std::vector<std::string> f = fields();
    EXPECT_EQ(f[0], "-1-0-0");
    EXPECT_EQ(queries->asked, 0) << "no package is asked for a count of -1";
    EXPECT_EQ(f[10], "#");
    EXPECT_EQ(f[22], "") << "class code 0 has no logo";
    for (int i = 60; i < 76; ++i) EXPECT_EQ(f[size_t(i)], "") << "adapter field " << i + 1;
    EXPECT_EQ(f[94], "");
    EXPECT_EQ(f[93], "Award----07/31/2009");

    queries->packages = 2;
    queries->classCode = 0x10000000;
    queries->instructionSets = {ISET_MMX, ISET_SSE, ISET_SSE2, ISET_SSE3, ISET_X86_64, ISET_VIRTUALIZATION};
    queries->brandString = L"CPU, 2 cores";
    queries->boardMaker = L"Maker, Inc.";
    queries->biosVersion = L"F7";
    queries->modules = 3;
    queries->adapters = 6;
    f = fields();
    EXPECT_EQ(f[0], "2-8-16");
    EXPECT_EQ(f[3], "CPU; 2 cores");
    EXPECT_EQ(f[10], "#MMX# SSE (1# 2# 3)# x86-64# AMD-V");
    EXPECT_EQ(f[22], "") << "the row of 0x10000000 has no name";
    EXPECT_EQ(f[58], "Maker  Inc.");
    EXPECT_EQ(f[93], "Award--F7--07/31/2009");
    const std::vector<std::string> modules(f.begin() + 37, f.begin() + 55);
    EXPECT_EQ(modules, (std::vector<std::string>{"Maker0", "2048", "6400", "Maker1", "2048", "6400", "Maker2", "2048",
                                                  "6400", "", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(f[60], "GPU  0");
    EXPECT_EQ(f[72], "GPU  3");
    EXPECT_EQ(f[94], "1043:8200;1043:8201;1043:8202;1043:8203;") << "four adapters at most";
}

TEST(ValidationRecord, NothingIsBuiltWhenValidationIsForbidden) {
    ValidationApp v;
    v.app.g_bNoValidation = 1;
    v.app.m_iValidationRecordLength = 32;
    BuildValidationRecord(v.app);
    EXPECT_EQ(v.app.m_iValidationRecordLength, 32);
}

// The x58 sample with the clock stopped: 96 fields, as the sample's
// firmware and dumps say, and a digest block that an independent Whirlpool
// and MD5 chain over the encrypted fields reproduces.
TEST(ValidationRecordX58, FieldsAndDigestBlock) {
    vexa::test::ManualClockGuard clock;
    std::string error;
    vexa::machine::ScopedMachine machine(vexa::machine::loadImage(vexa::test::sourcePath("machines/x58-nehalem"), error));
    ValidationApp v;
    CLocalInfoParser& queries = *v.app.LocalInfoParser();
    int status = 0, detail = 0;
    ASSERT_EQ(queries.Init(&status), 1);
    ASSERT_EQ(queries.Scan(&status, &detail), 1);
    ASSERT_EQ(queries.Lock(2000), 1);
    clock.clock().setNs(5'000'000'000ull);  // 5000 ms: scramble row 5000 % 16 = 8
    BuildValidationRecord(v.app);
    queries.Unlock();
    queries.Close();

    const std::string record = v.Record();
    ASSERT_GT(record.size(), 48u);
    const std::string plain = Decrypt(record);
    const std::vector<std::string> fields = SplitFields(plain.substr(0, plain.size() - 48));
    ASSERT_EQ(fields.size(), size_t(vexa::validation::kRecordFieldCount));
    const auto field = [&fields](int number) { return fields[size_t(number - 1)]; };
    EXPECT_EQ(field(1), "1-4-8");
    EXPECT_EQ(field(2), "Intel Core i7 920");
    EXPECT_EQ(field(5), "6.A.4") << "signature 000106A4";
    EXPECT_EQ(field(6), "6.1A");
    EXPECT_EQ(field(8), "0");
    EXPECT_EQ(field(11), "#MMX# SSE (1# 2# 3# 3S# 4.1# 4.2)# EM64T# VT-x");
    EXPECT_EQ(field(17), "4 x 32-4");
    EXPECT_EQ(field(18), "4 x 32-8");
    EXPECT_EQ(field(19), "4 x 256-8");
    EXPECT_EQ(field(20), "8192-16");
    EXPECT_EQ(field(21), "Socket 1366 LGA");
    EXPECT_EQ(field(23), "intel_corei7");
    EXPECT_EQ(field(26), "16384");
    EXPECT_EQ(field(38), "Kingston");
    EXPECT_EQ(field(39), "4096");
    EXPECT_EQ(field(41), "Samsung");
    EXPECT_EQ(field(44), "Samsung");
    EXPECT_EQ(field(45), "8192");
    EXPECT_EQ(field(47), "") << "three modules leave modules 3 to 5 empty";
    EXPECT_EQ(field(55), "");
    EXPECT_EQ(field(61), "NVIDIA GeForce 210");
    EXPECT_EQ(field(65), "") << "one adapter leaves adapters 1 to 3 empty";
    EXPECT_EQ(field(95), "3842:1312;") << "SUBSYS_13123842";
    EXPECT_EQ(field(78), "953867") << "the WD1001FALS's capacity in MB";
    EXPECT_EQ(field(79), "");
    EXPECT_EQ(field(86), "Service Pack 1 (Build 7601) ");
    EXPECT_EQ(field(96), vexa::platform::toNarrow(v.app.m_szVersion));

    // The digest chain, recomputed with OpenSSL over the encrypted fields.
    const std::string fieldBytes = record.substr(0, record.size() - 48);
    const std::string h1 = DigestHex(fieldBytes, "whirlpool");
    const std::string h2 = DigestHex(h1, "md5");
    const std::string h3 = DigestHex(h2, "whirlpool");
    std::string m2 = HexToBytes(DigestHex(h3, "md5"));
    ASSERT_EQ(m2.size(), 16u);
    const uint32_t ms = 5000, a = ms % 16;
    m2 += char(ms % 16);
    m2 += char(ms % 256);
    m2 += char((0x80 + a) ^ (ms % 256));
    for (int j = 0; j < 4; ++j) {
        const uint32_t word = vexa::validation::kScrambleWords[vexa::validation::kScrambleIndexes[a][j]];
        for (int b = 0; b < 4; ++b) m2[size_t(4 * j + b)] = char(uint8_t(m2[size_t(4 * j + b)]) ^ uint8_t(word >> (8 * b)));
    }
    std::string expected;
    char digits[3];
    for (unsigned char c : m2) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        expected += digits;
    }
    EXPECT_EQ(plain.substr(plain.size() - 48), expected + std::string(10, ' '));
}

} // namespace
