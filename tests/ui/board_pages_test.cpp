// The mainboard and memory pages on query answers of our own: the texts
// and formats of each field, which labels are enabled, and what stays
// empty when a query knows nothing.
#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <string>

#include "app/ui/mainboard_page.h"
#include "app/ui/memory_page.h"
#include "app/ui/window_message.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::EnabledOf;
using vexa::test::FakeApplication;
using vexa::test::FakeQueries;
using vexa::test::TextOf;

// Board and memory answers; texts absent from `texts` answer 0.
class BoardQueries : public FakeQueries {
public:
    using FakeQueries::FakeQueries;

    std::map<std::string, std::wstring> texts;
    int memorySize = -1, memoryType = -1, channels = -1, channelMode = -1;
    float dram = -1.0f, cas = -1.0f;
    int tRCD = -1, tRP = -1, tRAS = -1, tRC = -1, tRFC = -1, commandRate = -1;
    int graphicsKind = -1, graphicsCurrent = -1, graphicsMax = -1;
    int agpVersion = -1, sideBandSupported = -1, sideBandEnabled = -1;

    int Text(const char* key, wchar_t* text) {
        const auto found = texts.find(key);
        if (found == texts.end()) return 0;
        std::wcsncpy(text, found->second.c_str(), kInfoTextChars - 1);
        return 1;
    }
    int GetBoardManufacturer(wchar_t* t) override { return Text("board maker", t); }
    int GetBoardProduct(wchar_t* t) override { return Text("board product", t); }
    int GetBoardVersion(wchar_t* t) override { return Text("board version", t); }
    int GetSystemProduct(wchar_t* t) override { return Text("system product", t); }
    int GetBIOSVendor(wchar_t* t) override { return Text("bios vendor", t); }
    int GetNorthbridgeVendor(wchar_t* t) override { return Text("nb vendor", t); }
    int GetNorthbridgeModel(wchar_t* t) override { return Text("nb model", t); }
    int GetNorthbridgeRevision(wchar_t* t) override { return Text("nb revision", t); }
    int GetSouthbridgeVendor(wchar_t* t) override { return Text("sb vendor", t); }
    int GetSouthbridgeModel(wchar_t* t) override { return Text("sb model", t); }
    float GetFSBDRAMRatio(wchar_t* t) override { return Text("ratio", t) ? 1.0f : -1.0f; }
    int GetMemorySize() override { return memorySize; }
    int GetMemoryType() override { return memoryType; }
    int GetMemoryChannels() override { return channels; }
    int GetMemoryChannelMode() override { return channelMode; }
    float GetDRAMFrequency() override { return dram; }
    float GetCASLatency() override { return cas; }
    int GetRASToCASDelay() override { return tRCD; }
    int GetRASPrecharge() override { return tRP; }
    int GetCycleTime() override { return tRAS; }
    int GetBankCycleTime() override { return tRC; }
    int GetRowRefreshCycleTime() override { return tRFC; }
    int GetCommandRate() override { return commandRate; }
    int GetGraphicInterface(int* kind, int* current, int* max) override {
        *kind = graphicsKind, *current = graphicsCurrent, *max = graphicsMax;
        return 1;
    }
    int GetAGPInfo(int* version, int* supported, int* enabled) override {
        *version = agpVersion, *supported = sideBandSupported, *enabled = sideBandEnabled;
        return 1;
    }
};

struct Pages {
    Pages() {
        delete fake.app.m_pInfoParser;
        queries = new BoardQueries(fake.app.m_Settings, fake.app.g_bNoValidation);
        fake.app.m_pInfoParser = queries;
    }
    template <typename PageClass>
    std::unique_ptr<PageClass> Filled() {
        auto page = std::make_unique<PageClass>(PageContext{fake.app, fake.fonts, nullptr}, nullptr);
        page->OnInitDialog();
        page->Fill();
        return page;
    }
    FakeApplication fake;
    BoardQueries* queries;
};

TEST(MemoryPage, SizesTypesChannelsAndModes) {
    const struct {
        int size, type, channels, mode;
        const char *sizeText, *typeText, *channelsText, *modeText;
        bool modeShown;
    } cases[] = {
        {4096, 9, 2, 1, "4 GBytes", " DDR3", "Dual", "Symmetric", true},
        {1024, 8, 1, 1, "1024 MBytes", " FB-DDR2", "Single", "", false},
        {1536, 42, 3, 1, "1536 MBytes", "", "Triple", "", false},
        {2048, 6, 2, 0x02000001, "2 GBytes", " DDR", "Dual", "Ganged", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sizeText);
        Pages pages;
        pages.queries->memorySize = c.size, pages.queries->memoryType = c.type;
        pages.queries->channels = c.channels, pages.queries->channelMode = c.mode;
        auto page = pages.Filled<CMemoryDlg>();
        EXPECT_EQ(TextOf(*page, 1061), QString::fromUtf8(c.sizeText));
        EXPECT_EQ(TextOf(*page, 1232), QString::fromUtf8(c.typeText));
        EXPECT_EQ(TextOf(*page, 1068), QString::fromUtf8(c.channelsText));
        EXPECT_EQ(TextOf(*page, 1101), QString::fromUtf8(c.modeText));
        EXPECT_EQ(EnabledOf(*page, 1020), c.modeShown);
    }
}

TEST(MemoryPage, TimingsClocksAndTheRefreshRow) {
    Pages pages;
    BoardQueries& q = *pages.queries;
    q.cas = 2.5f, q.tRCD = 3, q.tRP = 3, q.tRAS = 8, q.tRFC = 52, q.commandRate = 2, q.dram = 333.33f;
    auto page = pages.Filled<CMemoryDlg>();
    EXPECT_EQ(TextOf(*page, 1067), QStringLiteral("2.5 clocks"));
    EXPECT_EQ(TextOf(*page, 1070), QStringLiteral("3 clocks"));
    EXPECT_EQ(TextOf(*page, 1076), QStringLiteral("8 clocks"));
    EXPECT_EQ(TextOf(*page, 1016), QStringLiteral("Row Refresh Cycle Time (tRFC)"));
    EXPECT_EQ(TextOf(*page, 1079), QStringLiteral("52 clocks"));
    EXPECT_EQ(TextOf(*page, 1083), QStringLiteral("2T"));
    EXPECT_EQ(TextOf(*page, 1064), QStringLiteral("333.3 MHz"));
    EXPECT_EQ(TextOf(*page, 1065), QString()) << "no ratio text";
    EXPECT_FALSE(EnabledOf(*page, 1010));
    EXPECT_FALSE(EnabledOf(*page, 1018)) << "no idle timer";

    q.tRC = 11, q.texts["ratio"] = L"1:1", q.cas = -1.0f;
    SendWindowMessage(page.get(), WM_UPDATE_PAGE);
    EXPECT_EQ(TextOf(*page, 1016), QStringLiteral("Bank Cycle Time (tRC)"));
    EXPECT_EQ(TextOf(*page, 1079), QStringLiteral("11 clocks"));
    EXPECT_EQ(TextOf(*page, 1065), QStringLiteral("1:1"));
    EXPECT_TRUE(EnabledOf(*page, 1010));
    EXPECT_EQ(TextOf(*page, 1067), QString()) << "a value no longer known is emptied";
    EXPECT_TRUE(EnabledOf(*page, 1007)) << "its label stays enabled";
}

TEST(MainboardPage, BoardBridgesAndGraphicsLink) {
    const struct {
        const char* name;
        int kind, current, max, version, supported, enabled;
        const char *interfaceText, *rate, *maxRate, *sideBand;
        bool groupEnabled, sideBandRow;
    } cases[] = {
        {"PCI Express x16 of x16", 4, 16, 16, -1, -1, -1, " PCI-Express", "x16", "x16", "", true, false},
        {"AGP 3.0 at 8x, side band enabled", 3, 8, 8, 0x30, 1, 1, " AGP version 3.0", "8x", "8x", "enabled", true, true},
        {"no link", -1, -1, -1, -1, -1, -1, "", "", "", "", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pages pages;
        BoardQueries& q = *pages.queries;
        q.texts = {{"board maker", L"FUJITSU SIEMENS"}, {"system product", L"LIFEBOOK P8010"},
                   {"board version", L"CP345370"},      {"nb vendor", L"Intel"},
                   {"nb model", L"GM965"},              {"nb revision", L"C0"}};
        q.graphicsKind = c.kind, q.graphicsCurrent = c.current, q.graphicsMax = c.max;
        q.agpVersion = c.version, q.sideBandSupported = c.supported, q.sideBandEnabled = c.enabled;
        auto page = pages.Filled<CMainboardDlg>();
        EXPECT_EQ(TextOf(*page, 1050), QStringLiteral(" FUJITSU SIEMENS"));
        EXPECT_EQ(TextOf(*page, 1053), QStringLiteral(" LIFEBOOK P8010")) << "the system product stands in";
        EXPECT_EQ(TextOf(*page, 1059), QStringLiteral("CP345370"));
        EXPECT_EQ(TextOf(*page, 1048), QStringLiteral("GM965"));
        EXPECT_EQ(TextOf(*page, 1051), QStringLiteral("C0"));
        EXPECT_EQ(TextOf(*page, 1171), QString()) << "no southbridge";
        EXPECT_FALSE(EnabledOf(*page, 1176));
        EXPECT_FALSE(EnabledOf(*page, 1172)) << "no BIOS vendor";
        EXPECT_EQ(EnabledOf(*page, 1063), c.groupEnabled);
        EXPECT_EQ(TextOf(*page, 1107), QString::fromUtf8(c.interfaceText));
        EXPECT_EQ(TextOf(*page, 1093), QString::fromUtf8(c.rate));
        EXPECT_EQ(TextOf(*page, 1094), QString::fromUtf8(c.maxRate));
        EXPECT_EQ(TextOf(*page, 1089), QString::fromUtf8(c.sideBand));
        EXPECT_EQ(EnabledOf(*page, 1037), c.sideBandRow);
    }
}

} // namespace
