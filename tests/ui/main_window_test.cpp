// The main window: its tabs, Tools menu and buttons, the once-a-second
// refresh of the visible page under the library lock, the minimised title,
// the core commands, the first fill of the pages under the lock, and
// screenshots of the x58 sample's two pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>

#include <atomic>
#include <cwchar>
#include <chrono>
#include <thread>

#include "app/ui/cache_page.h"
#include "app/ui/main_dialog.h"
#include "app/ui/menu_button.h"
#include "app/ui/my_tab_ctl.h"
#include "app/ui/processor_page.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::EnabledOf;
using vexa::test::FakeApplication;
using vexa::test::SaveScreenshot;
using vexa::test::TextOf;
using vexa::test::UpdateCounter;

// The main window with its timer tick at hand.
class MainWindow : public CvexaDlg {
public:
    using CvexaDlg::CvexaDlg;
    void Tick() { OnTimer(kRefreshTimer); }
    Page* PageAt(int index) const { return TabCtl()->GetPage(index); }
    void SelectTab(int index) { TabCtl()->SetCurSel(index); }
};

struct MainWindowTest : ::testing::Test {
    MainWindowTest() {
        std::wcscpy(fake.app.m_szVersion, L"1.71.0");
        fake.queries->processors[0].cores = 2;
        fake.queries->processors[0].coreMHz = {2992.5f, 3000.0f};
        fake.queries->processors[0].caches = {{1, CACHE_DATA, 2, 32, 64, 8}};
    }
    MainWindow& Window() {
        if (!window) {
            window = std::make_unique<MainWindow>(fake.app, fake.fonts);
            for (int i = 0; i < CMyTabCtl::kPageCount; ++i) updates.Watch(window->PageAt(i));
        }
        return *window;
    }

    FakeApplication fake;
    UpdateCounter updates;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, SevenTabsToolsMenuAndButtons) {
    CMyTabCtl* tabs = Window().TabCtl();
    ASSERT_EQ(tabs->GetItemCount(), 7);
    const char* texts[] = {"CPU", "캐시", "메인보드", "메모리", "SPD", "그래픽", "정보"};
    const int templates[] = {129, 130, 131, 132, 133, 203, 134};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(tabs->GetItemText(i), QString::fromUtf8(texts[i]));
        ASSERT_TRUE(Window().PageAt(i));
        EXPECT_EQ(Window().PageAt(i)->TemplateId(), templates[i]);
        EXPECT_EQ(Window().PageAt(i)->isVisibleTo(tabs), i == 0);
    }
    EXPECT_EQ(Window().objectName(), QStringLiteral("102"));
    EXPECT_EQ(tabs->objectName(), QStringLiteral("1000"));

    CMenuButton* tools = Window().ToolsButton();
    EXPECT_EQ(tools, Window().GetDlgItem(1029));
    EXPECT_EQ(tools->text(), QStringLiteral("도구"));
    EXPECT_TRUE(tools->m_bHasItems);
    EXPECT_EQ(tools->MenuIds(), (QList<int>{1500, 1501, 0, 1503, 1504, 0, 1505, 1506}));
    const char* items[] = {"드라이버 업데이트 체크", "바이오스 업데이트 체크", "", "보고서 저장 (.txt)",
                           "보고서 저장 (.html)", "", "새 업데이트 확인", "Vexa 안드로이드 정보 얻기"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(tools->Menu()->actions()[i]->text(), QString::fromUtf8(items[i]));

    EXPECT_EQ(TextOf(Window(), 1003), QStringLiteral("인증"));
    EXPECT_EQ(TextOf(Window(), 1), QStringLiteral("확인"));
    EXPECT_EQ(TextOf(Window(), 1002), QStringLiteral("버전 1.71.0.x32"));
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Vexa"));
    EXPECT_TRUE(Window().HasTimer(CvexaDlg::kRefreshTimer));
}

// Every tick refreshes the visible page, and only that one.
TEST_F(MainWindowTest, OnlyTheVisiblePageIsRefreshed) {
    Page* processor = Window().PageAt(0);
    Page* caches = Window().PageAt(1);
    Window().Tick();
    EXPECT_EQ(updates.CountOf(processor), 1);
    EXPECT_EQ(updates.Total(), 1);
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Vexa "));

    Window().SelectTab(1);
    EXPECT_EQ(Window().TabCtl()->m_nCurrentPage, 1);
    EXPECT_FALSE(processor->isVisibleTo(Window().TabCtl()));
    EXPECT_TRUE(caches->isVisibleTo(Window().TabCtl()));
    Window().Tick();
    Window().Tick();
    EXPECT_EQ(updates.CountOf(caches), 2);
    EXPECT_EQ(updates.CountOf(processor), 1);
    EXPECT_EQ(updates.Total(), 3);

    // Selecting the visible tab again changes nothing.
    Window().OnTabChange();
    EXPECT_TRUE(caches->isVisibleTo(Window().TabCtl()));
    EXPECT_EQ(Window().TabCtl()->m_nCurrentPage, 1);

    std::wcscpy(fake.app.m_szValidationId, L"a1b2c3");
    Window().Tick();
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Vexa - ID : a1b2c3"));
    EXPECT_EQ(fake.queries->lockDepth, 0) << "every lock taken is released";
}

TEST_F(MainWindowTest, BusyLibrarySkipsTheTick) {
    Window();
    fake.queries->lockBusy = true;
    Window().Tick();
    EXPECT_EQ(updates.Total(), 0);
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Vexa"));
    fake.queries->lockBusy = false;
    Window().Tick();
    EXPECT_EQ(updates.Total(), 1);
}

// Minimised, the title shows the selected core's clock and no page is
// refreshed; restored, it reads "Vexa" at once.
TEST_F(MainWindowTest, MinimisedTitleShowsTheClock) {
    Window().show();
    Window().setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(Window().IsMinimizedFlag());
    Window().Tick();
    EXPECT_EQ(Window().windowTitle(), QStringLiteral(" 2992.50 MHz (Core #0)"));
    Window().OnCommand(CvexaDlg::ID_SELECT_CORE_FIRST + 1);
    Window().Tick();
    EXPECT_EQ(Window().windowTitle(), QStringLiteral(" 3000.00 MHz (Core #1)"));
    Window().OnCommand(CvexaDlg::ID_SELECT_CORE_FIRST + 5);
    Window().Tick();
    EXPECT_EQ(Window().windowTitle(), QStringLiteral(" updating ...")) << "a core without a clock";
    EXPECT_EQ(updates.Total(), 0);

    Window().setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(Window().IsMinimizedFlag());
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Vexa"));
    Window().Tick();
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Vexa "));
    EXPECT_EQ(updates.Total(), 1);
}

TEST_F(MainWindowTest, CoreCommandsSelectTheCore) {
    struct Case {
        int command;
        int core;
    };
    const Case cases[] = {{4096, 0}, {4128, 32}, {4097, 1}, {4129, 1}, {4095, 1}};
    for (const Case& c : cases) {
        Window().OnCommand(c.command);
        EXPECT_EQ(fake.app.m_iSelectedCore, c.core) << c.command;
    }
}

// The pages are filled once when the window opens, with the library lock
// held: the refresher thread replaces library objects meanwhile.
TEST_F(MainWindowTest, FirstFillReadsUnderTheLibraryLock) {
    Window();
    EXPECT_GT(fake.queries->queries, 0);
    EXPECT_EQ(fake.queries->queriesWithoutLock, 0);
    EXPECT_EQ(fake.queries->lockDepth, 0);
    EXPECT_TRUE(Window().PageAt(0)->IsFilled());
    EXPECT_TRUE(Window().PageAt(1)->IsFilled());
    EXPECT_EQ(TextOf(*Window().PageAt(0), 1071), QStringLiteral("Test Processor"));
}

// A lock that stays busy while the window opens leaves the pages empty
// until their first refresh, which holds the lock.
TEST_F(MainWindowTest, PagesNotFilledAtOpeningAreFilledByTheirFirstRefresh) {
    fake.queries->lockBusy = true;
    Window();
    EXPECT_EQ(fake.queries->queries, 0);
    EXPECT_FALSE(Window().PageAt(0)->IsFilled());
    fake.queries->lockBusy = false;
    Window().Tick();
    EXPECT_TRUE(Window().PageAt(0)->IsFilled());
    EXPECT_EQ(TextOf(*Window().PageAt(0), 1071), QStringLiteral("Test Processor"));
    EXPECT_FALSE(Window().PageAt(1)->IsFilled()) << "not visible, not refreshed";
    Window().SelectTab(1);
    Window().Tick();
    EXPECT_EQ(TextOf(*Window().PageAt(1), CCacheDlg::kGroups[0].sizeValue), QStringLiteral(" 32 KBytes"));
    EXPECT_EQ(fake.queries->queriesWithoutLock, 0);
}

// Keeps the library lock on another thread while the object lives.
class LockHolder {
public:
    explicit LockHolder(CLocalInfoParser& queries) {
        m_Thread = std::thread([&] {
            queries.Lock(INFINITE);
            m_Held = true;
            while (!m_Release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            queries.Unlock();
        });
        while (!m_Held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LockHolder() {
        m_Release = true;
        m_Thread.join();
    }

private:
    std::thread m_Thread;
    std::atomic<bool> m_Held{false}, m_Release{false};
};

// The x58 sample in the window: ticks refresh from the library, a tick
// while another thread holds the library lock is skipped, and the
// processor, caches and SPD pages are photographed (VEXA_SCREENSHOT_DIR
// names the folder).
TEST(MainWindowX58, RefreshesAndPhotographsThePages) {
    vexa::test::X58Application x58;
    MainWindow window(x58.app, x58.fonts);
    UpdateCounter updates;
    updates.Watch(window.PageAt(0));
    window.show();
    window.Tick();
    EXPECT_EQ(updates.CountOf(window.PageAt(0)), 1);
    EXPECT_FALSE(TextOf(*window.PageAt(0), 1071).isEmpty());
    EXPECT_TRUE(TextOf(*window.PageAt(0), 1065).endsWith(QStringLiteral(" MHz")));
    {
        LockHolder busy(x58.queries);
        window.Tick();
    }
    EXPECT_EQ(updates.CountOf(window.PageAt(0)), 1) << "the busy tick was skipped";
    window.Tick();
    EXPECT_EQ(updates.CountOf(window.PageAt(0)), 2);
    SaveScreenshot(window, "processor-page.png");
    window.SelectTab(1);
    window.Tick();
    SaveScreenshot(window, "caches-page.png");
    window.SelectTab(4);
    SaveScreenshot(window, "spd-page.png");
}

// The mainboard and memory pages of the two Intel samples, filled from
// their libraries and photographed (VEXA_SCREENSHOT_DIR names the folder).
struct SamplePages {
    const char* name;
    const char* sample;
    const wchar_t* northbridge;
    const wchar_t* memoryType;  // null: not known
    const wchar_t* channels;
    const wchar_t* timings[4];  // CL, tRCD, tRP, tRAS; null: empty
    bool dramClock;
};

class IntelSamplePages : public ::testing::TestWithParam<SamplePages> {};

TEST_P(IntelSamplePages, MainboardAndMemoryPagesArePhotographed) {
    const SamplePages& c = GetParam();
    vexa::test::X58Application sample(c.sample);
    MainWindow window(sample.app, sample.fonts);
    window.show();
    window.SelectTab(2);
    window.Tick();
    Page& board = *window.PageAt(2);
    EXPECT_EQ(TextOf(board, 1161), QStringLiteral("Intel"));
    EXPECT_EQ(TextOf(board, 1048), QString::fromWCharArray(c.northbridge));
    EXPECT_TRUE(EnabledOf(board, 1184));
    EXPECT_TRUE(EnabledOf(board, 1172)) << "the BIOS vendor of the SMBIOS table";
    SaveScreenshot(window, (std::string(c.name) + "-mainboard-page.png").c_str());

    window.SelectTab(3);
    window.Tick();
    Page& memory = *window.PageAt(3);
    EXPECT_EQ(TextOf(memory, 1232), c.memoryType ? QString::fromWCharArray(c.memoryType) : QString());
    EXPECT_EQ(TextOf(memory, 1068), QString::fromWCharArray(c.channels));
    const int timingFields[] = {1067, 1070, 1073, 1076};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(TextOf(memory, timingFields[i]), c.timings[i] ? QString::fromWCharArray(c.timings[i]) : QString());
    EXPECT_EQ(TextOf(memory, 1064).endsWith(QStringLiteral(" MHz")), c.dramClock) << TextOf(memory, 1064).toStdString();
    SaveScreenshot(window, (std::string(c.name) + "-memory-page.png").c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Samples, IntelSamplePages,
    ::testing::Values(SamplePages{"gm965", "machines/fujitsu-p8010-gm965", L"GM965", L" DDR2", L"Dual",
                                  {L"4.0 clocks", L"5 clocks", L"5 clocks", L"13 clocks"}, true},
                      SamplePages{"x58", "machines/x58-nehalem", L"X58", L" DDR3", L"Triple",
                                  {L"9.0 clocks", L"9 clocks", L"9 clocks", L"24 clocks"}, true}),
    [](const ::testing::TestParamInfo<SamplePages>& row) { return std::string(row.param.name); });

} // namespace
