// The graphics page: an adapter table with every field filled (names,
// logos, levels with "Current", revision from the PCI id, technology,
// memory texts, clocks), the empty cases, the x58 sample's GeForce 210 as
// the display domain describes it today, and screenshots of both.
#include <gtest/gtest.h>

#include <QComboBox>

#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/graphics_page.h"
#include "app/ui/main_dialog.h"
#include "app/ui/my_tab_ctl.h"
#include "sdk/display/display_adapter.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::EnabledOf;
using vexa::test::FakeApplication;
using vexa::test::FakeQueries;
using vexa::test::SaveScreenshot;
using vexa::test::TextOf;

QComboBox& Combo(CGraphicsDlg& page, int id) { return *page.Item<QComboBox>(id); }

std::vector<QString> Entries(QComboBox& combo) {
    std::vector<QString> entries;
    for (int i = 0; i < combo.count(); ++i) entries.push_back(combo.itemText(i));
    return entries;
}

// An adapter as the table-driven display queries answer it.
struct FakeAdapter {
    std::wstring name;  // empty: no name
    uint32_t family = 0xFFFFFFFF;
    std::wstring boardVendor, codename;
    int revision = -1, pciRevision = -1;
    std::vector<std::wstring> levels;  // their names
    int currentLevel = -1;
    // MHz by level: core, shader, memory.
    std::vector<std::vector<float>> clocks;
    int memoryType = -1, memorySize = -1, memoryBusWidth = -1;
    float technology = -1.0f;
};

class DisplayQueries : public FakeQueries {
public:
    using FakeQueries::FakeQueries;
    std::vector<FakeAdapter> adapters;

    int GetDisplayAdapterCount() override { return int(adapters.size()); }
    int GetGPUFamilyCode(int A) override { return Find(A) ? int(Find(A)->family) : -1; }
    int GetGPUName(int A, wchar_t* text) override { return Text(Find(A) ? Find(A)->name : L"", text); }
    int GetGPUBoardVendor(int A, wchar_t* text) override { return Text(Find(A) ? Find(A)->boardVendor : L"", text); }
    int GetGPUCodename(int A, wchar_t* text) override { return Text(Find(A) ? Find(A)->codename : L"", text); }
    int GetGPURevision(int A) override { return Find(A) ? Find(A)->revision : -1; }
    int GetPerfLevelCount(int A) override { return Find(A) ? int(Find(A)->levels.size()) : -1; }
    int GetPerfLevelName(int A, int level, wchar_t* text) override {
        if (!Find(A) || level < 0 || level >= int(Find(A)->levels.size())) return 0;
        return Text(Find(A)->levels[size_t(level)], text);
    }
    int GetCurrentPerfLevel(int A) override { return Find(A) ? Find(A)->currentLevel : -1; }
    float GetGPUClock(int A, int level, int domain) override {
        const FakeAdapter* adapter = Find(A);
        if (!adapter || level < 0 || level >= int(adapter->clocks.size())) return -1.0f;
        const int column = domain == GPU_CLOCK_CORE ? 0 : domain == GPU_CLOCK_SHADER ? 1 : domain == GPU_CLOCK_MEMORY ? 2 : -1;
        return column < 0 ? -1.0f : adapter->clocks[size_t(level)][size_t(column)];
    }
    int GetGPUMemoryType(int A, int* type) override { return Memory(A, &FakeAdapter::memoryType, type); }
    int GetGPUMemorySize(int A, int* size) override { return Memory(A, &FakeAdapter::memorySize, size); }
    int GetGPUMemoryBusWidth(int A, int* bits) override { return Memory(A, &FakeAdapter::memoryBusWidth, bits); }
    int GetGPUPCIIDs(int A, int* vendor, int* device, int* revision, int*, int*) override {
        if (!Find(A)) return 0;
        *vendor = 0x10DE, *device = 0x0A65, *revision = Find(A)->pciRevision;
        return 1;
    }
    float GetGPUTechnology(int A) override { return Find(A) ? Find(A)->technology : -1.0f; }

private:
    const FakeAdapter* Find(int A) const { return A >= 0 && A < int(adapters.size()) ? &adapters[size_t(A)] : nullptr; }
    static int Text(const std::wstring& value, wchar_t* text) {
        if (value.empty()) return 0;
        std::wcscpy(text, value.c_str());
        return 1;
    }
    int Memory(int A, int FakeAdapter::*field, int* value) {
        *value = -1;
        if (!Find(A)) return 0;
        *value = Find(A)->*field;
        return 1;
    }
};

// An Intel adapter with three named levels, running at the second, and an
// NVIDIA adapter without a name and one level.
FakeAdapter IntelAdapter() {
    FakeAdapter intel;
    intel.name = L"Intel HD Graphics 4000";
    intel.family = 0x4400005;
    intel.boardVendor = L"ASUSTeK Computer Inc.";
    intel.codename = L"Ivy Bridge GT2";
    intel.revision = 0;
    intel.pciRevision = 0xA1;
    intel.levels = {L"Idle", L"Normal", L"Boost"};
    intel.currentLevel = 1;
    intel.clocks = {{350.0f, -1.0f, 800.0f}, {650.4f, 1300.9f, 1600.0f}, {1150.0f, -1.0f, 1600.0f}};
    intel.memoryType = 0x50;
    intel.memorySize = 1024;
    intel.memoryBusWidth = 128;
    intel.technology = 0.022f;
    return intel;
}

FakeAdapter NamelessNVIDIA() {
    FakeAdapter nvidia;
    nvidia.family = 0x1000050;
    nvidia.revision = 0xA2;
    nvidia.levels = {L"Perf Level 0"};
    nvidia.clocks = {{589.0f, 1402.0f, 500.0f}};
    nvidia.memoryType = 0x60;
    nvidia.memorySize = 512;
    nvidia.technology = 0.13f;
    return nvidia;
}

struct GraphicsPageTest : ::testing::Test {
    GraphicsPageTest() {
        delete fake.app.m_pInfoParser;
        queries = new DisplayQueries(fake.app.m_Settings, fake.app.g_bNoValidation);
        fake.app.m_pInfoParser = queries;
        queries->adapters = {IntelAdapter(), NamelessNVIDIA()};
    }
    CGraphicsDlg& Page() {
        if (!page) {
            page = std::make_unique<CGraphicsDlg>(PageContext{fake.app, fake.fonts, nullptr}, nullptr);
            page->OnInitDialog();
            page->Fill();
        }
        return *page;
    }
    void Choose(int adapter) {
        Combo(Page(), CGraphicsDlg::IDC_ADAPTER_COMBO).setCurrentIndex(adapter);
        Page().OnSelectAdapter();
    }

    FakeApplication fake;
    DisplayQueries* queries;
    std::unique_ptr<CGraphicsDlg> page;
};

TEST_F(GraphicsPageTest, AFullAdapterFillsEveryField) {
    using P = CGraphicsDlg;
    EXPECT_EQ(Entries(Combo(Page(), P::IDC_ADAPTER_COMBO)),
              (std::vector<QString>{QStringLiteral("Intel HD Graphics 4000"), QStringLiteral("Graphic Device")}));
    EXPECT_TRUE(EnabledOf(Page(), P::IDC_ADAPTER_COMBO)) << "two adapters to choose from";
    const std::pair<int, const char*> fields[] = {
        {P::IDC_NAME, "Intel HD Graphics 4000"},
        {P::IDC_BOARD_VENDOR, "ASUSTeK Computer Inc."},
        {P::IDC_CODENAME, "Ivy Bridge GT2"},
        {P::IDC_REVISION, "A1"},  // revision 0: the PCI revision id
        {P::IDC_TECHNOLOGY, "22 nm"},
        {P::IDC_MEMORY_SIZE, "1024 MBytes"},
        {P::IDC_MEMORY_TYPE, "GDDR5"},
        {P::IDC_MEMORY_BUS, "128 bits"},
        {P::IDC_CORE_CLOCK, "650 MHz"},
        {P::IDC_SHADER_CLOCK, "1300 MHz"},
        {P::IDC_MEMORY_CLOCK, "1600 MHz"},
    };
    for (const auto& [id, text] : fields) EXPECT_EQ(TextOf(Page(), id), QString::fromUtf8(text)) << id;
    for (int label : {P::IDC_NAME_LABEL, P::IDC_BOARD_VENDOR_LABEL, P::IDC_CODENAME_LABEL, P::IDC_REVISION_LABEL,
                      P::IDC_TECHNOLOGY_LABEL, P::IDC_MEMORY_SIZE_LABEL, P::IDC_MEMORY_TYPE_LABEL,
                      P::IDC_MEMORY_BUS_LABEL, P::IDC_CORE_LABEL, P::IDC_SHADER_LABEL, P::IDC_MEMORY_CLOCK_LABEL,
                      P::IDC_LEVEL_LABEL, P::IDC_LEVEL_COMBO})
        EXPECT_TRUE(EnabledOf(Page(), label)) << label;

    // The three levels and "Current", which is chosen and follows the level
    // the adapter runs at.
    QComboBox& levels = Combo(Page(), P::IDC_LEVEL_COMBO);
    EXPECT_EQ(Entries(levels), (std::vector<QString>{QStringLiteral("Idle"), QStringLiteral("Normal"),
                                                     QStringLiteral("Boost"), QStringLiteral("Current")}));
    EXPECT_EQ(levels.currentIndex(), 3);
    queries->adapters[0].currentLevel = 2;
    Page().OnUpdatePage();
    EXPECT_EQ(TextOf(Page(), P::IDC_CORE_CLOCK), QStringLiteral("1150 MHz"));
    EXPECT_EQ(TextOf(Page(), P::IDC_SHADER_CLOCK), QString()) << "a level without a shader clock";
    EXPECT_FALSE(EnabledOf(Page(), P::IDC_SHADER_LABEL));
    levels.setCurrentIndex(0);
    Page().OnSelectPerfLevel();
    EXPECT_EQ(TextOf(Page(), P::IDC_CORE_CLOCK), QStringLiteral("350 MHz"));
    queries->adapters[0].currentLevel = -1;
    levels.setCurrentIndex(3);
    Page().OnSelectPerfLevel();
    EXPECT_EQ(TextOf(Page(), P::IDC_CORE_CLOCK), QString()) << "no current level";
    EXPECT_FALSE(EnabledOf(Page(), P::IDC_CORE_LABEL));

    EXPECT_EQ(Page().LogoWidth(), 72);
    EXPECT_EQ(Page().LogoHeight(), 79);
    EXPECT_TRUE(Page().LogoIsTransparent());
}

// The second adapter: no name, one level, revision of its own, technology
// in micrometres, an unnamed memory type; its logo copied, not masked.
TEST_F(GraphicsPageTest, ChoosingAnotherAdapterRebuildsItsFields) {
    using P = CGraphicsDlg;
    Page();
    Choose(1);
    EXPECT_EQ(TextOf(Page(), P::IDC_NAME), QString());
    EXPECT_FALSE(EnabledOf(Page(), P::IDC_NAME_LABEL));
    EXPECT_EQ(TextOf(Page(), P::IDC_BOARD_VENDOR), QString());
    EXPECT_FALSE(EnabledOf(Page(), P::IDC_BOARD_VENDOR_LABEL));
    EXPECT_EQ(TextOf(Page(), P::IDC_REVISION), QStringLiteral("A2"));
    EXPECT_EQ(TextOf(Page(), P::IDC_TECHNOLOGY), QStringLiteral("0.13 um"));
    EXPECT_EQ(TextOf(Page(), P::IDC_MEMORY_TYPE), QStringLiteral("0x60"));
    EXPECT_EQ(TextOf(Page(), P::IDC_MEMORY_BUS), QString());
    EXPECT_FALSE(EnabledOf(Page(), P::IDC_MEMORY_BUS_LABEL));
    QComboBox& levels = Combo(Page(), P::IDC_LEVEL_COMBO);
    EXPECT_EQ(levels.count(), 1);
    EXPECT_EQ(levels.currentIndex(), 0);
    EXPECT_FALSE(EnabledOf(Page(), P::IDC_LEVEL_COMBO));
    EXPECT_EQ(TextOf(Page(), P::IDC_CORE_CLOCK), QStringLiteral("589 MHz"));
    EXPECT_EQ(TextOf(Page(), P::IDC_SHADER_CLOCK), QStringLiteral("1402 MHz"));
    EXPECT_EQ(TextOf(Page(), P::IDC_MEMORY_CLOCK), QStringLiteral("500 MHz"));
    EXPECT_EQ(Page().LogoWidth(), 72);
    EXPECT_EQ(Page().LogoHeight(), 54);
    EXPECT_FALSE(Page().LogoIsTransparent()) << "the flag belongs to the chosen adapter's logo";
}

// A choice made while the library is busy waits for the next refresh.
TEST_F(GraphicsPageTest, AChoiceDuringABusyLibraryIsShownByTheRefresh) {
    Page();
    queries->lockBusy = true;
    Choose(1);
    EXPECT_EQ(TextOf(Page(), CGraphicsDlg::IDC_NAME), QStringLiteral("Intel HD Graphics 4000"));
    queries->lockBusy = false;
    Page().OnUpdatePage();
    EXPECT_EQ(TextOf(Page(), CGraphicsDlg::IDC_NAME), QString());
    EXPECT_EQ(TextOf(Page(), CGraphicsDlg::IDC_CORE_CLOCK), QStringLiteral("589 MHz"));
}

TEST_F(GraphicsPageTest, TechnologyAndMemoryTexts) {
    struct Case {
        float technology;
        int memoryType;
        const char* technologyText;
        const char* typeText;
    };
    const Case cases[] = {
        {0.028f, 1, "28 nm", "DDR"},       {0.13f, 2, "0.13 um", "DDR2"},     {0.1f, 3, "0.10 um", "DDR3"},
        {0.065f, 0x30, "65 nm", "GDDR3"},  {0.09f, 0x40, "90 nm", "GDDR4"},   {0.0f, 0x51, "", "0x51"},
    };
    for (const Case& c : cases) {
        queries->adapters = {IntelAdapter()};
        queries->adapters[0].technology = c.technology;
        queries->adapters[0].memoryType = c.memoryType;
        page.reset();
        EXPECT_EQ(TextOf(Page(), CGraphicsDlg::IDC_TECHNOLOGY), QString::fromUtf8(c.technologyText)) << c.technology;
        EXPECT_EQ(TextOf(Page(), CGraphicsDlg::IDC_MEMORY_TYPE), QString::fromUtf8(c.typeText));
        EXPECT_FALSE(EnabledOf(Page(), CGraphicsDlg::IDC_ADAPTER_COMBO)) << "a single adapter";
    }
}

TEST_F(GraphicsPageTest, NoAdapterLeavesThePageEmpty) {
    queries->adapters.clear();
    EXPECT_EQ(Combo(Page(), CGraphicsDlg::IDC_ADAPTER_COMBO).count(), 0);
    for (int id : {CGraphicsDlg::IDC_NAME, CGraphicsDlg::IDC_REVISION, CGraphicsDlg::IDC_CORE_CLOCK})
        EXPECT_EQ(TextOf(Page(), id), QString()) << id;
    EXPECT_EQ(Page().LogoWidth(), -1);
}

TEST_F(GraphicsPageTest, Screenshot) {
    CvexaDlg window(fake.app, fake.fonts);
    window.TabCtl()->SetCurSel(5);
    SaveScreenshot(window, "graphics-page.png");
}

// The x58 sample's GeForce 210 as the display domain describes it today:
// its name, board maker and revision (the PCI id's A2), one level; no
// clocks or video memory yet.
TEST(GraphicsPageX58, ShowsTheGeForce210) {
    vexa::test::X58Application x58;
    {
        CGraphicsDlg page(PageContext{x58.app, x58.fonts, nullptr}, nullptr);
        page.OnInitDialog();
        ASSERT_EQ(x58.queries.Lock(2000), 1);
        page.Fill();
        x58.queries.Unlock();
        EXPECT_EQ(Entries(Combo(page, CGraphicsDlg::IDC_ADAPTER_COMBO)),
                  std::vector<QString>{QStringLiteral("NVIDIA GeForce 210")});
        EXPECT_FALSE(EnabledOf(page, CGraphicsDlg::IDC_ADAPTER_COMBO));
        EXPECT_EQ(TextOf(page, CGraphicsDlg::IDC_NAME), QStringLiteral("NVIDIA GeForce 210"));
        EXPECT_EQ(TextOf(page, CGraphicsDlg::IDC_BOARD_VENDOR), QStringLiteral("EVGA Corp."));
        EXPECT_EQ(TextOf(page, CGraphicsDlg::IDC_REVISION), QStringLiteral("A2"));
        EXPECT_EQ(Entries(Combo(page, CGraphicsDlg::IDC_LEVEL_COMBO)), std::vector<QString>{QStringLiteral("Perf Level 0")});
        EXPECT_FALSE(EnabledOf(page, CGraphicsDlg::IDC_LEVEL_COMBO));
        EXPECT_EQ(page.LogoWidth(), 72) << "the NVIDIA logo";
        EXPECT_FALSE(page.LogoIsTransparent());
        // What the domain does not know yet stays empty with its label off.
        for (const auto& [label, value] : {std::pair{CGraphicsDlg::IDC_CORE_LABEL, CGraphicsDlg::IDC_CORE_CLOCK},
                                           std::pair{CGraphicsDlg::IDC_MEMORY_SIZE_LABEL, CGraphicsDlg::IDC_MEMORY_SIZE}}) {
            EXPECT_EQ(EnabledOf(page, label), !TextOf(page, value).isEmpty()) << value;
        }
    }
    CvexaDlg window(x58.app, x58.fonts);
    window.TabCtl()->SetCurSel(5);
    SaveScreenshot(window, "x58-graphics-page.png");
}
} // namespace
