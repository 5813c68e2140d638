// The dialog layer under the window code: window messages and pages,
// timers, the menu button, link controls, masked pictures, the user fonts,
// the program's pictures and message boxes as dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <thread>

#include "app/ui/artwork.h"
#include "app/ui/hyperlink.h"
#include "app/ui/masked_bitmap.h"
#include "app/ui/menu_button.h"
#include "app/ui/message_box_dialog.h"
#include "app/ui/page.h"
#include "app/ui/processor_logos.h"
#include "app/ui/user_fonts.h"
#include "tests/app/app_test_support.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::FakeApplication;

// Runs the event loop until `done` holds, at most ten seconds of wall time.
template <class Condition>
bool RunEventsUntil(Condition done) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// A dialog that records what reaches it.
class RecordingDialog : public Dialog {
public:
    std::vector<int> commands;
    std::vector<int> timers;
    void OnCommand(int id) override { commands.push_back(id); }

protected:
    void OnTimer(int id) override { timers.push_back(id); }
};

void Click(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF local(at), global(widget->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// A page that counts its first fill and its refreshes.
class CountingPage : public Page {
public:
    using Page::Page;
    int fills = 0;
    int refreshes = 0;

protected:
    void FillFromQueries() override { ++fills; }
    void OnUpdatePage() override { ++refreshes; }
};

// WM_UPDATE_PAGE runs the page's handler before SendWindowMessage returns;
// a page not filled at creation is filled by its first refresh instead.
TEST(Pages, FirstRefreshFillsAPageNotFilledYet) {
    FakeApplication fake;
    CountingPage filled(PageContext{fake.app, fake.fonts, nullptr}, 900, nullptr);
    filled.Fill();
    SendWindowMessage(&filled, WM_UPDATE_PAGE);
    EXPECT_EQ(filled.fills, 1);
    EXPECT_EQ(filled.refreshes, 1);

    CountingPage pending(PageContext{fake.app, fake.fonts, nullptr}, 901, nullptr);
    SendWindowMessage(&pending, WM_UPDATE_PAGE);
    EXPECT_TRUE(pending.IsFilled());
    EXPECT_EQ(pending.fills, 1);
    EXPECT_EQ(pending.refreshes, 0);
    SendWindowMessage(&pending, WM_UPDATE_PAGE);
    EXPECT_EQ(pending.refreshes, 1);
    EXPECT_EQ(SendWindowMessage(&pending, WM_USER + 99), 0) << "other messages are not handled";
}

TEST(Dialogs, TimersReportTheirOwnIds) {
    RecordingDialog dialog;
    dialog.SetTimer(7, 1);
    dialog.SetTimer(3, 1);
    ASSERT_TRUE(RunEventsUntil([&] { return dialog.timers.size() >= 4; }));
    dialog.KillTimer(7);
    dialog.KillTimer(3);
    EXPECT_FALSE(dialog.HasTimer(7));
    for (const int id : dialog.timers) EXPECT_TRUE(id == 7 || id == 3) << id;
    const size_t seen = dialog.timers.size();
    QApplication::processEvents();
    EXPECT_EQ(dialog.timers.size(), seen) << "killed timers stay quiet";
}

struct MenuButtonFixture : ::testing::Test {
    MenuButtonFixture() {
        button->setObjectName(QStringLiteral("1029"));
        button->setGeometry(0, 0, 84, 24);
        button->SetOwner(&owner);
    }
    RecordingDialog owner;
    CMenuButton* button = new CMenuButton(&owner);
};

// The owner learns of a click on the face later, as a posted command, and
// ignores it.
TEST_F(MenuButtonFixture, FaceClickPostsTheButtonId) {
    Click(button, QPoint(20, 12));
    EXPECT_TRUE(owner.commands.empty()) << "posted, not sent";
    EXPECT_FALSE(button->IsPressed());
    ASSERT_TRUE(RunEventsUntil([&] { return !owner.commands.empty(); }));
    EXPECT_EQ(owner.commands, std::vector<int>{1029});
}

// The right-most 16 pixels open the menu below the button; the item chosen
// reaches the owner as a command.
TEST_F(MenuButtonFixture, MenuPartOpensTheMenu) {
    button->m_bHasItems |= button->AppendMenu(1503, QStringLiteral("보고서 저장 (.txt)"));
    button->AppendSeparator();
    button->m_bHasItems |= button->AppendMenu(1505, QStringLiteral("새 업데이트 확인"));
    EXPECT_EQ(button->MenuIds(), (QList<int>{1503, 0, 1505}));
    QPoint shownAt;
    bool openWhileShown = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        shownAt = menu->pos();
        openWhileShown = button->IsMenuOpen();
        menu->setActiveAction(menu->actions().at(2));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(menu, &enter);
    });
    Click(button, QPoint(84 - 8, 12));
    EXPECT_TRUE(openWhileShown);
    EXPECT_FALSE(button->IsMenuOpen());
    EXPECT_EQ(shownAt, button->mapToGlobal(QPoint(0, 24)));
    ASSERT_TRUE(RunEventsUntil([&] { return !owner.commands.empty(); }));
    EXPECT_EQ(owner.commands, std::vector<int>{1505});
}

TEST_F(MenuButtonFixture, MenuWithoutItemsDoesNotOpen) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            opened = true;
            popup->close();
        }
    });
    Click(button, QPoint(84 - 8, 12));
    QApplication::processEvents();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(owner.commands.empty());
}

// Links open their address through the one opener of the program.
TEST(Links, ClickOpensTheAddress) {
    vexa::test::ShellRecorder shell(kShellExecuteStarted);
    QWidget parent;
    auto* link = new CHyperLink(&parent);
    link->setGeometry(0, 0, 100, 20);
    link->setText(QStringLiteral("Vexa"));
    link->SetURL(QStringLiteral("http://valid.vexa.example/"));
    auto* area = new CHyperLink2(&parent);
    area->setGeometry(0, 30, 40, 40);
    area->SetURL(QStringLiteral("http://valid.vexa.example/search/search.php?psn=4142&sort=freq"));
    auto* disabled = new CHyperLink(&parent);
    disabled->setGeometry(0, 80, 100, 20);
    disabled->SetURL(QStringLiteral("http://valid.vexa.example/x"));
    disabled->setEnabled(false);

    Click(link, QPoint(5, 5));
    Click(area, QPoint(20, 20));
    Click(disabled, QPoint(5, 5));
    Click(link, QPoint(5, 5), Qt::RightButton);
    ASSERT_EQ(shell.requests().size(), 2u);
    EXPECT_EQ(shell.requests()[0].verb, L"open");
    EXPECT_EQ(shell.requests()[0].file, L"http://valid.vexa.example/");
    EXPECT_EQ(shell.requests()[0].showCommand, SW_SHOW);
    EXPECT_EQ(shell.requests()[1].file, L"http://valid.vexa.example/search/search.php?psn=4142&sort=freq");
}

TEST(Links, LookLikeLinksOrNothing) {
    QWidget parent;
    parent.resize(100, 100);
    QPalette green = parent.palette();
    green.setColor(QPalette::Window, Qt::green);
    parent.setPalette(green);
    parent.setAutoFillBackground(true);
    auto* link = new CHyperLink(&parent);
    QFont plain = link->font();
    plain.setUnderline(false);
    link->setFont(plain);
    EXPECT_TRUE(link->font().underline()) << "any font the link gets is underlined";
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 0xEE));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);

    auto* area = new CHyperLink2(&parent);
    area->setText(QStringLiteral("never drawn"));
    area->setGeometry(10, 10, 60, 30);
    const QImage shot = parent.grab().toImage();
    for (int y = 10; y < 40; ++y)
        for (int x = 10; x < 70; ++x) ASSERT_EQ(shot.pixelColor(x, y), QColor(Qt::green)) << x << "," << y;
}

// Every pixel of the top-left pixel's colour is transparent.
TEST(MaskedPictures, TopLeftColourIsTransparent) {
    const QColor magenta(255, 0, 255), blue(0, 0, 200);
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(magenta);
    for (int x = 2; x < 6; ++x) picture.setPixelColor(x, 3, blue);
    picture.setPixelColor(7, 5, Qt::black);
    QImage mask;
    CreateBitmapMask(picture, mask);
    ASSERT_EQ(mask.size(), picture.size());
    EXPECT_EQ(mask.pixelIndex(0, 0), 1);
    EXPECT_EQ(mask.pixelIndex(3, 3), 0);
    EXPECT_EQ(mask.pixelIndex(7, 5), 0) << "black in the picture is not transparent";
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::black)) << "transparent pixels are blacked out";

    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::green);
    {
        QPainter painter(&target);
        DrawBitmapMasked(mask, painter, 1, 1, 8, 6, picture);
    }
    EXPECT_EQ(target.pixelColor(1, 1), QColor(Qt::green));
    EXPECT_EQ(target.pixelColor(4, 4), blue);
    EXPECT_EQ(target.pixelColor(8, 6), QColor(Qt::black));
    EXPECT_EQ(target.pixelColor(9, 9), QColor(Qt::green)) << "outside the picture";

    QImage empty, emptyMask(4, 4, QImage::Format_Mono);
    CreateBitmapMask(empty, emptyMask);
    EXPECT_TRUE(emptyMask.isNull());
}

TEST(UserFonts, SizesAreCellHeightsAndColoursBgr) {
    VexaSettings settings;
    settings.LabelFontSize = 20;
    settings.TextFontSize = 12;
    settings.TextFontColor = 0x0000FF;  // red, as 0x00BBGGRR
    const UserFonts fonts = MakeUserFonts(settings);
    EXPECT_LE(QFontMetrics(fonts.label).height(), 20);
    EXPECT_GE(QFontMetrics(fonts.label).height(), 16);
    EXPECT_LE(QFontMetrics(fonts.text).height(), 12);
    EXPECT_EQ(fonts.textColor, QColor(255, 0, 0));
    EXPECT_EQ(ColorFromRef(0x800000), QColor(0, 0, 0x80)) << "the default: navy";
    settings.TextFontSize = 100000;  // a settings file can say anything
    EXPECT_LE(QFontMetrics(MakeUserFonts(settings).text).height(), 200);
}

// The badges: each at its form's size, the transparent ones with the key
// colour in the corner and no key colour where the badge is; the blank
// picture one uniform colour, so that it draws nothing.
TEST(Pictures, ProcessorBadgesFitTheirForms) {
    for (const uint32_t code : {0x1020001u, 0x1000802u, 0x2004009u, 0x8002004u, 0x12345u}) {
        const ProcessorLogo& logo = SelectProcessorLogo(code);
        QImage picture = LoadBitmapResource(logo.bitmap);
        ASSERT_FALSE(picture.isNull()) << logo.bitmap;
        EXPECT_EQ(picture.size(), QSize(LogoWidth(logo.form), LogoHeight(logo.form))) << logo.bitmap;
        QImage mask;
        CreateBitmapMask(picture, mask);
        int transparent = 0;
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x) transparent += mask.pixelIndex(x, y);
        const int all = mask.width() * mask.height();
        if (logo.bitmap == kBlankLogoBitmap) {
            EXPECT_EQ(transparent, all);
        } else {
            EXPECT_GT(transparent, 0) << logo.bitmap;
            EXPECT_LT(transparent, all / 2) << logo.bitmap << ": the badge fills most of the picture";
        }
    }
    EXPECT_EQ(SelectProcessorLogo(0x1020001).bitmap, 179);
    EXPECT_EQ(SelectProcessorLogo(0x200400E).bitmap, 155);
    EXPECT_EQ(SelectProcessorLogo(0x12345).bitmap, kBlankLogoBitmap);
    EXPECT_EQ(SelectProcessorLogo(0x10000002).form, LogoForm::WideTransparent);
    EXPECT_FALSE(LoadBitmapResource(kSplashBitmap).isNull());
    EXPECT_TRUE(LoadBitmapResource(1).isNull());
    EXPECT_FALSE(LoadAppIcon().pixmap(32, 32).isNull());
}

// Runs `answer` on the box once it shows.
void AnswerNextBox(std::function<void(QMessageBox&)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        answer(*box);
    });
}

TEST(MessageBoxDialogs, ButtonsIconAndAnswer) {
    using vexa::platform::MessageBoxCall;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text, title;
    AnswerNextBox([&](QMessageBox& box) {
        icon = box.icon();
        text = box.text();
        title = box.windowTitle();
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Yes));
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(ShowMessageBoxDialog(MessageBoxCall{L"Open the log?", L"Vexa Error", MB_YESNO | MB_ICONEXCLAMATION}),
              IDNO);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(text, QStringLiteral("Open the log?"));
    EXPECT_EQ(title, QStringLiteral("Vexa Error"));

    AnswerNextBox([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(ShowMessageBoxDialog(MessageBoxCall{L"?", L"Vexa", MB_YESNOCANCEL}), IDYES);
    AnswerNextBox([](QMessageBox& box) { box.reject(); });
    EXPECT_EQ(ShowMessageBoxDialog(MessageBoxCall{L"?", L"Vexa", MB_YESNOCANCEL}), IDCANCEL) << "closed: Cancel";
    AnswerNextBox([](QMessageBox& box) { box.reject(); });
    EXPECT_EQ(ShowMessageBoxDialog(MessageBoxCall{L"?", L"Vexa", MB_YESNO}), IDNO) << "closed without Cancel: No";
    EXPECT_EQ(ShowMessageBoxDialog(MessageBoxCall{L"?", L"Vexa", 0x0F}), 0) << "unknown buttons";

    int fromAnotherThread = -1;
    std::thread([&] { fromAnotherThread = ShowMessageBoxDialog(MessageBoxCall{L"?", L"Vexa", MB_OK}); }).join();
    EXPECT_EQ(fromAnotherThread, 0) << "only the window's thread shows dialogs";
}

TEST(MessageBoxDialogs, InstalledForTheWholeProgram) {
    InstallMessageBoxDialogs();
    AnswerNextBox([](QMessageBox& box) { box.button(QMessageBox::Retry)->click(); });
    const int answer = MessageBoxW(nullptr, L"Again?", L"Vexa", MB_RETRYCANCEL);
    RemoveMessageBoxDialogs();
    EXPECT_EQ(answer, IDRETRY);
}

} // namespace
