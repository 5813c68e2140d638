// The processor page: its value texts, what it shows of a processor, what
// it leaves alone when a value is unknown, its package combo, core menu and
// logo link, and the x58 sample machine's processor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include "app/ui/hyperlink.h"
#include "app/ui/processor_page.h"
#include "app/ui/processor_page_texts.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "tests/app/app_test_support.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::EnabledOf;
using vexa::test::FakeApplication;
using vexa::test::FakeCache;
using vexa::test::FakeProcessor;
using vexa::test::TextOf;

TEST(ProcessorTexts, Multiplier) {
    struct Case {
        float multiplier, minimum, maximum;
        const char* text;
    };
    const Case cases[] = {
        {12.0f, 8.0f, 12.0f, "x 12.0 ( 8 - 12 )"},
        {9.5f, 6.0f, 9.5f, "x 9.5 ( 6 - 9.5 )"},
        {12.25f, 8.0f, 12.0f, "x 12.25 ( 8.00 - 12.00 )"},
        {12.0f, -1.0f, -1.0f, "x 12.0"},
        {12.0f, 8.0f, -1.0f, "x 12.0"},
        {20.0f, 12.0f, 21.0f, "x 20.0 ( 12 - 21 )"},
        {7.5f, 5.5f, 7.5f, "x 7.5 ( 5.5 - 7.5 )"},
        {-1.0f, 8.0f, 12.0f, ""},
        {0.0f, 8.0f, 12.0f, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MultiplierText(c.multiplier, c.minimum, c.maximum), QString::fromUtf8(c.text)) << c.text;
}

TEST(ProcessorTexts, TechnologyCacheSizesAndWays) {
    EXPECT_EQ(TechnologyText(0.065f), QStringLiteral("65 nm"));
    EXPECT_EQ(TechnologyText(0.09f), QStringLiteral("90 nm"));
    EXPECT_EQ(TechnologyText(0.045f), QStringLiteral("45 nm"));
    EXPECT_EQ(TechnologyText(0.13f), QStringLiteral("0.13 um"));
    EXPECT_EQ(TechnologyText(0.18f), QStringLiteral("0.18 um"));

    EXPECT_EQ(CacheSizeText(1, 8192, true), QStringLiteral("8 MBytes"));
    EXPECT_EQ(CacheSizeText(2, 6144, true), QStringLiteral("2 x 6 MBytes"));
    EXPECT_EQ(CacheSizeText(1, 1536, true), QStringLiteral("1536 KBytes"));
    EXPECT_EQ(CacheSizeText(4, 32), QStringLiteral("4 x 32 KBytes"));
    EXPECT_EQ(CacheSizeText(1, 2048), QStringLiteral("2048 KBytes")) << "MBytes only for level 3";

    EXPECT_EQ(AssociativityText(4, 8), QStringLiteral("8-way"));
    EXPECT_EQ(AssociativityText(1, 1), QStringLiteral("direct"));
    EXPECT_EQ(AssociativityText(1, 255), QStringLiteral("fully"));
    EXPECT_EQ(AssociativityText(1, -1), QString());
    EXPECT_EQ(AssociativityText(0, 8), QString()) << "the query answered nothing";
}

TEST(ProcessorTexts, LogoLinkSearchesForTheBrandString) {
    EXPECT_EQ(LogoLinkURL(QStringLiteral("AB")),
              QStringLiteral("http://valid.vexa.example/search/search.php?psn=4142&sort=freq"));
    EXPECT_TRUE(LogoLinkURL(QStringLiteral("i7 @")).endsWith(QStringLiteral("psn=69372040&sort=freq")));
    EXPECT_TRUE(LogoLinkURL(QStringLiteral("가")).endsWith(QStringLiteral("psn=00&sort=freq")))
        << "the character's low byte";
}

// The Intel processor the page tests look at.
FakeProcessor CoreI7() {
    FakeProcessor p;
    p.name = L"Intel Core i7 920";
    p.codename = L"Bloomfield";
    p.hasCodename = true;
    p.brandString = L"Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz";
    p.package = L"Socket 1366 LGA";
    p.hasPackage = true;
    p.coreStepping = L"D0";
    p.hasCoreStepping = true;
    p.cores = 4;
    p.threads = 8;
    p.family = 6, p.model = 0xA, p.stepping = 5, p.extFamily = 6, p.extModel = 0x1A;
    p.classCode = 0x1020001;
    p.tdp = 130.0f;
    p.technology = 0.045f;
    p.ratedBus = 4800.0f;
    p.vid = 1.25f;
    p.instructionSets = {ISET_MMX, ISET_SSE, ISET_SSE2, ISET_SSE3, ISET_SSSE3, ISET_SSE41, ISET_SSE42,
                         ISET_X86_64, ISET_VIRTUALIZATION};
    p.caches = {{1, CACHE_DATA, 4, 32, 64, 8}, {1, CACHE_INSTRUCTION, 4, 32, 64, 4},
                {2, CACHE_UNIFIED, 4, 256, 64, 8}, {3, CACHE_UNIFIED, 1, 8192, 64, 16}};
    p.coreMHz = {2660.0f, 2660.0f, 2661.0f, 2660.0f};
    p.multiplier = 20.0f, p.minMultiplier = 12.0f, p.maxMultiplier = 20.0f;
    return p;
}

// A processor page on a table of answers, filled under the lock.
struct ProcessorPage : ::testing::Test {
    explicit ProcessorPage(FakeProcessor processor = CoreI7()) { fake.queries->processors = {processor}; }
    CProcessorDlg& Page() {
        if (!page) {
            page = std::make_unique<CProcessorDlg>(PageContext{fake.app, fake.fonts, &mainWindow}, nullptr);
            page->OnInitDialog();
            page->resize(ToPixelsX(261), ToPixelsY(199));
            fake.queries->Lock(0);
            page->Fill();
            fake.queries->Unlock();
        }
        return *page;
    }
    void Refresh() { SendWindowMessage(&Page(), WM_UPDATE_PAGE); }
    QString Text(int id) { return TextOf(Page(), id); }
    bool Enabled(int id) { return EnabledOf(Page(), id); }

    FakeApplication fake;
    struct Commands : Dialog {
        std::vector<int> ids;
        void OnCommand(int id) override { ids.push_back(id); }
    } mainWindow;
    std::unique_ptr<CProcessorDlg> page;
};

TEST_F(ProcessorPage, ShowsEveryFieldOfAProcessor) {
    fake.queries->busClock = 133.0f;
    struct Field {
        int id;
        const char* text;
    };
    const Field fields[] = {
        {1071, "Intel Core i7 920"},
        {1080, "Bloomfield"},
        {1166, "Max TDP"},
        {1102, "130.0 W"},
        {1108, "Socket 1366 LGA"},
        {1110, "45 nm"},
        {1038, "D0"},
        {1185, "Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz"},
        {1085, "6"},
        {1090, "A"},
        {1096, "5"},
        {1086, "6"},
        {1091, "1A"},
        {1190, " MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, EM64T, VT-x"},
        {1208, "클럭 (코어 #0)"},
        {1065, "2660.00 MHz"},
        {1112, "x 20.0 ( 12 - 20 )"},
        {1113, "133.00 MHz"},
        {1134, "QPI Link"},
        {1117, "4800.00 MHz"},
        {1155, "Core VID"},
        {1122, "1.250 V"},
        {1114, "4 x 32 KBytes"},
        {1115, "8-way"},
        {1121, "4 x 32 KBytes"},
        {1125, "4-way"},
        {1116, "4 x 256 KBytes"},
        {1126, "8-way"},
        {1118, "8 MBytes"},
        {1127, "16-way"},
        {1120, "4"},
        {1119, "8"},
    };
    for (const Field& field : fields) EXPECT_EQ(Text(field.id), QString::fromUtf8(field.text)) << field.id;
    for (const int label : {1193, 1166, 1143, 1155, 1129, 1132, 1216, 1130, 1131, 1134, 1152, 1153, 1123, 1124,
                            1154, 1156})
        EXPECT_TRUE(Enabled(label)) << label;
    auto* combo = Page().Item<QComboBox>(CProcessorDlg::IDC_PROCESSOR);
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Processor #1"));
    EXPECT_FALSE(combo->isEnabled()) << "one package: nothing to choose";
}

// Labels stay grey while their value is unknown, and nothing is written
// over; the counts are written whatever they are.
TEST_F(ProcessorPage, UnknownValuesLeaveFieldsAndLabelsAlone) {
    FakeProcessor bare;
    bare.hasBrandString = false;
    bare.cores = 1;
    bare.threads = 1;
    fake.queries->processors = {bare};
    Refresh();
    for (const int label : {1193, 1166, 1143, 1155, 1129, 1132, 1216, 1130, 1131, 1134, 1152, 1153, 1123, 1124})
        EXPECT_FALSE(Enabled(label)) << label;
    for (const int label : {1148, 1187, 1154, 1156, 1210, 1215}) EXPECT_TRUE(Enabled(label)) << label;
    for (const int field : {1080, 1102, 1108, 1110, 1038, 1185, 1085, 1065, 1112, 1113, 1117, 1122, 1114, 1118})
        EXPECT_EQ(Text(field), QString()) << field;
    EXPECT_EQ(Text(1071), QStringLiteral("Test Processor"));
    EXPECT_EQ(Text(1190), QStringLiteral(" ")) << "always written";
    EXPECT_EQ(Text(1134), QStringLiteral("측정된 FSB"));
}

// A value that becomes unknown keeps its last text; the technology's label
// turns grey again and the multiplier's field is emptied.
TEST_F(ProcessorPage, ValuesThatBecomeUnknown) {
    Page();
    FakeProcessor& p = fake.queries->processors[0];
    p.technology = -1.0f;
    p.multiplier = -1.0f;
    p.codename.clear();
    p.hasCodename = false;
    p.coreMHz.clear();
    Refresh();
    EXPECT_FALSE(Enabled(1132));
    EXPECT_EQ(Text(1110), QStringLiteral("45 nm"));
    EXPECT_EQ(Text(1112), QString());
    EXPECT_TRUE(Enabled(1130)) << "only the technology label turns grey again";
    EXPECT_EQ(Text(1080), QStringLiteral("Bloomfield"));
    EXPECT_EQ(Text(1065), QStringLiteral("2660.00 MHz"));
}

TEST_F(ProcessorPage, InstructionSetsByVendor) {
    struct Case {
        int classCode;
        std::vector<int> sets;
        const char* text;
    };
    const Case cases[] = {
        {0x1020201,
         {ISET_MMX, ISET_SSE, ISET_SSE2, ISET_SSE3, ISET_SSSE3, ISET_SSE41, ISET_SSE42, ISET_X86_64,
          ISET_VIRTUALIZATION, ISET_AES, ISET_AVX, ISET_AVX2, ISET_FMA3, ISET_RTM, ISET_HLE, ISET_NO_EXECUTE},
         " MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, EM64T, VT-x, AES, AVX, AVX2, FMA3, TSX"},
        {0x2004001,
         {ISET_MMX, ISET_MMX_EXTENSIONS, ISET_3DNOW, ISET_3DNOW_EXTENSIONS, ISET_SSE, ISET_SSE2, ISET_SSE3,
          ISET_SSE4A, ISET_X86_64, ISET_VIRTUALIZATION},
         " MMX(+), 3DNow!(+), SSE, SSE2, SSE3, SSE4A, x86-64, AMD-V"},
        {0x2040008, {ISET_MMX, ISET_AVX, ISET_XOP, ISET_FMA3, ISET_FMA4, ISET_HLE}, " MMX, AVX, XOP, FMA3, FMA4, HLE"},
        {0x8002000, {ISET_MMX, ISET_SSE, ISET_X86_64, ISET_VIRTUALIZATION, ISET_RTM}, " MMX, SSE, x86-64, VT-x, RTM"},
    };
    for (const Case& c : cases) {
        fake.queries->processors[0].classCode = c.classCode;
        fake.queries->processors[0].instructionSets = c.sets;
        Refresh();
        EXPECT_EQ(Text(1190), QString::fromUtf8(c.text)) << std::hex << c.classCode;
    }
}

TEST_F(ProcessorPage, CacheRows) {
    struct Case {
        const char* name;
        std::vector<FakeCache> caches;
        int boardCacheKB;
        const char* rows[8];  // 1114, 1115, 1121, 1125, 1116, 1126, 1118, 1127
        const char* level1CodeLabel;
    };
    const Case cases[] = {
        {"trace cache",
         {{1, CACHE_DATA, 1, 8, 64, 4}, {1, CACHE_TRACE, 1, 12, -1, 8}, {2, CACHE_UNIFIED, 1, 512, 64, 8}},
         -1,
         {"8 KBytes", "4-way", "12 Kuops", " 8-way", "512 KBytes", "8-way", "", ""},
         "Trace"},
        {"two level-3 caches",
         {{1, CACHE_DATA, 2, 64, 64, 2}, {1, CACHE_INSTRUCTION, 2, 64, 64, 2}, {2, CACHE_UNIFIED, 2, 512, 64, 16},
          {3, CACHE_UNIFIED, 2, 6144, 64, 48}},
         -1,
         {"2 x 64 KBytes", "2-way", "2 x 64 KBytes", "2-way", "2 x 512 KBytes", "16-way", "2 x 6 MBytes", "48-way"},
         "L1 명령어"},
        {"level 3 not a whole number of MB",
         {{3, CACHE_UNIFIED, 1, 1536, 64, 12}},
         -1,
         {"", "", "", "", "", "", "1536 KBytes", "12-way"},
         "L1 명령어"},
        {"mainboard cache after level 1",
         {{1, CACHE_DATA, 1, 8, 32, 2}, {1, CACHE_INSTRUCTION, 1, 8, 32, 2}},
         512,
         {"8 KBytes", "2-way", "8 KBytes", "2-way", "512 KBytes", "", "", ""},
         "L1 명령어"},
        {"mainboard cache after level 2",
         {{1, CACHE_DATA, 1, 16, 32, 1}, {2, CACHE_UNIFIED, 1, 256, 32, 255}},
         1024,
         {"16 KBytes", "direct", "", "", "256 KBytes", "fully", "1024 KBytes", ""},
         "L1 명령어"},
        {"split level 2: the data cache's count, both sizes",
         {{1, CACHE_DATA, 1, 16, 32, -1}, {2, CACHE_INSTRUCTION, 1, 16, 64, 4}, {2, CACHE_DATA, 1, 16, 64, 4}},
         -1,
         {"16 KBytes", "", "", "", "32 KBytes", "", "", ""},
         "L1 명령어"},
        {"geometry not answered, size unknown",
         {{1, CACHE_DATA, 1, 32, 64, 8, 0}, {2, CACHE_UNIFIED, 1, -1, 64, 8}},
         -1,
         {"32 KBytes", "", "", "", "", "", "", ""},
         "L1 명령어"},
    };
    constexpr int kRows[8] = {1114, 1115, 1121, 1125, 1116, 1126, 1118, 1127};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProcessor p;
        p.caches = c.caches;
        fake.queries->processors = {p};
        fake.queries->boardCacheKB = c.boardCacheKB;
        page.reset();
        for (int i = 0; i < 8; ++i) EXPECT_EQ(Text(kRows[i]), QString::fromUtf8(c.rows[i])) << kRows[i];
        EXPECT_EQ(Text(1153), QString::fromUtf8(c.level1CodeLabel));
        EXPECT_EQ(Enabled(1123), !QString::fromUtf8(c.rows[4]).isEmpty());
    }
}

TEST_F(ProcessorPage, BrandStringFallsBackToNameAndStockClock) {
    struct Case {
        const wchar_t* brandString;
        int stockClock;
        int engineeringSample;
        const char* text;
    };
    const Case cases[] = {
        {L"", 2400, 0, "Intel Core i7 920 2400 MHz"},
        {L"", 2400, 1, "Intel Core i7 920 2400 MHz (ES)"},
        {L"", -1, 0, "Intel Core i7 920"},
        {L"Genuine ES", 2400, 1, "Genuine ES (ES)"},
    };
    for (const Case& c : cases) {
        fake.queries->processors[0].brandString = c.brandString;
        fake.queries->processors[0].stockClock = c.stockClock;
        fake.queries->processors[0].engineeringSample = c.engineeringSample;
        Refresh();
        EXPECT_EQ(Text(1185), QString::fromUtf8(c.text));
    }
}

TEST_F(ProcessorPage, RatedBusVoltageAndBrandLabels) {
    struct Case {
        int classCode;
        const char* label;
    };
    const Case cases[] = {{0x1020105, "QPI Link"}, {0x2040008, "HT Link"}, {0x2002001, "HT Link"}};
    for (const Case& c : cases) {
        page.reset();
        fake.queries->processors[0].classCode = c.classCode;
        EXPECT_EQ(Text(1134), QString::fromUtf8(c.label)) << std::hex << c.classCode;
    }
    page.reset();
    fake.queries->processors[0].classCode = 0x1008001;
    EXPECT_EQ(Text(1134), QStringLiteral("측정된 FSB")) << "other processors keep the template's label";
    EXPECT_TRUE(Enabled(1134));

    fake.queries->coreVoltageSensor = 1.2f;
    fake.queries->processors[0].tdp = -1.0f;
    fake.queries->processors[0].brandId = 5;
    Refresh();
    EXPECT_EQ(Text(1155), QStringLiteral("코어 전압")) << "the sensor comes before the VID";
    EXPECT_EQ(Text(1122), QStringLiteral("1.200 V"));
    EXPECT_EQ(Text(1166), QStringLiteral("Brand ID"));
    EXPECT_EQ(Text(1102), QStringLiteral("5"));
}

// The selected core is kept; the page shows the nearest core it has.
TEST_F(ProcessorPage, SelectedCoreIsClampedForTheClocks) {
    fake.queries->processors[0].cores = 2;
    fake.queries->processors[0].coreMHz = {1000.0f, 2000.0f};
    struct Case {
        int selected;
        const char* group;
        const char* clock;
    };
    const Case cases[] = {{5, "클럭 (코어 #1)", "2000.00 MHz"}, {-3, "클럭 (코어 #0)", "1000.00 MHz"}};
    for (const Case& c : cases) {
        fake.app.m_iSelectedCore = c.selected;
        Refresh();
        EXPECT_EQ(Text(CProcessorDlg::IDC_GROUP_CLOCKS), QString::fromUtf8(c.group));
        EXPECT_EQ(Text(1065), QString::fromUtf8(c.clock));
        EXPECT_EQ(fake.app.m_iSelectedCore, c.selected);
    }
}

// One item per core of package 0, made once; the refresh writes the
// clocks and checks the selected core.
TEST_F(ProcessorPage, CoreMenu) {
    FakeProcessor second = CoreI7();
    second.cores = 6;
    second.coreMHz = {3000.0f, 3000.0f, 3000.0f, 3000.0f, 3000.0f, 3000.0f};
    fake.queries->processors[0].coreMHz = {2660.0f, -1.0f, 2661.0f, 2660.0f};
    fake.queries->processors.push_back(second);
    fake.app.m_iSelectedCore = 2;
    QMenu* menu = Page().CoreMenu();
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Core #0\t2660.0 MHz"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Core #1"));
    EXPECT_TRUE(menu->actions()[2]->isChecked());
    EXPECT_FALSE(menu->actions()[0]->isChecked());

    auto* combo = Page().Item<QComboBox>(CProcessorDlg::IDC_PROCESSOR);
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Processor #2"));
    combo->setCurrentIndex(1);
    Refresh();
    EXPECT_EQ(menu->actions().size(), 4) << "items are never added";
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Core #1\t3000.0 MHz"));
    EXPECT_EQ(Text(1120), QStringLiteral("6"));
}

// A right click opens the core menu; the chosen core goes to the main
// window as a command.
TEST_F(ProcessorPage, RightClickChoosesACore) {
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        menu->setActiveAction(menu->actions().at(3));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(menu, &enter);
    });
    const QPointF at(300, 330);
    QMouseEvent release(QEvent::MouseButtonRelease, at, Page().mapToGlobal(at), Qt::RightButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&Page(), &release);
    QElapsedTimer elapsed;
    elapsed.start();
    while (mainWindow.ids.empty() && elapsed.elapsed() < 10000) QApplication::processEvents();
    EXPECT_EQ(mainWindow.ids, std::vector<int>{CProcessorDlg::ID_SELECT_CORE + 3});
}

// The badge is centred in its frame, the link covers exactly it and
// searches for the brand string; an engineering sample has no link.
TEST_F(ProcessorPage, LogoAndItsLink) {
    fake.queries->processors[0].brandString = L"AB";
    EXPECT_EQ(Page().LogoBitmap(), 179);
    const QRect logo = Page().LogoRect();
    EXPECT_EQ(logo.size(), QSize(93, 70));
    EXPECT_LE(std::abs(logo.center().x() - ToPixels({195, 10, 60, 43}).center().x()), 1);
    EXPECT_EQ(Page().LogoLink()->geometry(), logo);

    vexa::test::ShellRecorder shell(kShellExecuteStarted);
    const QPointF inside(10, 10);
    QMouseEvent press(QEvent::MouseButtonPress, inside, inside, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, inside, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Page().LogoLink(), &press);
    QApplication::sendEvent(Page().LogoLink(), &release);
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].file, L"http://valid.vexa.example/search/search.php?psn=4142&sort=freq");

    // Drawn through its mask: the badge shows, its corners show the page.
    const QImage shot = Page().grab().toImage();
    EXPECT_EQ(shot.pixelColor(logo.topLeft()), shot.pixelColor(logo.topLeft() - QPoint(1, 0)));
    EXPECT_NE(shot.pixelColor(logo.center()), shot.pixelColor(logo.topLeft()));

    page.reset();
    fake.queries->processors[0].engineeringSample = 1;
    EXPECT_FALSE(Page().LogoLink()->isEnabled());
    fake.queries->processors[0].classCode = 0x12345;
    page.reset();
    EXPECT_EQ(Page().LogoBitmap(), 194) << "a code without a badge: the blank picture";
}

// The x58 sample's Core i7 920, read through the same query layer the
// page reads; the richer names of the Nehalem description arrive through
// those queries too.
TEST(ProcessorPageX58, ShowsTheSampleProcessor) {
    vexa::test::X58Application x58;
    CProcessorDlg page(PageContext{x58.app, x58.fonts, nullptr}, nullptr);
    page.OnInitDialog();
    ASSERT_EQ(x58.queries.Lock(2000), 1);
    page.Fill();
    SendWindowMessage(&page, WM_UPDATE_PAGE);

    wchar_t text[kInfoTextChars] = {};
    ASSERT_EQ(x58.queries.GetProcessorName(0, text), 1);
    EXPECT_EQ(TextOf(page, 1071), QString::fromWCharArray(text));
    EXPECT_FALSE(TextOf(page, 1071).isEmpty());
    if (x58.queries.GetCodename(0, text)) {
        EXPECT_EQ(TextOf(page, 1080), QString::fromWCharArray(text));
    }
    if (x58.queries.GetPackage(0, text)) {
        EXPECT_EQ(TextOf(page, 1108), QString::fromWCharArray(text));
    }
    const float technology = x58.queries.GetTechnology(0);
    EXPECT_EQ(EnabledOf(page, 1132), technology > 0);
    if (technology > 0) {
        EXPECT_EQ(TextOf(page, 1110), TechnologyText(technology));
    }
    EXPECT_EQ(TextOf(page, 1185), QStringLiteral("Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz"));
    EXPECT_EQ(TextOf(page, 1085), QStringLiteral("6"));
    EXPECT_EQ(TextOf(page, 1090), QStringLiteral("A"));
    EXPECT_EQ(TextOf(page, 1096), QStringLiteral("4"));
    EXPECT_EQ(TextOf(page, 1086), QStringLiteral("6"));
    EXPECT_EQ(TextOf(page, 1091), QStringLiteral("1A"));
    EXPECT_EQ(TextOf(page, 1190), QStringLiteral(" MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, EM64T, VT-x"));
    EXPECT_EQ(TextOf(page, 1114), QStringLiteral("4 x 32 KBytes"));
    EXPECT_EQ(TextOf(page, 1115), QStringLiteral("8-way"));
    EXPECT_EQ(TextOf(page, 1121), QStringLiteral("4 x 32 KBytes"));
    EXPECT_EQ(TextOf(page, 1125), QStringLiteral("4-way"));
    EXPECT_EQ(TextOf(page, 1116), QStringLiteral("4 x 256 KBytes"));
    EXPECT_EQ(TextOf(page, 1126), QStringLiteral("8-way"));
    EXPECT_EQ(TextOf(page, 1118), QStringLiteral("8 MBytes"));
    EXPECT_EQ(TextOf(page, 1127), QStringLiteral("16-way"));
    EXPECT_EQ(TextOf(page, 1120), QStringLiteral("4"));
    EXPECT_EQ(TextOf(page, 1119), QStringLiteral("8"));

    // The clocks as the library holds them now (the lock keeps them still).
    const float clock = x58.queries.GetCoreClock(0, 0);
    ASSERT_GT(clock, 0);
    EXPECT_EQ(TextOf(page, 1065), QString::asprintf("%.2f MHz", clock / 3.1415927410125732));
    const float multiplier = x58.queries.GetCoreMultiplier(0, 0);
    EXPECT_EQ(TextOf(page, 1112), MultiplierText(multiplier, x58.queries.GetCoreMinMultiplier(0, 0),
                                                 x58.queries.GetCoreMaxMultiplier(0, 0)));
    EXPECT_TRUE(TextOf(page, 1112).startsWith(QStringLiteral("x ")));
    const float bus = x58.queries.GetBusClock();
    ASSERT_GT(bus, 0);
    EXPECT_EQ(TextOf(page, 1113), QString::asprintf("%.2f MHz", bus));
    const float rated = x58.queries.GetRatedBusClock(0);
    EXPECT_EQ(EnabledOf(page, 1134), rated > 0);
    // A Core i7 of the first generation: its QPI link and its badge.
    if (rated > 0) {
        EXPECT_EQ(TextOf(page, 1134), QStringLiteral("QPI Link"));
    }
    EXPECT_EQ(page.LogoBitmap(), 179);
    x58.queries.Unlock();
}

} // namespace
