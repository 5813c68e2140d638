// The validation dialog (its texts, links and kept inputs, the submission
// against a local server with its messages and limits, the id typed by
// hand, the saved file), the main window's validation button, F7 and the
// about page's button, and a screenshot with a Korean name and e-mail.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <QValidator>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/maker_site.h"
#include "app/ui/about_page.h"
#include "app/ui/hyperlink.h"
#include "app/ui/main_dialog.h"
#include "app/ui/my_tab_ctl.h"
#include "app/ui/report_saving.h"
#include "app/ui/validation_dialog.h"
#include "platform/environment.h"
#include "tests/app/app_test_support.h"
#include "tests/support/local_http_server.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::FakeApplication;
using vexa::test::LocalHttpServer;
using vexa::test::MessageBoxRecorder;
using vexa::test::SaveScreenshot;
using vexa::test::TextOf;
namespace fs = std::filesystem;

// The main window with its timer tick at hand.
class MainWindow : public CvexaDlg {
public:
    using CvexaDlg::CvexaDlg;
    void Tick() { OnTimer(kRefreshTimer); }
};

// The fake application in a folder of its own, the validation service a
// local server answering `reply`, the clock stopped (the submission's pause
// passes at once) and the save dialog recorded.
struct ValidationDialogTest : ::testing::Test {
    ValidationDialogTest() {
        std::wcscpy(fake.app.m_szVersion, L"1.71.0");
        fake.queries->processors[0].coreMHz = {2992.5f};
        fs::create_directories(folder);
        fs::current_path(folder);
        vexa::ui::testing::setSaveDialog([this](const SaveDialogRequest& request) {
            saveRequests.push_back(request);
            return savePath;
        });
    }
    ~ValidationDialogTest() override { vexa::ui::testing::setSaveDialog(nullptr); }
    void Serve(const std::string& reply) {
        server = std::make_unique<LocalHttpServer>(reply);
        setenv("VEXA_VALIDATION_BASE", server->base().c_str(), 1);
    }
    CValidationDlg& Dialog() {
        if (!dialog) dialog = std::make_unique<CValidationDlg>(fake.app, fake.fonts, nullptr);
        return *dialog;
    }
    QLineEdit* Edit(int id) { return Dialog().Item<QLineEdit>(id); }
    size_t Requests() const { return server ? server->requests().size() : 0; }

    const fs::path folder = fs::temp_directory_path() / "program";
    vexa::test::ManualClockGuard clock;
    FakeApplication fake;
    std::unique_ptr<LocalHttpServer> server;
    std::unique_ptr<CValidationDlg> dialog;
    std::vector<SaveDialogRequest> saveRequests;
    QString savePath;
    vexa::test::ShellRecorder shell{42};
};

TEST_F(ValidationDialogTest, TemplateTextsAndLinks) {
    EXPECT_EQ(Dialog().windowTitle(), QStringLiteral("Vexa 유효성 인증"));
    EXPECT_EQ(Dialog().objectName(), QStringLiteral("215"));
    const std::pair<int, const char*> texts[] = {
        {CValidationDlg::IDC_ONLINE_GROUP, "온라인 모드"},
        {CValidationDlg::IDC_NAME_LABEL, "제품명"},
        {CValidationDlg::IDC_EMAIL_LABEL, "이메일"},
        {CValidationDlg::IDC_SUBMIT, "등록"},
        {CValidationDlg::IDC_EMAIL_NOTE,
         "참고 : 전자 메일 주소는 아무 곳이나 게시되지 않습니다. 전자 메일 주소는 귀하의 덤프로 계정을 만들려는 경우 및 "
         "실증 링크를 보낼 경우에만 사용됩니다. 같은 전자 메일 주소로 제출된 모든 덤프는 해당 계정에 포함 됩니다."},
        {CValidationDlg::IDC_MANUAL_GROUP, "수동 모드"},
        {CValidationDlg::IDC_STEP1,
         "#1 단계 : 사용자의 하드 드라이브에 실증 파일로 현재 세팅을 저장합니다. (아래 단추, 또는 <F7> 키를 사용)."},
        {CValidationDlg::IDC_SAVE_FILE, "유효성 인증파일 저장"},
        {CValidationDlg::IDC_STEP2, "#2 단계 : 인증 파일을 제출합니다->"},
        {CValidationDlg::IDC_WEB_LINK, "웹으로 유효성 확인."},
        {CValidationDlg::IDC_STEP2_END, "인증이 성공하면, ID를 받게 됩니다."},
        {CValidationDlg::IDC_STEP3, "#3 단계 : ID를 입력"},
        {CValidationDlg::IDC_ID_NOTE, "사용자의 ID는 이 대화 상자의 <확인> 단추를 클릭한 후에 Vexa 기본 페이지에 표시됩니다."},
        {CValidationDlg::IDC_LINKS_START, "ID 확인은"},
        {CValidationDlg::IDC_ID_PAGE_LINK, "ID 인증 페이지"},
        {CValidationDlg::IDC_LINKS_MIDDLE, "에서 할 수 있고 최상의 결과는"},
        {CValidationDlg::IDC_RECORDS_LINK, "레코드 페이지"},
        {CValidationDlg::IDC_LINKS_END, "에 나열 됩니다."},
        {IDOK, "확인"},
    };
    for (const auto& [id, text] : texts) EXPECT_EQ(TextOf(Dialog(), id), QString::fromUtf8(text)) << id;
    EXPECT_EQ(Dialog().Item<QCheckBox>(CValidationDlg::IDC_PUBLISH)->text(), QStringLiteral("온라인 발행"));
    EXPECT_FALSE(Dialog().GetDlgItem(CValidationDlg::IDC_LOGO)->isVisibleTo(&Dialog()));
    EXPECT_EQ(Dialog().GetDlgItem(CValidationDlg::IDC_NAME)->font().family(), fake.fonts.label.family());

    auto url = [&](int id) { return Dialog().Item<CHyperLink>(id)->URL().toStdWString(); };
    EXPECT_EQ(url(CValidationDlg::IDC_ID_PAGE_LINK), vexa::site::ValidationAddress(L"/"));
    EXPECT_EQ(url(CValidationDlg::IDC_WEB_LINK), vexa::site::ValidationAddress(L"/"));
    EXPECT_EQ(url(CValidationDlg::IDC_RECORDS_LINK), vexa::site::ValidationAddress(L"/records.php"));
}

TEST_F(ValidationDialogTest, ShowsTheKeptInputsOrTheComputerName) {
    char computer[512] = {};
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    EXPECT_EQ(Edit(CValidationDlg::IDC_NAME)->text(), QString::fromUtf8(computer));
    EXPECT_EQ(Edit(CValidationDlg::IDC_EMAIL)->text(), QString());
    EXPECT_TRUE(Dialog().Item<QCheckBox>(CValidationDlg::IDC_PUBLISH)->isChecked()) << "publish is 1 at start";
    dialog.reset();

    std::wcscpy(fake.app.m_szValidationUserName, L"홍길동");
    std::wcscpy(fake.app.m_szValidationEmail, L"홍@예시.kr");
    std::wcscpy(fake.app.m_szValidationId, L"77");
    fake.app.m_bValidationPublish = 0;
    EXPECT_EQ(Edit(CValidationDlg::IDC_NAME)->text(), QStringLiteral("홍길동"));
    EXPECT_EQ(Edit(CValidationDlg::IDC_EMAIL)->text(), QStringLiteral("홍@예시.kr"));
    EXPECT_EQ(Edit(CValidationDlg::IDC_ID)->text(), QString()) << "the id box starts empty";
    EXPECT_FALSE(Dialog().Item<QCheckBox>(CValidationDlg::IDC_PUBLISH)->isChecked());
}

// A Korean name and e-mail address go to the service; its reply "0,ABC"
// makes ABC the id, which the main window's title shows from its next tick.
TEST_F(ValidationDialogTest, SubmitsAndTheTitleShowsTheId) {
    Serve("0,ABC");
    MessageBoxRecorder boxes;
    MainWindow window(fake.app, fake.fonts);
    Edit(CValidationDlg::IDC_NAME)->setText(QStringLiteral("김철수"));
    Edit(CValidationDlg::IDC_EMAIL)->setText(QStringLiteral("철수@예시.한국"));
    Dialog().Item<QCheckBox>(CValidationDlg::IDC_PUBLISH)->setChecked(false);
    SaveScreenshot(Dialog(), "validation-dialog.png");
    Dialog().OnCommand(CValidationDlg::IDC_SUBMIT);

    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_STREQ(fake.app.m_szValidationUserName, L"김철수");
    EXPECT_STREQ(fake.app.m_szValidationEmail, L"철수@예시.한국");
    EXPECT_EQ(fake.app.m_bValidationPublish, 0);
    EXPECT_STREQ(fake.app.m_szValidationId, L"ABC");
    ASSERT_EQ(Requests(), 2u) << "the record, then the dump";
    const std::vector<LocalHttpServer::Request> requests = server->requests();
    EXPECT_EQ(requests[0].path, "/vvf.php");
    EXPECT_EQ(requests[0].body.rfind("user_name=김철수&user_email=철수@예시.한국&raw_vvf=", 0), 0u);
    EXPECT_NE(requests[0].body.find("&publish=0&send=ok"), std::string::npos);
    EXPECT_EQ(requests[1].path, "/dump.php");
    EXPECT_EQ(requests[1].body.rfind("raw_id=ABC&raw_dump=", 0), 0u);
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].file, vexa::site::ValidationAddress(L"/ABC"));

    window.Tick();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vexa - ID : ABC"));
}

TEST_F(ValidationDialogTest, UnsuccessfulResultsAreReported) {
    struct Case {
        const char* reply;
        const wchar_t* text;
        const wchar_t* caption;
    };
    const Case cases[] = {
        {"8,x", L"Your Vexa version is outdated, please update if you need to submit a validation", L"Validation Error"},
        {"Busy", L"Validation error code = 99", L"Vexa Validation Error"},
        {"", L"Validation error code = -1", L"Vexa Validation Error"},
    };
    for (const Case& c : cases) {
        Serve(c.reply);
        MessageBoxRecorder boxes;
        std::wcscpy(fake.app.m_szValidationId, L"OLD");
        Dialog().OnCommand(CValidationDlg::IDC_SUBMIT);
        ASSERT_EQ(boxes.boxes().size(), 1u) << c.reply;
        EXPECT_EQ(boxes.boxes()[0].text, c.text);
        EXPECT_EQ(boxes.boxes()[0].caption, c.caption);
        EXPECT_EQ(boxes.boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_STREQ(fake.app.m_szValidationId, L"OLD");
        EXPECT_TRUE(Dialog().isVisible() || !Dialog().result()) << "the dialog stays open";
    }
}

// 20 and 50 characters are accepted; one more makes the button do nothing
// and OK leave the kept texts alone.
TEST_F(ValidationDialogTest, NameAndEmailLimits) {
    struct Case {
        int nameChars, emailChars;
        bool submitted;
    };
    for (const Case& c : {Case{20, 50, true}, Case{21, 50, false}, Case{20, 51, false}}) {
        Serve("0,1");
        std::wcscpy(fake.app.m_szValidationUserName, L"kept");
        Edit(CValidationDlg::IDC_NAME)->setText(QString(c.nameChars, QChar(u'가')));
        Edit(CValidationDlg::IDC_EMAIL)->setText(QString(c.emailChars, QChar(u'e')));
        Dialog().OnCommand(CValidationDlg::IDC_SUBMIT);
        EXPECT_EQ(Requests() > 0, c.submitted) << c.nameChars << " " << c.emailChars;
        EXPECT_EQ(std::wstring(fake.app.m_szValidationUserName) == L"kept", !c.submitted);
        std::wcscpy(fake.app.m_szValidationUserName, L"kept");
        Dialog().OnCommand(IDOK);
        EXPECT_EQ(std::wstring(fake.app.m_szValidationUserName) == L"kept", !c.submitted);
        dialog.reset();
    }
}

TEST_F(ValidationDialogTest, OkKeepsTheTypedIdCutToItsBuffer) {
    struct Case {
        QString typed;
        const wchar_t* id;
    };
    const std::wstring longest(31, L'1');
    for (const Case& c : {Case{QStringLiteral("12345"), L"12345"}, Case{QString(), L""},
                          Case{QString(40, QChar(u'1')), longest.c_str()}}) {
        std::wcscpy(fake.app.m_szValidationId, L"OLD");
        Edit(CValidationDlg::IDC_ID)->setText(c.typed);
        Dialog().OnCommand(IDOK);
        EXPECT_EQ(Dialog().result(), QDialog::Accepted);
        EXPECT_STREQ(fake.app.m_szValidationId, c.id);
        dialog.reset();
    }
    QString typed = QStringLiteral("12ab");
    int position = 0;
    EXPECT_EQ(Edit(CValidationDlg::IDC_ID)->validator()->validate(typed, position), QValidator::Invalid)
        << "digits only";
}

TEST_F(ValidationDialogTest, SavesTheFileWhereTheUserChooses) {
    savePath = QString::fromStdString((folder / "chosen.vvf").string());
    Dialog().OnCommand(CValidationDlg::IDC_SAVE_FILE);
    ASSERT_EQ(saveRequests.size(), 1u);
    EXPECT_EQ(saveRequests[0].defaultName, QStringLiteral("vexa.vvf"));
    EXPECT_EQ(saveRequests[0].filters, (QStringList{QStringLiteral("VVF File (*.vvf)"), QStringLiteral("All Files (*.*)")}));
    EXPECT_TRUE(fs::is_regular_file(folder / "chosen.vvf"));
    EXPECT_EQ(fs::current_path(), folder);

    savePath.clear();  // cancelled
    Dialog().OnCommand(CValidationDlg::IDC_SAVE_FILE);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ValidationDialogTest, ARunThatMustNotValidateIgnoresSubmitAndSave) {
    Serve("0,ABC");
    MessageBoxRecorder boxes;
    fake.app.g_bNoValidation = 1;
    savePath = QString::fromStdString((folder / "chosen.vvf").string());
    Dialog().OnCommand(CValidationDlg::IDC_SUBMIT);
    Dialog().OnCommand(CValidationDlg::IDC_SAVE_FILE);
    EXPECT_EQ(Requests(), 0u);
    EXPECT_TRUE(saveRequests.empty());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(fs::exists(folder / "chosen.vvf"));
}

TEST_F(ValidationDialogTest, F7WritesTheFileNamedByTheClock) {
    MainWindow window(fake.app, fake.fonts);
    window.PreTranslateMessage(Qt::Key_F7);
    const fs::path file = folder / "vexa-2992.vvf";
    ASSERT_TRUE(fs::is_regular_file(file));
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().size() % 2, 0u);
    EXPECT_GT(text.str().size(), 8u);
    EXPECT_EQ(text.str().find_first_not_of("0123456789abcdef"), std::string::npos);
}

// With a kept user name the button submits at once; a failure offers the
// file. Without one it opens the dialog, as the about page's button does.
TEST_F(ValidationDialogTest, MainWindowAndAboutPageButtons) {
    MainWindow window(fake.app, fake.fonts);
    std::wcscpy(fake.app.m_szValidationUserName, L"이름");
    Serve("0,XYZ");
    window.OnCommand(CvexaDlg::IDC_VALIDATE);
    EXPECT_STREQ(fake.app.m_szValidationId, L"XYZ");
    EXPECT_TRUE(saveRequests.empty());
    window.Tick();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vexa - ID : XYZ"));

    Serve("8,x");
    window.OnCommand(CvexaDlg::IDC_VALIDATE);
    EXPECT_EQ(saveRequests.size(), 1u) << "the file is offered instead";

    fake.app.m_szValidationUserName[0] = L'\0';
    std::vector<QString> opened;
    const auto closeDialog = [&opened] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        opened.push_back(modal->objectName());
        static_cast<QDialog*>(modal)->reject();
    };
    QTimer::singleShot(0, closeDialog);
    window.OnCommand(CvexaDlg::IDC_VALIDATE);
    QTimer::singleShot(0, closeDialog);
    window.TabCtl()->GetPage(6)->OnCommand(CAboutDlg::IDC_VALIDATE);
    EXPECT_EQ(opened, (std::vector<QString>{QStringLiteral("215"), QStringLiteral("215")}));
}

} // namespace
