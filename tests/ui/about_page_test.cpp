// The about page (versions from the query layer, links), the report saves
// of the page and of the Tools menu (full text report, short HTML report,
// the current directory kept), the update dialog, and screenshots of both.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QCloseEvent>
#include <QLabel>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/maker_site.h"
#include "app/ui/about_page.h"
#include "app/ui/hyperlink.h"
#include "app/ui/main_dialog.h"
#include "app/ui/my_tab_ctl.h"
#include "app/ui/report_saving.h"
#include "app/ui/update_dialog.h"
#include "platform/environment.h"
#include "sdk/core/report_generator.h"
#include "tests/app/app_test_support.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::FakeApplication;
using vexa::test::FakeQueries;
using vexa::test::SaveScreenshot;
using vexa::test::ShellRecorder;
using vexa::test::TextOf;
namespace fs = std::filesystem;

// The fake query layer with the software queries and two reports that say
// which one was asked for.
class SoftwareQueries : public FakeQueries {
public:
    using FakeQueries::FakeQueries;
    bool answer = true;
    int GetWindowsVersion(wchar_t* text) override { return Answer(text, L"Windows 7 Ultimate (x64)"); }
    int GetWindowsBuild(wchar_t* text) override { return Answer(text, L"Service Pack 1 (Build 7601)"); }
    int GetDirectXVersion(wchar_t* text) override { return Answer(text, L"11.0"); }
    void WriteReport(CReportGenerator* report) override { report->PrintTitleW(L"the full report"); }
    void WriteHTMLReport(CReportGenerator* report) override { report->PrintTitleW(L"the short report"); }

private:
    int Answer(wchar_t* text, const wchar_t* value) {
        if (!answer) return 0;
        std::wcscpy(text, value);
        return 1;
    }
};

struct AboutTest : ::testing::Test {
    AboutTest() {
        std::wcscpy(fake.app.m_szVersion, L"1.71.0");
        delete fake.app.m_pInfoParser;
        queries = new SoftwareQueries(fake.app.m_Settings, fake.app.g_bNoValidation);
        fake.app.m_pInfoParser = queries;
        fs::create_directories(program);
        fs::create_directories(elsewhere);
        fs::current_path(program);
    }
    ~AboutTest() override { vexa::ui::testing::setSaveDialog(nullptr); }
    CvexaDlg& Window() {
        if (!window) window = std::make_unique<CvexaDlg>(fake.app, fake.fonts);
        return *window;
    }
    CAboutDlg& About() { return *static_cast<CAboutDlg*>(Window().TabCtl()->GetPage(6)); }

    FakeApplication fake;
    SoftwareQueries* queries;
    std::unique_ptr<CvexaDlg> window;
    const fs::path program = fs::temp_directory_path() / "program";
    const fs::path elsewhere = fs::temp_directory_path() / "elsewhere";
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(AboutTest, ShowsTheVersionsAndTheLinks) {
    EXPECT_EQ(About().TemplateId(), 134);
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_VERSION), QStringLiteral("Version 1.71.0"));
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_WINDOWS_VERSION), QStringLiteral("Windows 7 Ultimate (x64)"));
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_WINDOWS_BUILD), QStringLiteral("Service Pack 1 (Build 7601)"));
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_DIRECTX_VERSION), QStringLiteral("DirectX 11.0"));
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_ABOUT_GROUP), QStringLiteral("Vexa 정보"));
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_SAVE_TXT), QStringLiteral("보고서 저장 (.TXT)"));

    auto url = [&](int id) { return About().Item<CHyperLink>(id)->URL().toStdWString(); };
    EXPECT_EQ(url(CAboutDlg::IDC_MAKER_LINK), vexa::site::MakerAddress(L"/softwares/vexa.html"));
    EXPECT_EQ(url(CAboutDlg::IDC_SERVICES_LINK), vexa::site::ServicesAddress(L"/products-services.php"));
    EXPECT_EQ(url(CAboutDlg::IDC_MAKER_LOGO), vexa::site::ServicesAddress(L"/products-services.php"));
    EXPECT_EQ(url(CAboutDlg::IDC_ANDROID_LOGO), vexa::site::MakerAddress(L"/softwares/vexa-android.html"));
    EXPECT_EQ(About().GetDlgItem(CAboutDlg::IDC_MAKER_LOGO)->size(), QSize(108, 56));
    EXPECT_EQ(About().GetDlgItem(CAboutDlg::IDC_ANDROID_LOGO)->size(), QSize(56, 66));
    // Values in the value colour, links underlined in the label font.
    EXPECT_EQ(About().GetDlgItem(CAboutDlg::IDC_WINDOWS_VERSION)->palette().color(QPalette::WindowText),
              fake.fonts.textColor);
    EXPECT_TRUE(About().GetDlgItem(CAboutDlg::IDC_MAKER_LINK)->font().underline());
    EXPECT_EQ(About().GetDlgItem(CAboutDlg::IDC_MAKER_LINK)->font().family(), fake.fonts.label.family());

    Window().TabCtl()->SetCurSel(6);
    SaveScreenshot(Window(), "about-page.png");
}

TEST_F(AboutTest, UnansweredVersionsKeepTheTemplateTexts) {
    queries->answer = false;
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_WINDOWS_VERSION), QStringLiteral("Windows"));
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_WINDOWS_BUILD), QStringLiteral("SP"));
    EXPECT_EQ(TextOf(About(), CAboutDlg::IDC_DIRECTX_VERSION), QStringLiteral("DirectX"));
}

// Each save, from the page's buttons and from the Tools menu: the dialog
// proposes the computer's name and, though it moved the current directory
// away, the program folder is current afterwards, so that a following F5
// lands there.
TEST_F(AboutTest, SavesWriteTheirReportAndKeepTheCurrentDirectory) {
    char computer[512] = {};
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    struct Case {
        bool fromPage;
        int command;
        const char* file;
        QString defaultName;
        QStringList filters;
        std::vector<std::string> wanted;
        std::string unwanted;
    };
    const QString name = QString::fromUtf8(computer);
    const Case cases[] = {
        {true, CAboutDlg::IDC_SAVE_TXT, "page.txt", name + ".txt", {"TXT File (*.txt)", "All Files (*.*)"},
         {"Vexa TXT Report", "Binaries", "Vexa version\t\t\t1.71.0.x32", "the full report"}, "the short report"},
        {true, CAboutDlg::IDC_SAVE_HTML, "page.html", name + ".html", {"HTML File (*.htm)", "All Files (*.*)"},
         {"Vexa", "Binaries", "1.71.0.x32", "the short report"}, "the full report"},
        {false, CvexaDlg::ID_SAVE_TXT_REPORT, "menu.txt", name + ".txt", {"TXT File (*.txt)", "All Files (*.*)"},
         {"Vexa TXT Report", "1.71.0.x32", "the full report"}, "the short report"},
        {false, CvexaDlg::ID_SAVE_HTML_REPORT, "menu.html", name + ".html", {"HTML File (*.htm)", "All Files (*.*)"},
         {"1.71.0.x32", "the short report"}, "the full report"},
    };
    for (const Case& c : cases) {
        SaveDialogRequest seen;
        vexa::ui::testing::setSaveDialog([&](const SaveDialogRequest& request) {
            seen = request;
            fs::current_path(elsewhere);  // as a file dialog may do
            return QString::fromStdString((elsewhere / c.file).string());
        });
        if (c.fromPage) About().OnCommand(c.command);
        else Window().OnCommand(c.command);
        EXPECT_EQ(seen.defaultName, c.defaultName);
        EXPECT_EQ(seen.filters, c.filters);
        EXPECT_EQ(seen.owner, &Window());
        EXPECT_EQ(fs::current_path(), program) << c.file;
        const std::string text = ReadFile(elsewhere / c.file);
        for (const std::string& part : c.wanted) EXPECT_NE(text.find(part), std::string::npos) << c.file << ": " << part;
        EXPECT_EQ(text.find(c.unwanted), std::string::npos) << c.file;
    }
    Window().TabCtl()->SetCurSel(2);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &press);
    EXPECT_TRUE(fs::is_regular_file(program / "mainboard.bmp"));
}

TEST_F(AboutTest, CancelledSaveWritesNothing) {
    vexa::ui::testing::setSaveDialog([&](const SaveDialogRequest&) {
        fs::current_path(elsewhere);
        return QString();
    });
    About().OnCommand(CAboutDlg::IDC_SAVE_TXT);
    EXPECT_EQ(fs::current_path(), program);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_TRUE(fs::is_empty(program));
}

TEST_F(AboutTest, SaveIntoAFolderLeavesItUntouched) {
    fs::create_directory(elsewhere / "taken.txt");
    vexa::ui::testing::setSaveDialog([&](const SaveDialogRequest&) { return QString::fromStdString((elsewhere / "taken.txt").string()); });
    About().OnCommand(CAboutDlg::IDC_SAVE_TXT);
    EXPECT_TRUE(fs::is_directory(elsewhere / "taken.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
}

struct UpdateDialogTest : ::testing::Test {
    FakeApplication fake;
    const int program[4] = {1, 7, 1, 0};
    const int offered[4] = {1, 7, 2, 0};
};

TEST_F(UpdateDialogTest, ShowsBothVersionsAndStoresTheCheckBoxOnOK) {
    CUpdateDlg dialog(fake.app, fake.fonts, program, offered);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Vexa 업데이트"));
    EXPECT_EQ(TextOf(dialog, CUpdateDlg::IDC_CURRENT), QStringLiteral("1.71.0"));
    EXPECT_EQ(TextOf(dialog, CUpdateDlg::IDC_LATEST), QStringLiteral("1.72.0"));
    EXPECT_EQ(TextOf(dialog, CUpdateDlg::IDC_AVAILABLE), QStringLiteral("Vexa의 새 버전을 사용할 수 있습니다."));
    auto* box = dialog.Item<QCheckBox>(CUpdateDlg::IDC_CHECK_AT_START);
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isChecked());
    SaveScreenshot(dialog, "update-dialog.png");

    box->setChecked(false);
    dialog.OnCommand(IDOK);
    EXPECT_EQ(fake.app.m_Settings.CheckUpdates, 0);
}

TEST_F(UpdateDialogTest, HistoryButtonOpensTheHistoryAndLeavesTheSetting) {
    ShellRecorder shell(42);
    CUpdateDlg dialog(fake.app, fake.fonts, program, offered);
    dialog.Item<QCheckBox>(CUpdateDlg::IDC_CHECK_AT_START)->setChecked(false);
    dialog.OnCommand(CUpdateDlg::IDC_UPDATE);
    EXPECT_EQ(fake.app.m_Settings.CheckUpdates, 1);
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].file, vexa::site::MakerAddress(L"/softwares/vexa/versions-history.html"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(UpdateDialogTest, ClosingStoresTheCheckBox) {
    fake.app.m_Settings.CheckUpdates = 0;
    CUpdateDlg dialog(fake.app, fake.fonts, program, offered);
    EXPECT_FALSE(dialog.Item<QCheckBox>(CUpdateDlg::IDC_CHECK_AT_START)->isChecked());
    dialog.Item<QCheckBox>(CUpdateDlg::IDC_CHECK_AT_START)->setChecked(true);
    dialog.show();
    dialog.close();
    EXPECT_EQ(fake.app.m_Settings.CheckUpdates, 1);
}

} // namespace
