// The memory queries of the query layer: the chipset domain's record and
// bridges (slots 11, 42-65), the graphics link (82-83) and the memory
// modules with their JEDEC table and profiles (84-116), after the scan of
// a machine image, and what they answer for an absent domain or module.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "app/local_info_parser.h"
#include "app/memory_total.h"
#include "app/settings.h"
#include "machine/machine.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::readFile;
using vexa::test::sourcePath;

constexpr const wchar_t* kUntouched = L"untouched";

struct QueryLayer {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser parser{settings, noValidation};

    void Scan() {
        int error = 0, detail = 0;
        ASSERT_EQ(parser.Init(&error), 1) << error;
        ASSERT_EQ(parser.Scan(&error, &detail), 1);
    }
};

// The x58 sample's chipset and processor with these SPD images (raw bytes)
// at 0x50, 0x51, ...
std::unique_ptr<vexa::machine::Machine> X58WithModules(const std::vector<std::string>& modules) {
    vexa::test::ImageDir image;
    std::string devices;
    for (size_t i = 0; i < modules.size(); ++i) {
        const std::string file = "spd/" + std::to_string(i) + ".spd";
        image.write(file, modules[i]);
        if (i) devices += ",";
        devices += R"({"address": ")" + std::to_string(0x50 + i) + R"(", "spd": ")" + file + "\"}";
    }
    image.write("machine.json", R"({"smbus": {"controller": "ich", "devices": [)" + devices + "]}}");
    image.write("lspci.txt", readFile(sourcePath("machines/x58-nehalem/lspci.txt")));
    image.write("cpuid.txt", readFile(sourcePath("machines/x58-nehalem/cpuid.txt")));
    return image.load();
}

// SPD bytes, zero unless set.
struct Spd {
    std::string bytes;
    Spd(uint8_t type) : bytes(256, '\0') { bytes[2] = static_cast<char>(type); }
    Spd& Set(size_t offset, std::initializer_list<int> values) {
        for (int value : values) bytes[offset++] = static_cast<char>(value);
        return *this;
    }
};

std::wstring Text(int (CInfoParser::*query)(int, wchar_t*), CInfoParser& parser, int M, int* answer = nullptr) {
    wchar_t text[kInfoTextChars];
    std::wcscpy(text, kUntouched);
    const int result = (parser.*query)(M, text);
    if (answer) *answer = result;
    return text;
}

std::wstring Text(int (CInfoParser::*query)(wchar_t*), CInfoParser& parser) {
    wchar_t text[kInfoTextChars];
    std::wcscpy(text, kUntouched);
    (parser.*query)(text);
    return text;
}

TEST(MemoryQueries, WithoutDomainsEveryAnswerIsUnknown) {
    QueryLayer layer;
    CInfoParser& q = layer.parser;
    EXPECT_EQ(q.GetSPDModuleCount(), 0);
    EXPECT_EQ(q.GetMemorySize(), -1);
    EXPECT_EQ(q.GetMemoryType(), -1);
    EXPECT_EQ(q.GetDRAMFrequency(), -1.0f);
    EXPECT_EQ(q.GetRASPrecharge2(), -1);
    int size = 7;
    EXPECT_EQ(q.GetBoardCacheSize(&size), -1);
    EXPECT_EQ(size, 7);
    EXPECT_EQ(q.GetFSBDRAMRatio(nullptr), -1.0f);
    EXPECT_EQ(Text(&CInfoParser::GetNorthbridgeVendor, q), kUntouched);
    int kind = 0, current = 0, max = 0;
    EXPECT_EQ(q.GetGraphicInterface(&kind, &current, &max), 1);
    EXPECT_EQ(kind + current + max, -3);
    EXPECT_EQ(q.GetModuleType(0), -1);
    EXPECT_EQ(q.GetXMPInfo(0, &kind), -1);
}

TEST(MemoryQueries, X58ModulesChipsetAndGraphicsLink) {
    vexa::machine::ScopedMachine machine(X58WithModules(
        {readFile(vexa::test::dataPath("spd/DDR3-9905403-440.A00LF.spd")),
         readFile(vexa::test::dataPath("spd/DDR3-M378B5173DB0-CK0.spd")),
         readFile(vexa::test::dataPath("spd/DDR3-M391B1G73QH0-CMA.spd"))}));
    QueryLayer layer;
    layer.Scan();
    CInfoParser& q = layer.parser;

    ASSERT_EQ(q.GetSPDModuleCount(), 3);
    EXPECT_EQ(q.GetModuleType(0), 9);
    EXPECT_EQ(Text(&CInfoParser::GetModuleManufacturer, q, 0), L"Kingston");
    EXPECT_EQ(Text(&CInfoParser::GetModuleManufacturerID, q, 0), L"7F980000000000000000");
    EXPECT_EQ(Text(&CInfoParser::GetModulePartNumber, q, 0), L"9905403-440.A00LF ");
    EXPECT_EQ(Text(&CInfoParser::GetModuleSerialNumber, q, 0), L"863C519C");
    EXPECT_EQ(Text(&CInfoParser::GetModuleSpeedText, q, 0), L"PC3-10700");
    EXPECT_EQ(Text(&CInfoParser::GetModuleSpeedText, q, 2), L"PC3-14900");
    EXPECT_EQ(q.GetModulePCRating(0), 10700);
    EXPECT_EQ(q.GetModuleSize(2), 8192);
    int year = 0, week = 0;
    EXPECT_EQ(q.GetModuleManufactureDate(0, &year, &week), 1);
    EXPECT_EQ(year, 11);
    EXPECT_EQ(week, 39);
    EXPECT_EQ(q.GetModuleCorrection(0), -1);
    EXPECT_EQ(q.GetModuleClock(0), 667);
    EXPECT_EQ(q.GetModuleDataRate(0), 1333);
    EXPECT_EQ(q.GetModuleRefreshPeriod(0), -1.0f);
    EXPECT_EQ(q.GetModuleRCDTime(0), 13.125f);
    EXPECT_EQ(q.GetModuleRASTime(0), 36.0f);
    EXPECT_EQ(q.GetModuleBankCount(0), 8);
    EXPECT_EQ(q.GetModuleDataWidth(0), 0) << "the record's own unknown";

    ASSERT_EQ(q.GetJEDECTimingCount(0), 4);
    float frequency = 0, cas = 0, voltage = 0;
    q.GetJEDECTiming(0, 3, &frequency, &cas, &voltage);
    EXPECT_NEAR(frequency, 666.67f, 0.01f);
    EXPECT_EQ(cas, 9.0f);
    EXPECT_EQ(voltage, 1.5f);
    frequency = cas = voltage = 0;
    q.GetJEDECTiming(0, 4, &frequency, &cas, &voltage);
    EXPECT_EQ(voltage, 1.5f) << "the voltage even without the entry";
    EXPECT_EQ(frequency + cas, 0.0f);

    int revision = 0;
    EXPECT_EQ(q.GetXMPInfo(0, &revision), 1);
    EXPECT_EQ(revision, 0x12);
    EXPECT_EQ(q.GetXMPInfo(1, &revision), -1);
    EXPECT_EQ(q.GetXMPTimingCount(0, 0), 4);
    EXPECT_EQ(q.GetXMPTimingCount(0, 1), -1);
    int clock = 0;
    q.GetXMPProfileTiming(0, 0, 3, &clock, &cas);
    EXPECT_EQ(clock, 800);
    EXPECT_EQ(cas, 9.0f);
    float rcd = 0, ras = 0, rp = 0, rc = 0;
    int commandRate = 5;
    q.GetXMPProfile(0, 0, &rcd, &ras, &rp, &voltage, &clock, &cas, &rc, &commandRate);
    EXPECT_EQ(rcd, 11.25f);
    EXPECT_EQ(ras, 33.75f);
    EXPECT_EQ(rp, 11.25f);
    EXPECT_FLOAT_EQ(voltage, 1.65f);
    EXPECT_EQ(clock, 800);
    EXPECT_EQ(cas, 9.0f) << "11.25 ns at 1.25 ns";
    EXPECT_EQ(rc, 45.0f);
    EXPECT_EQ(commandRate, 0);
    int version = 0;
    EXPECT_EQ(q.GetEPPInfo(0, &version), -1);
    EXPECT_EQ(q.GetAMPInfo(0, &version), -1);

    // Slot 42 is the scan's total; the memory controller is read from the
    // processor's uncore functions (the DRAM clock waits for a bus clock).
    EXPECT_EQ(q.GetMemorySize(), std::max(16384, OSTotalMemoryMB()));
    EXPECT_EQ(q.GetMemoryType(), 9);
    EXPECT_EQ(q.GetMemoryChannels(), 3);
    EXPECT_EQ(q.GetCASLatency(), 9.0f);
    EXPECT_EQ(q.GetDRAMFrequency(), -1.0f);
    wchar_t ratio[kInfoTextChars] = {};
    EXPECT_EQ(q.GetFSBDRAMRatio(ratio), 4.0f);
    EXPECT_STREQ(ratio, L"2:8");
    EXPECT_EQ(Text(&CInfoParser::GetNorthbridgeVendor, q), L"Intel");
    EXPECT_EQ(Text(&CInfoParser::GetNorthbridgeModel, q), L"X58");
    EXPECT_EQ(Text(&CInfoParser::GetNorthbridgeRevision, q), L"12");
    EXPECT_EQ(Text(&CInfoParser::GetSouthbridgeVendor, q), L"Intel");
    EXPECT_EQ(Text(&CInfoParser::GetSouthbridgeModel, q), L"82801JR (ICH10R)");
    EXPECT_EQ(Text(&CInfoParser::GetSouthbridgeRevision, q), L"00");
    int size = 7;
    EXPECT_EQ(q.GetBoardCacheSize(&size), -1);
    int kind = 0, current = 0, max = 0;
    EXPECT_EQ(q.GetGraphicInterface(&kind, &current, &max), 1);
    EXPECT_EQ(kind, 4) << "PCI Express";
    EXPECT_EQ(current, 16);
    EXPECT_EQ(max, 16);
    int sideBand = 0, sideBandOn = 0;
    EXPECT_EQ(q.GetAGPInfo(&version, &sideBand, &sideBandOn), 1);
    EXPECT_EQ(version + sideBand + sideBandOn, -3) << "no AGP port";
    layer.parser.Close();
}

// A module index not below the count, or negative, answers unknown and
// writes nothing but the XMP query's four presets.
TEST(MemoryQueries, ModulePastTheCount) {
    vexa::machine::ScopedMachine machine(X58WithModules({readFile(vexa::test::dataPath("spd/DDR3-9905403-440.A00LF.spd"))}));
    QueryLayer layer;
    layer.Scan();
    CInfoParser& q = layer.parser;
    ASSERT_EQ(q.GetSPDModuleCount(), 1);
    for (int M : {1, -1}) {
        SCOPED_TRACE(M);
        const int numbers[] = {q.GetModuleType(M),      q.GetModulePCRating(M),   q.GetModuleSize(M),
                               q.GetModuleCorrection(M), q.GetModuleRegistered(M), q.GetModuleBuffered(M),
                               q.GetModuleClock(M),     q.GetModuleDataRate(M),   q.GetModuleBankCount(M),
                               q.GetModuleDataWidth(M), q.GetJEDECTimingCount(M), q.GetXMPTimingCount(M, 0)};
        for (int number : numbers) EXPECT_EQ(number, -1);
        EXPECT_EQ(q.GetModuleRCTime(M), -1.0f);
        int answer = 1;
        EXPECT_EQ(Text(&CInfoParser::GetModuleManufacturerID, q, M, &answer), kUntouched);
        EXPECT_EQ(answer, 0);
        int year = 7, week = 7;
        EXPECT_EQ(q.GetModuleManufactureDate(M, &year, &week), 0);
        EXPECT_EQ(year + week, 14);
        float frequency = 7, cas = 7, voltage = 7, rcd = 7, ras = 7, rp = 7, rc = 7;
        int clock = 7, commandRate = 7;
        q.GetJEDECTiming(M, 0, &frequency, &cas, &voltage);
        q.GetEPPProfile(M, 0, &clock, &cas, &rcd, &ras, &rp, &rc, &commandRate, &voltage);
        q.GetXMPProfileTiming(M, 0, 0, &clock, &cas);
        q.GetAMPProfile(M, 0, &clock, &frequency, &cas, &rcd, &ras, &rp, &rc);
        EXPECT_EQ(frequency + cas + voltage + rcd + ras + rp + rc, 49.0f);
        EXPECT_EQ(clock + commandRate, 14);
        q.GetXMPProfile(M, 0, &rcd, &ras, &rp, &voltage, &clock, &cas, &rc, &commandRate);
        EXPECT_EQ(rcd + ras + rp + voltage, -4.0f) << "the presets";
        EXPECT_EQ(clock + commandRate, 14);
        EXPECT_EQ(cas + rc, 14.0f);
    }
    layer.parser.Close();
}

// DDR2 modules with EPP profiles: the EPP 2.0 marker wins the kind, and
// its module has no EPP 1.0 profiles left.
TEST(MemoryQueries, EPPProfiles) {
    Spd epp(8);
    epp.Set(9, {0x25}).Set(99, {'m', 'V', 'N', 0xA1, 0x30});
    epp.Set(104, {0x86, 0x25, 0x10, 0x32, 0x33, 37, 0x05, 0x30, 0x08, 0x3C, 0x3C, 40});
    Spd both = epp;
    both.Set(150, {0x9C});
    vexa::machine::ScopedMachine machine(X58WithModules({epp.bytes, both.bytes}));
    QueryLayer layer;
    layer.Scan();
    CInfoParser& q = layer.parser;
    ASSERT_EQ(q.GetSPDModuleCount(), 2);
    int kind = 0;
    EXPECT_EQ(q.GetEPPInfo(0, &kind), 2);
    EXPECT_EQ(kind, 16);
    EXPECT_EQ(q.GetEPPInfo(1, &kind), 0);
    EXPECT_EQ(kind, 32);

    int frequency = 0, commandRate = 0;
    float cas = 0, rcd = 0, ras = 0, rp = 0, rc = -7.0f, voltage = 0;
    q.GetEPPProfile(0, 0, &frequency, &cas, &rcd, &ras, &rp, &rc, &commandRate, &voltage);
    EXPECT_EQ(frequency, 400);
    EXPECT_EQ(cas, 4.0f);
    EXPECT_EQ(rcd, 12.5f);
    EXPECT_EQ(rp, 12.75f);
    EXPECT_EQ(ras, 37.0f);
    EXPECT_EQ(rc, -7.0f) << "an abbreviated profile has no tRC";
    EXPECT_EQ(commandRate, 2);
    EXPECT_FLOAT_EQ(voltage, 1.95f);
    q.GetEPPProfile(0, 1, &frequency, &cas, &rcd, &ras, &rp, &rc, &commandRate, &voltage);
    EXPECT_EQ(frequency, 333);
    EXPECT_EQ(commandRate, 1);
    frequency = 7;
    q.GetEPPProfile(0, 2, &frequency, &cas, &rcd, &ras, &rp, &rc, &commandRate, &voltage);
    EXPECT_EQ(frequency, 7) << "no third profile";
    layer.parser.Close();
}

// A DDR3 module with an AMP profile and an XMP profile at the JEDEC clock:
// the CAS latencies in whole clocks, rounded up.
TEST(MemoryQueries, AMPAndXMPLatenciesInClocks) {
    Spd module(11);
    module.Set(3, {0x02}).Set(9, {0x11, 1, 8, 12}).Set(14, {0x3C}).Set(16, {105});
    module.Set(80, {0xC8, 0, 12, 0, 0, 0, 108, 0, 90, 0, 88, 0, 0x11, 0x10, 0x68});
    module.Set(176, {0x0C, 0x4A, 0x03, 0x12, 1, 8, 1, 8, 0});
    module.Set(185, {0x2D, 12, 105, 0x3C, 0, 0, 90, 90, 120, 0x11, 0x0E, 0x68});
    module.Set(220, {0x2D, 12, 108, 0x3C});
    vexa::machine::ScopedMachine machine(X58WithModules({module.bytes}));
    QueryLayer layer;
    layer.Scan();
    CInfoParser& q = layer.parser;
    ASSERT_EQ(q.GetSPDModuleCount(), 1);
    int version = 0;
    EXPECT_EQ(q.GetAMPInfo(0, &version), 1);
    EXPECT_EQ(version, 0xC8);
    int clock = 0;
    float cycleTime = 0, cas = 0, rcd = 0, ras = 0, rp = 0, rc = 0, voltage = 0;
    q.GetAMPProfile(0, 0, &clock, &cycleTime, &cas, &rcd, &ras, &rp, &rc);
    EXPECT_EQ(clock, 666);
    EXPECT_EQ(cycleTime, 1.5f);
    EXPECT_EQ(cas, 9.0f) << "13.5 ns at 1.5 ns: exactly 9";
    EXPECT_EQ(rp, 11.0f);
    EXPECT_EQ(rc, 45.0f);

    int revision = 0, commandRate = 0;
    ASSERT_EQ(q.GetXMPInfo(0, &revision), 2);
    q.GetXMPProfile(0, 0, &rcd, &ras, &rp, &voltage, &clock, &cas, &rc, &commandRate);
    EXPECT_EQ(clock, 666);
    EXPECT_EQ(cas, 9.0f) << "13.125 ns at 1.5 ns: 8.75 rounded up";
    q.GetXMPProfile(0, 1, &rcd, &ras, &rp, &voltage, &clock, &cas, &rc, &commandRate);
    EXPECT_EQ(cas, 9.0f) << "13.5 ns at 1.5 ns";
    layer.parser.Close();
}

// The AMP latency in clocks from the module's own time bases (bytes 9-11)
// and the profile's tCK (82-83) and tAA (86-87): a cycle time that the fine
// correction brings down to a few attoseconds gives a count beyond an int,
// which is unknown, as is a profile without a cycle time.
TEST(MemoryQueries, AMPLatencyInClocksStaysInRange) {
    const struct {
        const char* name;
        uint8_t timeBases[3], tCK[2], tAA[2];
        float cas;
    } cases[] = {
        {"13.5 ns at 1.5 ns", {0x11, 1, 8}, {12, 0}, {108, 0}, 9.0f},
        {"13.125 ns at 1.5 ns, rounded up", {0x11, 1, 8}, {12, 0}, {105, 0}, 9.0f},
        {"tCK 1 x 9/200 ns - 105 x 3/7 ps, almost 0", {0x37, 9, 200}, {1, 0x97}, {255, 127}, -1.0f},
        {"no tCK", {0x11, 1, 8}, {0, 0}, {108, 0}, -1.0f},
    };
    std::vector<std::string> modules;
    for (const auto& c : cases) {
        Spd module(11);
        module.Set(3, {0x02}).Set(9, {c.timeBases[0], c.timeBases[1], c.timeBases[2], 12}).Set(14, {0x3C}).Set(16, {105});
        module.Set(80, {0xC8, 0, c.tCK[0], c.tCK[1], 0, 0, c.tAA[0], c.tAA[1]});
        modules.push_back(module.bytes);
    }
    vexa::machine::ScopedMachine machine(X58WithModules(modules));
    QueryLayer layer;
    layer.Scan();
    CInfoParser& q = layer.parser;
    ASSERT_EQ(q.GetSPDModuleCount(), static_cast<int>(std::size(cases)));
    for (size_t M = 0; M < std::size(cases); ++M) {
        int clock = 0, version = 0;
        float cycleTime = 0, cas = 0, rcd = 0, ras = 0, rp = 0, rc = 0;
        ASSERT_EQ(q.GetAMPInfo(static_cast<int>(M), &version), 1) << cases[M].name;
        q.GetAMPProfile(static_cast<int>(M), 0, &clock, &cycleTime, &cas, &rcd, &ras, &rp, &rc);
        EXPECT_EQ(cas, cases[M].cas) << cases[M].name;
    }
    layer.parser.Close();
}

} // namespace
