// The library's shared helpers: bounded formatting, the -1 convention,
// rounding, board-name keys, the old-Windows test, file versions and the
// device-description lookup.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/device_tree.h"
#include "platform/resources.h"
#include "platform/testing.h"
#include "sdk/core/device_description.h"
#include "sdk/core/file_version.h"
#include "sdk/core/helpers.h"

namespace {

std::string Repeat(const std::string& unit, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += unit;
    return out;
}

// A buffer with guard bytes behind the part handed to the function under
// test, to see that nothing is written past the size it was given.
struct GuardedBuffer {
    static constexpr size_t kGuard = 16;
    explicit GuardedBuffer(size_t size) : size(size), bytes(size + kGuard, '#') {}
    char* data() { return bytes.data(); }
    std::string text() const { return std::string(bytes.data()); }
    bool guardIntact() const {
        return std::string(bytes.data() + size, kGuard) == std::string(kGuard, '#');
    }
    size_t size;
    std::vector<char> bytes;
};

// ---- FormatString, AppendFormat, FormatStringW ----

TEST(HelpersFormatString, WritesFormattedValues) {
    char text[64];
    FormatString(text, sizeof text, "%s %d %04X %.1f", "CPU", -42, 0xBEEFu, 2.5);
    EXPECT_STREQ(text, "CPU -42 BEEF 2.5");
}

TEST(HelpersFormatString, FormatsOnceSoPercentSignsOfValuesStay) {
    char text[64];
    FormatString(text, sizeof text, "%s", "%s%n%d");
    EXPECT_STREQ(text, "%s%n%d");
    FormatString(text, sizeof text, "%d%% [%s]", 50, "100%");
    EXPECT_STREQ(text, "50% [100%]");
}

struct CutCase {
    const char* name;
    size_t destinationSize;
    std::string unit;  // repeated well past every limit
    size_t expectedBytes;
    friend void PrintTo(const CutCase& c, std::ostream* out) { *out << c.name; }
};

class HelpersFormatStringCut : public ::testing::TestWithParam<CutCase> {};

// The result is a prefix of the formatted text that ends on a character
// boundary, at most 255 bytes, and never more than the destination holds.
TEST_P(HelpersFormatStringCut, CutsAtCharacterBoundary) {
    const CutCase& c = GetParam();
    const std::string input = Repeat(c.unit, 400);
    GuardedBuffer buffer(c.destinationSize);
    FormatString(buffer.data(), buffer.size, "%s", input.c_str());
    EXPECT_EQ(buffer.text(), input.substr(0, c.expectedBytes));
    EXPECT_TRUE(buffer.guardIntact());
}

INSTANTIATE_TEST_SUITE_P(
    HelpersLimits, HelpersFormatStringCut,
    ::testing::Values(CutCase{"Ascii255", 1024, "x", 255},
                      CutCase{"TwoByte255", 1024, "\xC3\xA9", 254},
                      CutCase{"ThreeByte255", 1024, "\xE2\x82\xAC", 255},
                      CutCase{"FourByte255", 1024, "\xF0\x9F\x98\x80", 252},
                      CutCase{"SmallDestination", 8, "\xC3\xA9", 6},
                      CutCase{"ExactDestination", 7, "\xC3\xA9", 6},
                      CutCase{"OneByteDestination", 1, "x", 0}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(HelpersFormatString, IgnoresMissingDestination) {
    FormatString(nullptr, 16, "%s", "x");
    char untouched = '#';
    FormatString(&untouched, 0, "%s", "x");
    EXPECT_EQ(untouched, '#');
}

TEST(HelpersAppendFormat, AppendsToHeldText) {
    char text[64] = "Cache: ";
    AppendFormat(text, sizeof text, "%d KB", 512);
    AppendFormat(text, sizeof text, "%s", " (100%s)");
    EXPECT_STREQ(text, "Cache: 512 KB (100%s)");
}

TEST(HelpersAppendFormat, StaysWithinDestinationAndCharacters) {
    GuardedBuffer buffer(10);
    std::strcpy(buffer.data(), "abcdef");
    AppendFormat(buffer.data(), buffer.size, "%s", "\xC3\xA9\xC3\xA9\xC3\xA9");
    EXPECT_EQ(buffer.text(), "abcdef\xC3\xA9");  // a second é would leave no terminator
    EXPECT_TRUE(buffer.guardIntact());

    AppendFormat(buffer.data(), buffer.size, "%s", "z");
    EXPECT_EQ(buffer.text(), "abcdef\xC3\xA9z");  // the last free byte
    AppendFormat(buffer.data(), buffer.size, "%s", "z");
    EXPECT_EQ(buffer.text(), "abcdef\xC3\xA9z");  // full: unchanged
    EXPECT_TRUE(buffer.guardIntact());
}

TEST(HelpersAppendFormat, AppendsAtMost255Bytes) {
    char text[1024] = "a";
    AppendFormat(text, sizeof text, "%s", std::string(400, 'x').c_str());
    EXPECT_EQ(std::string(text), "a" + std::string(255, 'x'));
}

TEST(HelpersFormatStringW, FollowsWideFormatConventions) {
    wchar_t text[64];
    FormatStringW(text, 64, L"%s %hs %d%%", L"wide", "narrow", 7);
    EXPECT_STREQ(text, L"wide narrow 7%");
    FormatStringW(text, 64, L"%s", L"%s%n%d");
    EXPECT_STREQ(text, L"%s%n%d");
}

TEST(HelpersFormatStringW, CutsAt255CharactersAndDestinationSize) {
    const std::wstring input(400, L'\u00B0');
    struct Case {
        size_t destinationSize, expectedLength;
    };
    for (const Case c : {Case{1024, 255}, Case{10, 9}, Case{256, 255}, Case{1, 0}}) {
        SCOPED_TRACE(c.destinationSize);
        std::vector<wchar_t> text(c.destinationSize + 4, L'#');
        FormatStringW(text.data(), c.destinationSize, L"%s", input.c_str());
        EXPECT_EQ(std::wstring(text.data()), input.substr(0, c.expectedLength));
        EXPECT_EQ(text[c.destinationSize], L'#');
    }
}

// ---- The -1 convention and rounding ----

TEST(HelpersValidity, MinusOneMeansUnknown) {
    struct Case {
        int32_t value;
        BOOL valid;
    };
    for (const Case c : {Case{-1, 0}, Case{0, 1}, Case{1, 1}, Case{-2, 1}, Case{INT32_MIN, 1},
                         Case{INT32_MAX, 1}}) {
        EXPECT_EQ(IsValid(c.value), c.valid) << c.value;
    }
}

TEST(HelpersValidity, OnlyExactlyMinusOneFloatIsUnknown) {
    struct Case {
        float value;
        BOOL valid;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Case c : {Case{-1.0f, 0}, Case{nan, 1}, Case{-0.999f, 1},
                         Case{std::nextafter(-1.0f, -2.0f), 1}, Case{0.0f, 1}, Case{1.0f, 1},
                         Case{-inf, 1}}) {
        EXPECT_EQ(IsValidFloat(c.value), c.valid) << c.value;
    }
}

TEST(HelpersRoundToInt, RoundsHalvesTowardPlusInfinity) {
    struct Case {
        float value;
        int32_t rounded;
    };
    for (const Case c : {Case{0.5f, 1}, Case{-0.5f, 0}, Case{1.5f, 2}, Case{2.5f, 3},
                         Case{-1.5f, -1}, Case{-2.5f, -2}, Case{1.2f, 1}, Case{1.7f, 2},
                         Case{-1.2f, -1}, Case{-1.7f, -2}, Case{0.0f, 0}, Case{-0.0f, 0},
                         Case{0.49999997f, 0}, Case{1073741824.0f, 1073741824},
                         Case{1e10f, INT32_MAX}, Case{-1e10f, INT32_MIN}}) {
        EXPECT_EQ(RoundToInt(c.value), c.rounded) << c.value;
    }
    EXPECT_EQ(RoundToInt(std::numeric_limits<float>::quiet_NaN()), 0);
}

// ---- Board-name keys ----

TEST(HelpersStringKeys, HashAndByteSumOfKnownTexts) {
    struct Case {
        const char* text;
        uint32_t hash, byteSum;
    };
    for (const Case c : {
             Case{"", 0, 0},
             Case{"abc", 1956, 294},
             // Seven bytes: the seventh is shifted by 0 again.
             Case{"\x01\x01\x01\x01\x01\x01\x01", 86561, 7},
             // Bytes above 0x7F count negative.
             Case{"\xC2\xB0", 0xFFFFFEE4u, 0xFFFFFF72u},
             // Long enough to wrap around 32 bits.
             Case{"P8Z77-V PRO/THUNDERBOLT", 0x62C59940u, 1630},
         }) {
        EXPECT_EQ(StringHash(c.text), c.hash) << c.text;
        EXPECT_EQ(StringByteSum(c.text), c.byteSum) << c.text;
    }
    EXPECT_EQ(StringHash(nullptr), 0u);
    EXPECT_EQ(StringByteSum(nullptr), 0u);
}

// ---- IsOldNT ----

class HelpersIsOldNT : public ::testing::Test {
protected:
    void TearDown() override { vexa::platform::testing::overrideWindowsIdentity(std::nullopt); }
};

TEST_F(HelpersIsOldNT, TrueOnlyForNtBeforeVersion5) {
    struct Case {
        uint32_t platformId, majorVersion;
        BOOL old;
    };
    for (const Case c : {Case{2, 4, 1}, Case{2, 3, 1}, Case{2, 5, 0}, Case{2, 10, 0},
                         Case{1, 4, 0}, Case{0, 3, 0}}) {
        vexa::machine::WindowsIdentity identity;
        identity.platformId = c.platformId;
        identity.majorVersion = c.majorVersion;
        vexa::platform::testing::overrideWindowsIdentity(identity);
        EXPECT_EQ(IsOldNT(), c.old) << c.platformId << " " << c.majorVersion;
    }
}

// ---- GetFileVersionInfoStrings ----

// What a version block holds: fixed numbers, string tables, translations.
using VersionBlockContents = vexa::platform::VersionBlockLayout;

class FileVersionTest : public ::testing::Test {
protected:
    // A file of this test holding `block` between other bytes, as an
    // executable carries it among its resources.
    static std::string WriteFile(const std::vector<uint8_t>& block) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto path = std::filesystem::temp_directory_path() /
                          (std::string(test->name()) + ".bin");
        std::ofstream out(path, std::ios::binary);
        out << "MZ" << std::string(62, '\x90');
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size()));
        out << std::string(32, '\xCC');
        return path.string();
    }

    // The record read from a file with a version block of `contents`,
    // starting from a record whose every field differs from Init's values.
    static FileVersionInfo Read(const VersionBlockContents& contents) {
        return ReadFile(WriteFile(vexa::platform::buildVersionBlock(contents)));
    }
    static FileVersionInfo ReadFile(const std::string& path) {
        FileVersionInfo info;
        std::memset(&info, 0x55, sizeof info);
        info.FileVersion[255] = info.CompanyName[255] = '\0';
        GetFileVersionInfoStrings(path.c_str(), &info);
        return info;
    }

    static void ExpectNumbers(const FileVersionInfo& info, uint32_t major, uint32_t minor,
                              uint32_t build, uint32_t revision) {
        EXPECT_EQ(info.Major, major);
        EXPECT_EQ(info.Minor, minor);
        EXPECT_EQ(info.Build, build);
        EXPECT_EQ(info.Revision, revision);
    }
    static void ExpectUnknown(const FileVersionInfo& info) {
        ExpectNumbers(info, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
        EXPECT_STREQ(info.FileVersion, "");
        EXPECT_STREQ(info.CompanyName, "");
    }
};

TEST_F(FileVersionTest, InitMarksEveryFieldUnknown) {
    FileVersionInfo info;
    std::memset(&info, 0x55, sizeof info);
    info.Init();
    ExpectUnknown(info);
}

TEST_F(FileVersionTest, ReadsNumbersAndTextsOfFirstTranslation) {
    const FileVersionInfo info = Read({
        .fileVersion = {6, 0xFFFE, 0x8000, 17514},
        .stringTables = {{0x0407, 0x04E4, {{"FileVersion", "6.1 (de)"}, {"CompanyName", "Firma"}}},
                         {0x0409, 0x04B0, {{"FileVersion", "6.1.7601"}, {"CompanyName", "Vexa"}}}},
        .translations = {{0x0409, 0x04B0}, {0x0407, 0x04E4}},
    });
    ExpectNumbers(info, 6, 0xFFFE, 0x8000, 17514);
    EXPECT_STREQ(info.FileVersion, "6.1.7601");
    EXPECT_STREQ(info.CompanyName, "Vexa");
}

TEST_F(FileVersionTest, WithoutTranslationTableFillsOnlyNumbers) {
    const FileVersionInfo info = Read({
        .fileVersion = {1, 2, 3, 4},
        .stringTables = {{0x0409, 0x04B0, {{"FileVersion", "1.2.3.4"}, {"CompanyName", "X"}}}},
    });
    ExpectNumbers(info, 1, 2, 3, 4);
    EXPECT_STREQ(info.FileVersion, "");
    EXPECT_STREQ(info.CompanyName, "");
}

TEST_F(FileVersionTest, MissingTextStaysEmptyAndLongTextIsCut) {
    const FileVersionInfo info = Read({
        .stringTables = {{0x0409, 0x04B0, {{"CompanyName", Repeat("\xC3\xA9", 200)}}}},
        .translations = {{0x0409, 0x04B0}},
    });
    ExpectNumbers(info, 0, 0, 0, 0);
    EXPECT_STREQ(info.FileVersion, "");
    EXPECT_EQ(std::string(info.CompanyName), Repeat("\xC3\xA9", 127));
}

TEST_F(FileVersionTest, FileWithoutVersionBlockKeepsInitValues) {
    const std::string plain = WriteFile({'n', 'o', ' ', 'b', 'l', 'o', 'c', 'k'});
    for (const std::string& path : {plain, plain + ".missing"}) {
        SCOPED_TRACE(path);
        ExpectUnknown(ReadFile(path));
    }
    GetFileVersionInfoStrings(plain.c_str(), nullptr);  // no record: nothing to do
}

// ---- GetDeviceDescriptionByDriverKey ----

using vexa::machine::DeviceNode;

// A machine that offers only a device tree.
class DeviceTreeMachine : public vexa::machine::Machine {
public:
    explicit DeviceTreeMachine(std::vector<DeviceNode> nodes) : nodes_(std::move(nodes)) {}
    std::string description() const override { return "device tree"; }
    unsigned processorCount() const override { return 1; }
    unsigned currentProcessor(const vexa::machine::ProcessorAffinity&) const override { return 0; }
    bool pinThread(int, const vexa::machine::ProcessorAffinity&) override { return true; }
    std::vector<DeviceNode> deviceTree() const override { return nodes_; }

protected:
    vexa::machine::CpuidRegs doCpuid(unsigned, uint32_t, uint32_t) override { return {}; }
    bool doReadTsc(unsigned, uint64_t&) override { return false; }
    bool doReadMsr(unsigned, uint32_t, uint64_t&) override { return false; }
    bool doWriteMsr(unsigned, uint32_t, uint64_t) override { return false; }
    bool doReadPort(uint16_t, unsigned, uint32_t&) override { return false; }
    bool doWritePort(uint16_t, unsigned, uint32_t) override { return false; }
    bool doReadPhysical(uint64_t, std::span<uint8_t>) override { return false; }
    bool doWritePhysical(uint64_t, std::span<const uint8_t>) override { return false; }
    bool doReadPciConfig(vexa::machine::PciAddress, unsigned, std::span<uint8_t>) override {
        return false;
    }
    bool doWritePciConfig(vexa::machine::PciAddress, unsigned,
                          std::span<const uint8_t>) override {
        return false;
    }

private:
    std::vector<DeviceNode> nodes_;
};

constexpr char kDisplayKey[] = "{4d36e968-e325-11ce-bfc1-08002be10318}\\0000";
constexpr char kNetKey[] = "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";
constexpr char kUndescribedKey[] = "{4d36e97d-e325-11ce-bfc1-08002be10318}\\0002";
constexpr char kLastKey[] = "{4d36e97d-e325-11ce-bfc1-08002be10318}\\0003";

DeviceNode Node(int parent, const char* driver, const char* description) {
    DeviceNode node;
    node.parent = parent;
    if (driver) node.properties[CM_DRP_DRIVER] = driver;
    if (description) node.properties[CM_DRP_DEVICEDESC] = description;
    return node;
}

// Pre-order: 0, 1, 3, 4, 2, 5, 6, 7. The display key appears twice: the
// deep node 4 comes first in pre-order, node 2 first by index and by level.
std::vector<DeviceNode> SampleTree() {
    return {
        Node(-1, nullptr, "Computer"),                 // 0
        Node(0, nullptr, "PCI bus"),                   // 1
        Node(0, kDisplayKey, "Second branch display"), // 2
        Node(1, nullptr, "PCI bridge"),                // 3
        Node(3, kDisplayKey, "Deep display"),          // 4
        Node(2, kNetKey, "Network adapter"),           // 5
        Node(0, kUndescribedKey, nullptr),             // 6
        Node(6, kLastKey, "Last device"),              // 7
    };
}

class DeviceDescriptionTest : public ::testing::Test {
protected:
    void UseTree(std::vector<DeviceNode> nodes) {
        machine_.emplace(std::make_unique<DeviceTreeMachine>(std::move(nodes)));
    }
    void TearDown() override { vexa::platform::testing::restoreLibraries(); }

    std::optional<vexa::machine::ScopedMachine> machine_;
};

TEST_F(DeviceDescriptionTest, FindsFirstExactMatchInPreOrder) {
    UseTree(SampleTree());
    struct Case {
        std::string key;
        const char* description;  // null: not found
    };
    std::string upper = kDisplayKey;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string prefix = std::string(kDisplayKey).substr(0, 38);
    for (const Case& c : {
             Case{kDisplayKey, "Deep display"},
             Case{kNetKey, "Network adapter"},  // reached after climbing out of 1's subtree
             Case{kLastKey, "Last device"},
             Case{upper, nullptr},
             Case{prefix, nullptr},
             Case{std::string(kDisplayKey) + "0", nullptr},
             Case{"", nullptr},
             Case{kUndescribedKey, nullptr},  // found, but without a description
         }) {
        SCOPED_TRACE(c.key);
        char description[256] = "unchanged";
        EXPECT_EQ(GetDeviceDescriptionByDriverKey(c.key.c_str(), description),
                  c.description ? 1 : 0);
        EXPECT_STREQ(description, c.description ? c.description : "unchanged");
    }
}

TEST_F(DeviceDescriptionTest, LongDescriptionIsCutAtCharacterBoundary) {
    const std::string longText = Repeat("\xE2\x82\xAC", 150);  // 450 bytes
    UseTree({Node(-1, nullptr, nullptr), Node(0, kNetKey, longText.c_str())});
    GuardedBuffer description(256);
    ASSERT_EQ(GetDeviceDescriptionByDriverKey(kNetKey, description.data()), 1);
    EXPECT_EQ(description.text(), Repeat("\xE2\x82\xAC", 85));
    EXPECT_TRUE(description.guardIntact());
}

TEST_F(DeviceDescriptionTest, WithoutConfigurationManagerFindsNothing) {
    UseTree(SampleTree());
    const char* hidden[] = {"CM_Get_DevNode_Registry_PropertyA", "CM_Locate_DevNodeA",
                            "CM_Get_Child", "CM_Get_Sibling", "CM_Get_Parent", nullptr};
    for (const char* function : hidden) {
        SCOPED_TRACE(function ? function : "whole library");
        if (function) vexa::platform::testing::hideExport("setupapi.dll", function);
        else vexa::platform::testing::hideLibrary("setupapi.dll");
        char description[256] = "unchanged";
        EXPECT_EQ(GetDeviceDescriptionByDriverKey(kNetKey, description), 0);
        EXPECT_STREQ(description, "unchanged");
        vexa::platform::testing::restoreLibraries();
    }
}

// The configuration manager keeps its view of the tree only while the
// machine stays installed.
TEST_F(DeviceDescriptionTest, AnotherMachineBringsItsOwnTree) {
    char description[256] = "";
    UseTree(SampleTree());
    ASSERT_EQ(GetDeviceDescriptionByDriverKey(kNetKey, description), 1);
    EXPECT_STREQ(description, "Network adapter");
    UseTree({Node(-1, nullptr, nullptr), Node(0, kNetKey, "Other adapter")});
    ASSERT_EQ(GetDeviceDescriptionByDriverKey(kNetKey, description), 1);
    EXPECT_STREQ(description, "Other adapter");
    machine_.reset();
    UseTree({});
    EXPECT_EQ(GetDeviceDescriptionByDriverKey(kNetKey, description), 0);
}

TEST_F(DeviceDescriptionTest, MachineWithoutDeviceTreeFindsNothing) {
    UseTree({});
    char description[256] = "unchanged";
    EXPECT_EQ(GetDeviceDescriptionByDriverKey(kNetKey, description), 0);
    EXPECT_STREQ(description, "unchanged");
}

} // namespace
