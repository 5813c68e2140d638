#include "app/ui/main_dialog.h"

#include <QEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QWindowStateChangeEvent>

#include "app/info_parser.h"
#include "app/ui/artwork.h"
#include "app/ui/format_text.h"
#include "app/ui/library_lock.h"
#include "app/ui/menu_button.h"
#include "app/ui/my_tab_ctl.h"
#include "app/ui/user_fonts.h"
#include "app/vexa_app.h"
#include "sdk/cpu/pi_scaled_clock.h"

namespace vexa::ui {
namespace {

constexpr int kCaptionHeight = 24;  // the painted "Vexa"
constexpr int kMargin = 6;
constexpr int kButtonHeight = 24;
constexpr int kRowBottomMargin = 4;

} // namespace

CvexaDlg::CvexaDlg(CvexaApp& app, const UserFonts& fonts) : Dialog(nullptr), m_App(app), m_Fonts(fonts) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(QStringLiteral("Vexa"));
    setWindowIcon(LoadAppIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildTemplate();
    OnInitDialog();
}

CvexaDlg::~CvexaDlg() { KillTimer(kRefreshTimer); }

// The tab control is sized to hold a page of 261 x 199 units below its tab
// row; the button row runs along the bottom, right of the painted caption.
void CvexaDlg::BuildTemplate() {
    m_pTabCtl = new CMyTabCtl(this);
    m_pTabCtl->setObjectName(QString::number(IDC_TAB));
    AddText(IDC_VERSION, QString(), {}, Qt::AlignLeft | Qt::AlignVCenter);
    m_pToolsButton = AddControl(IDC_TOOLS, new CMenuButton, {});
    m_pToolsButton->setText(QStringLiteral("도구"));
    AddPushButton(IDC_VALIDATE, QStringLiteral("Validate"), {});
    QPushButton* ok = AddPushButton(IDOK, QStringLiteral("확인"), {});
    ok->setDefault(true);
}

void CvexaDlg::OnInitDialog() {
    m_pToolsButton->SetOwner(this);
    m_pToolsButton->m_bHasItems |= m_pToolsButton->AppendMenu(ID_DRIVER_UPDATE, QStringLiteral("드라이버 업데이트 체크"));
    m_pToolsButton->m_bHasItems |= m_pToolsButton->AppendMenu(ID_BIOS_UPDATE, QStringLiteral("바이오스 업데이트 체크"));
    m_pToolsButton->AppendSeparator();
    SetDlgItemText(IDC_VALIDATE, QStringLiteral("인증"));
    m_pToolsButton->m_bHasItems |= m_pToolsButton->AppendMenu(ID_SAVE_TXT_REPORT, QStringLiteral("보고서 저장 (.txt)"));
    m_pToolsButton->m_bHasItems |= m_pToolsButton->AppendMenu(ID_SAVE_HTML_REPORT, QStringLiteral("보고서 저장 (.html)"));
    m_pToolsButton->AppendSeparator();
    m_pToolsButton->m_bHasItems |= m_pToolsButton->AppendMenu(ID_CHECK_UPDATE, QStringLiteral("새 업데이트 확인"));
    m_pToolsButton->m_bHasItems |= m_pToolsButton->AppendMenu(ID_ANDROID_INFO, QStringLiteral("Vexa 안드로이드 정보 얻기"));

    m_DialogFont = QFont();
    m_DialogFont.setPixelSize(kCaptionHeight);
    m_DialogFont.setBold(true);
    m_DialogFont.setItalic(true);
    m_DialogFont.setStyleStrategy(QFont::PreferAntialias);

    for (const char* text : {"CPU", "캐시", "메인보드", "메모리", "SPD", "그래픽", "정보"})
        m_pTabCtl->InsertItem(m_pTabCtl->GetItemCount(), QString::fromUtf8(text));
    const int barHeight = m_pTabCtl->TabBar()->height();
    const QSize page(ToPixelsX(261), ToPixelsY(199));
    m_pTabCtl->setGeometry(kMargin, kMargin, page.width() + 4, barHeight + page.height() + 2);
    m_pTabCtl->CreatePages(PageContext{m_App, m_Fonts, this});
    m_pTabCtl->OnSelChange = [this] { OnTabChange(); };

    const int width = m_pTabCtl->width() + 2 * kMargin;
    const int row = m_pTabCtl->geometry().bottom() + 1 + kMargin;
    const int height = row + kButtonHeight + kRowBottomMargin;
    int right = width - kMargin;
    for (const auto& [id, buttonWidth] : {std::pair{IDOK, 80}, std::pair{IDC_VALIDATE, 72}, std::pair{IDC_TOOLS, 84}}) {
        GetDlgItem(id)->setGeometry(right - buttonWidth, row, buttonWidth, kButtonHeight);
        right -= buttonWidth + kMargin;
    }
    GetDlgItem(IDC_VERSION)->setGeometry(90, row, right - 90, kButtonHeight);
    setFixedSize(width, height);

    SetTimer(kRefreshTimer, kRefreshPeriodMs);
    m_bMinimized = 0;
    SetDlgItemFont(IDC_VERSION, m_Fonts.label);
    SetDlgItemText(IDC_VERSION, FormatText(L"버전 %s.x32", m_App.m_szVersion));
}

// Selecting the visible tab again leaves the page as it is.
void CvexaDlg::OnTabChange() {
    const int focused = m_pTabCtl->GetCurFocus();
    Page* current = m_pTabCtl->GetPage(m_pTabCtl->m_nCurrentPage);
    Page* next = m_pTabCtl->GetPage(focused);
    if (next && focused != m_pTabCtl->m_nCurrentPage) {
        if (current) current->hide();
        m_pTabCtl->m_nCurrentPage = focused;
        next->show();
        next->raise();
        next->setFocus();
    }
    m_pTabCtl->TabBar()->setFocus();
}

void CvexaDlg::OnTimer(int id) {
    if (id != kRefreshTimer) return;
    LibraryLock lock(m_App, kTimerLockTimeoutMs);
    if (!lock.Owns()) return;  // the library is being updated: next tick
    if (m_bMinimized) {
        ShowClockTitle();
        return;
    }
    ShowTitle();
    m_pTabCtl->RefreshCurrentPage(m_App);
}

void CvexaDlg::ShowClockTitle() {
    CInfoParser* queries = m_App.m_pInfoParser;
    const double clock = queries ? PiScaledClock::ToMHz(queries->GetCoreClock(0, m_App.m_iSelectedCore)) : -1.0;
    setWindowTitle(clock > 0 ? FormatText(L" %.2f MHz (Core #%d)", clock, m_App.m_iSelectedCore)
                             : QStringLiteral(" updating ..."));
}

void CvexaDlg::ShowTitle() {
    setWindowTitle(m_App.m_szValidationId[0] ? FormatText(L"Vexa - ID : %s", m_App.m_szValidationId)
                                             : QStringLiteral("Vexa "));
}

void CvexaDlg::OnSysCommand(UINT command) {
    if (command == SC_MINIMIZE) {
        m_bMinimized = 1;
    } else if (command == SC_RESTORE) {
        m_bMinimized = 0;
        setWindowTitle(QStringLiteral("Vexa"));
    }
}

// The window system minimises and restores the window; the state change
// is the system command.
void CvexaDlg::changeEvent(QEvent* event) {
    Dialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const bool wasMinimized = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
    const bool minimized = windowState() & Qt::WindowMinimized;
    if (minimized && !wasMinimized) OnSysCommand(SC_MINIMIZE);
    else if (!minimized && wasMinimized) OnSysCommand(SC_RESTORE);
}

void CvexaDlg::OnCommand(int id) {
    if (id >= ID_SELECT_CORE_FIRST && id <= ID_SELECT_CORE_LAST) {
        m_App.m_iSelectedCore = id - ID_SELECT_CORE_FIRST;
        return;
    }
    // The Tools commands and the validation button act once their own
    // dialogs exist; the Tools button's face click is ignored.
    Dialog::OnCommand(id);
}

// "Vexa" engraved in the lower left corner: highlight one pixel down and
// right, shadow over it.
void CvexaDlg::paintEvent(QPaintEvent* event) {
    Dialog::paintEvent(event);
    QPainter painter(this);
    painter.setFont(m_DialogFont);
    const QRect text(10, height() - 30, 70, 30);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(text.translated(1, 1), flags, QStringLiteral("Vexa"));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawText(text, flags, QStringLiteral("Vexa"));
}

} // namespace vexa::ui
