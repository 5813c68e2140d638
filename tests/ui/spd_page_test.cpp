// The SPD page: which module each slot shows, the module fields, and the
// timing table's columns (profiles at the right, JEDEC entries to their
// left), on a table-driven query layer and on the x58 sample.
#include <gtest/gtest.h>

#include <QComboBox>

#include <cwchar>
#include <string>
#include <vector>

#include "app/ui/spd_page.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::EnabledOf;
using vexa::test::TextOf;

struct JedecEntry {
    float mhz;
    float cas;
    float voltage = -1.0f;
};

struct XmpProfile {
    int mhz;
    float cas, rcd, rp, ras, rc;
    float voltage = 1.65f;
    int commandRate = -1;
    std::vector<std::pair<int, float>> casTable;  // (MHz, CAS)
};

struct EppProfile {
    int mhz;
    float cas, rcd, rp, ras, rc;
    int commandRate;
    float voltage;
};

struct AmpProfile {
    int mhz;
    float cycleTime, cas, rcd, rp, ras, rc;
};

struct FakeModule {
    int type = 9;
    std::wstring maker = L"Maker";
    float rcd = 13.125f, rp = 13.125f, ras = 36.0f, rc = 49.5f;
    std::vector<JedecEntry> jedec;
    int xmpRevision = 0x12;
    std::vector<XmpProfile> xmp;
    int eppKind = 16;
    std::vector<EppProfile> epp;
    std::vector<AmpProfile> amp;
};

// Answers the slot and SPD queries from its tables.
class SpdQueries : public CLocalInfoParser {
public:
    using CLocalInfoParser::CLocalInfoParser;

    int sockets = 0, populated = 0, socketMask = 0;
    bool hasSlots = false;
    std::vector<FakeModule> modules;

    void GetMemorySlots(int* s, int* p, int* m, int* reserved) override {
        *s = 0;
        *reserved = -1;
        if (!hasSlots) return;
        *s = sockets;
        *p = populated;
        *m = socketMask;
    }
    int GetSPDModuleCount() override { return int(modules.size()); }
    int GetModuleType(int M) override { return Module(M) ? Module(M)->type : -1; }
    int GetModuleManufacturer(int M, wchar_t* text) override {
        if (!Module(M)) return 0;
        std::wcscpy(text, Module(M)->maker.c_str());
        return 1;
    }
    int GetModuleSize(int M) override { return Module(M) ? 2048 : -1; }
    int GetModuleCorrection(int M) override { return Module(M) ? 2 : -1; }
    int GetModuleRegistered(int M) override { return Module(M) ? 0 : -1; }
    float GetModuleRCDTime(int M) override { return Module(M)->rcd; }
    float GetModuleRPTime(int M) override { return Module(M)->rp; }
    float GetModuleRASTime(int M) override { return Module(M)->ras; }
    float GetModuleRCTime(int M) override { return Module(M)->rc; }
    int GetJEDECTimingCount(int M) override { return int(Module(M)->jedec.size()); }
    void GetJEDECTiming(int M, int i, float* f, float* cas, float* voltage) override {
        const JedecEntry& e = Module(M)->jedec.at(size_t(i));
        *f = e.mhz;
        *cas = e.cas;
        *voltage = e.voltage;
    }
    int GetXMPInfo(int M, int* revision) override {
        *revision = Module(M)->xmpRevision;
        return int(Module(M)->xmp.size());
    }
    int GetXMPTimingCount(int M, int i) override { return int(Module(M)->xmp.at(size_t(i)).casTable.size()); }
    void GetXMPProfileTiming(int M, int i, int j, int* f, float* cas) override {
        const auto& entry = Module(M)->xmp.at(size_t(i)).casTable.at(size_t(j));
        *f = entry.first;
        *cas = entry.second;
    }
    void GetXMPProfile(int M, int i, float* rcd, float* ras, float* rp, float* voltage, int* f, float* cas,
                       float* rc, int* commandRate) override {
        const XmpProfile& p = Module(M)->xmp.at(size_t(i));
        *rcd = p.rcd, *ras = p.ras, *rp = p.rp, *voltage = p.voltage, *f = p.mhz, *cas = p.cas, *rc = p.rc;
        *commandRate = p.commandRate;
    }
    int GetEPPInfo(int M, int* kind) override {
        *kind = Module(M)->eppKind;
        return int(Module(M)->epp.size());
    }
    void GetEPPProfile(int M, int i, int* f, float* cas, float* rcd, float* ras, float* rp, float* rc,
                       int* commandRate, float* voltage) override {
        const EppProfile& p = Module(M)->epp.at(size_t(i));
        *f = p.mhz, *cas = p.cas, *rcd = p.rcd, *ras = p.ras, *rp = p.rp, *rc = p.rc;
        *commandRate = p.commandRate, *voltage = p.voltage;
    }
    int GetAMPInfo(int M, int* version) override {
        *version = 1;
        return int(Module(M)->amp.size());
    }
    void GetAMPProfile(int M, int i, int* f, float* cycleTime, float* cas, float* rcd, float* ras, float* rp,
                       float* rc) override {
        const AmpProfile& p = Module(M)->amp.at(size_t(i));
        *f = p.mhz, *cycleTime = p.cycleTime, *cas = p.cas, *rcd = p.rcd, *ras = p.ras, *rp = p.rp, *rc = p.rc;
    }

private:
    // Out of range is a fault of the page: the test fails on it.
    const FakeModule* Module(int M) {
        if (M < 0 || M >= int(modules.size())) {
            ADD_FAILURE() << "module " << M << " asked of " << modules.size();
            static const FakeModule none;
            return &none;
        }
        return &modules[size_t(M)];
    }
};

struct SpdPage {
    explicit SpdPage(const std::vector<FakeModule>& modules) {
        delete fake.app.m_pInfoParser;
        queries = new SpdQueries(fake.app.m_Settings, fake.app.g_bNoValidation);
        queries->modules = modules;
        fake.app.m_pInfoParser = queries;
    }
    CSPDDlg& Open() {
        page = std::make_unique<CSPDDlg>(PageContext{fake.app, fake.fonts, nullptr}, nullptr);
        page->OnInitDialog();
        page->Fill();
        return *page;
    }
    vexa::test::FakeApplication fake;
    SpdQueries* queries;  // owned by fake.app
    std::unique_ptr<CSPDDlg> page;
};

QComboBox& Combo(const CSPDDlg& page) { return *page.Item<QComboBox>(CSPDDlg::IDC_SLOT_COMBO); }

QString Heading(const CSPDDlg& page, int column) { return TextOf(page, CSPDDlg::IDC_FIRST_HEADING + column); }

QString Cell(const CSPDDlg& page, CSPDDlg::Row row, int column) {
    return TextOf(page, CSPDDlg::kCells[row][column]);
}

FakeModule Named(const wchar_t* maker) {
    FakeModule module;
    module.maker = maker;
    module.jedec = {{533.33f, 7}};
    return module;
}

const std::vector<JedecEntry> kThreeJedec = {{400.0f, 6}, {533.33f, 7}, {666.0f, 9}};

TEST(SpdPageSlots, PopulatedMaskMapsSocketsToModules) {
    SpdPage spd({Named(L"First"), Named(L"Second")});
    spd.queries->hasSlots = true;
    spd.queries->sockets = 4, spd.queries->populated = 2, spd.queries->socketMask = 0b1010;
    CSPDDlg& page = spd.Open();
    ASSERT_EQ(Combo(page).count(), 4);
    EXPECT_EQ(Combo(page).itemText(3), QStringLiteral("Slot #4"));
    const char* expected[] = {"", "First", "", "Second"};
    for (int slot = 0; slot < 4; ++slot) {
        SCOPED_TRACE(slot);
        Combo(page).setCurrentIndex(slot);
        EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_MAKER), QString::fromUtf8(expected[slot]));
        EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_TYPE).isEmpty(), !expected[slot][0]);
        EXPECT_EQ(EnabledOf(page, 1012), expected[slot][0] != 0);
        EXPECT_EQ(Heading(page, 3).isEmpty(), !expected[slot][0]) << "an empty slot leaves no column";
    }
}

TEST(SpdPageSlots, MoreModulesThanSocketsShowsEachSlotsOwnModule) {
    SpdPage spd({Named(L"A"), Named(L"B"), Named(L"C")});
    spd.queries->hasSlots = true;
    spd.queries->sockets = 2, spd.queries->populated = 2, spd.queries->socketMask = 0b11;
    CSPDDlg& page = spd.Open();
    ASSERT_EQ(Combo(page).count(), 3);
    EXPECT_EQ(page.PopulatedMask(), 0u);
    Combo(page).setCurrentIndex(2);
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_MAKER), QStringLiteral("C"));
}

// Forty sockets: the mask's bits repeat beyond 32, so slot 40 must neither
// shift past the word nor be mistaken for an empty socket.
TEST(SpdPageSlots, MoreThan32SocketsNeverShiftPastTheMask) {
    std::vector<FakeModule> modules;
    for (int i = 0; i < 40; ++i) modules.push_back(Named(std::to_wstring(i).c_str()));
    SpdPage spd(modules);
    spd.queries->hasSlots = true;
    spd.queries->sockets = 40, spd.queries->populated = 40, spd.queries->socketMask = -1;
    CSPDDlg& page = spd.Open();
    ASSERT_EQ(Combo(page).count(), 40);
    Combo(page).setCurrentIndex(39);
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_MAKER), QStringLiteral("39"));
}

TEST(SpdPageSlots, WithoutModulesOrSocketsTheSlotChoiceIsOff) {
    SpdPage spd({});
    CSPDDlg& page = spd.Open();
    EXPECT_FALSE(Combo(page).isEnabled());
    EXPECT_FALSE(EnabledOf(page, CSPDDlg::IDC_SLOT_GROUP));
    EXPECT_FALSE(EnabledOf(page, CSPDDlg::IDC_TIMING_GROUP));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_TYPE), QString());
}

TEST(SpdPageFields, ModuleFieldsAndProfileList) {
    FakeModule module = Named(L"Kingston");
    module.type = 7;
    module.epp = {{400, 4, 15, 15, 45, 60, 1, 2.1f}};
    module.eppKind = 32;
    module.amp = {{400, 2.5f, 5, 15, 15, 45, 60}};
    SpdPage spd({module});
    CSPDDlg& page = spd.Open();
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_TYPE), QStringLiteral(" DDR2"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_SIZE), QStringLiteral("2048 MBytes"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_CORRECTION), QStringLiteral("ECC"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_REGISTERED), QStringLiteral("no"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_BUFFERED), QString()) << "unknown stays empty";
    EXPECT_FALSE(EnabledOf(page, 1024));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_PROFILES), QStringLiteral(" AMP, EPP 2.0"));
    EXPECT_TRUE(EnabledOf(page, CSPDDlg::IDC_LABEL_PROFILES));
}

// What the four columns show: heading, clock, CAS, tRCD, tRP, tRAS, tRC,
// command rate and voltage; empty strings for empty cells.
struct Column {
    const char* cells[1 + CSPDDlg::kRowCount];
};

struct TableCase {
    const char* name;
    FakeModule module;
    Column columns[CSPDDlg::kColumnCount];
    bool voltageLabel;
};

FakeModule With(std::vector<JedecEntry> jedec, std::vector<XmpProfile> xmp = {}, std::vector<EppProfile> epp = {},
                std::vector<AmpProfile> amp = {}) {
    FakeModule module;
    module.jedec = std::move(jedec);
    module.xmp = std::move(xmp);
    module.epp = std::move(epp);
    module.amp = std::move(amp);
    return module;
}

const XmpProfile kXmp1600{800, 9, 11.25f, 11.25f, 33.75f, 45, 1.65f, 2, {{667, 8}, {800, 9}}};
const XmpProfile kXmp1333{667, 9, 13.5f, 13.5f, 36, 49.5f, 1.5f, 1, {}};
const Column kEmpty{};
const Column kXmp1600Column{{"XMP-1600", "800 MHz", "9.0", "9", "9", "27", "36", "2T", "1.650 V"}};
const Column kXmp1333Column{{"XMP-1334", "667 MHz", "9.0", "10", "10", "25", "34", "1T", "1.500 V"}};
const Column kJedec2{{"JEDEC #2", "533 MHz", "7.0", "7", "7", "20", "27", "", ""}};
const Column kJedec3{{"JEDEC #3", "666 MHz", "9.0", "9", "9", "24", "33", "", ""}};

const TableCase kTables[] = {
    {"ThreeJedecTwoXmp", With(kThreeJedec, {kXmp1600, kXmp1333}), {kJedec2, kJedec3, kXmp1600Column, kXmp1333Column},
     true},
    {"TwoJedecOnly",
     With({{400.0f, 6}, {533.33f, 7}}),
     {kEmpty, kEmpty, {{"JEDEC #1", "400 MHz", "6.0", "6", "6", "15", "20", "", ""}}, kJedec2},
     false},
    {"TwoEppProfiles",
     With({{333.33f, 5}}, {}, {{400, 4, 15, 15, 45, 60, 1, 2.1f}, {533, 5, 15, 15, 45, 60, 2, 2.2f}}),
     {kEmpty,
      {{"JEDEC #1", "333 MHz", "5.0", "5", "5", "12", "17", "", ""}},
      {{"EPP #1", "400 MHz", "4.0", "6", "6", "18", "24", "1T", "2.100 V"}},
      {{"EPP #2", "533 MHz", "5.0", "8", "8", "24", "32", "2T", "2.200 V"}}},
     true},
    {"OneAmpProfile",
     With({{533.33f, 7, 1.5f}}, {}, {}, {{400, 2.5f, 5, 15, 15, 45, 60}}),
     {kEmpty, kEmpty, {{"JEDEC #1", "533 MHz", "7.0", "7", "7", "20", "27", "", "1.50 V"}},
      {{"AMP", "400 MHz", "5.0", "6", "6", "18", "24", "", ""}}},
     true},
    {"FiveXmpProfilesShowTheFirstFour",
     With(kThreeJedec, {kXmp1600, kXmp1333, kXmp1600, kXmp1333, kXmp1600}),
     {kXmp1600Column, kXmp1333Column, kXmp1600Column, kXmp1333Column},
     true},
    // CAS 9 with a table of 10 and 11 only: the CAS 10 entry's clock drives
    // tRCD, tRP and tRAS; tRC keeps the profile's own clock.
    {"XmpCasFromTheNearestHigherEntry",
     With({}, {{800, 9, 11.25f, 11.25f, 33.75f, 45, 1.65f, -1, {{933, 11}, {866, 10}}}}),
     {kEmpty, kEmpty, kEmpty, {{"XMP-1600", "800 MHz", "10.0", "10", "10", "30", "36", "", "1.650 V"}}},
     true},
};

void PrintTo(const TableCase& table, std::ostream* os) { *os << table.name; }

class SpdPageTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(SpdPageTable, FillsTheColumnsFromTheRight) {
    const TableCase& table = GetParam();
    SpdPage spd({table.module});
    CSPDDlg& page = spd.Open();
    for (int column = 0; column < CSPDDlg::kColumnCount; ++column) {
        SCOPED_TRACE(column);
        const char* heading = table.columns[column].cells[0];
        EXPECT_EQ(Heading(page, column), QString::fromUtf8(heading ? heading : ""));
        for (int row = 0; row < CSPDDlg::kRowCount; ++row) {
            const char* cell = table.columns[column].cells[1 + row];
            EXPECT_EQ(Cell(page, CSPDDlg::Row(row), column), QString::fromUtf8(cell ? cell : "")) << "row " << row;
        }
    }
    EXPECT_EQ(EnabledOf(page, CSPDDlg::IDC_LABEL_VOLTAGE), table.voltageLabel);
    EXPECT_EQ(EnabledOf(page, CSPDDlg::IDC_TIMING_GROUP), true);
}

INSTANTIATE_TEST_SUITE_P(Cases, SpdPageTable, ::testing::ValuesIn(kTables),
                         [](const ::testing::TestParamInfo<TableCase>& test) { return std::string(test.param.name); });

// The x58 sample's three DDR3 modules: the Kingston module's XMP profile
// beside its last three JEDEC entries, the Samsung modules' JEDEC entries
// alone; a slot past the modules is blank.
TEST(SpdPageX58, ShowsTheThreeModulesBySlot) {
    vexa::test::X58Application x58;
    CSPDDlg page(PageContext{x58.app, x58.fonts, nullptr}, nullptr);
    page.OnInitDialog();
    ASSERT_EQ(x58.queries.Lock(2000), 1);
    page.Fill();
    ASSERT_GE(Combo(page).count(), 3);

    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_TYPE), QStringLiteral(" DDR3"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_MAKER), QStringLiteral("Kingston"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_SIZE), QStringLiteral("4096 MBytes"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_PROFILES), QStringLiteral("XMP 1.2"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_DATE), QStringLiteral("39 / 11"));
    EXPECT_EQ(Heading(page, 2), QStringLiteral("JEDEC #4"));
    EXPECT_EQ(Cell(page, CSPDDlg::kClock, 2), QStringLiteral("666 MHz"));
    EXPECT_EQ(Cell(page, CSPDDlg::kRCD, 2), QStringLiteral("9"));
    EXPECT_EQ(Heading(page, 3), QStringLiteral("XMP-1600"));
    EXPECT_EQ(Cell(page, CSPDDlg::kCAS, 3), QStringLiteral("9.0"));
    EXPECT_EQ(Cell(page, CSPDDlg::kRAS, 3), QStringLiteral("27"));
    EXPECT_EQ(Cell(page, CSPDDlg::kVoltage, 3), QStringLiteral("1.650 V"));

    Combo(page).setCurrentIndex(2);
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_MAKER), QStringLiteral("Samsung"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_SIZE), QStringLiteral("8192 MBytes"));
    EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_PROFILES), QString());
    EXPECT_EQ(Heading(page, 3), QStringLiteral("JEDEC #7"));
    EXPECT_EQ(Cell(page, CSPDDlg::kClock, 3), QStringLiteral("933 MHz"));
    EXPECT_EQ(Heading(page, 0), QStringLiteral("JEDEC #4"));

    if (Combo(page).count() > 3) {
        Combo(page).setCurrentIndex(3);
        EXPECT_EQ(TextOf(page, CSPDDlg::IDC_MODULE_TYPE), QString());
        EXPECT_EQ(Heading(page, 3), QString());
    }
    x58.queries.Unlock();
}

} // namespace
