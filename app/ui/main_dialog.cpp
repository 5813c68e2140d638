#include "app/ui/main_dialog.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QWindowStateChangeEvent>

#include <cwchar>
#include <iterator>

#include "app/info_parser.h"
#include "app/maker_site.h"
#include "app/ui/artwork.h"
#include "app/ui/capture.h"
#include "app/ui/format_text.h"
#include "app/ui/library_lock.h"
#include "app/ui/menu_button.h"
#include "app/ui/my_tab_ctl.h"
#include "app/ui/report_saving.h"
#include "app/ui/user_fonts.h"
#include "app/ui/validation_dialog.h"
#include "app/validation_file.h"
#include "app/vexa_app.h"
#include "platform/modules.h"
#include "platform/safe_file.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/user32.h"
#include "sdk/cpu/pi_scaled_clock.h"

namespace vexa::ui {
namespace {

constexpr int kCaptionHeight = 24;  // the painted "Vexa"
constexpr int kMargin = 6;
constexpr int kButtonHeight = 24;
constexpr int kRowBottomMargin = 4;
constexpr int kKeyLockTimeoutMs = 1000;

// Registered when the program starts; another instance or an installer
// sends it, and the window answers it without acting.
const UINT WM_VEXA_CLOSE_APP = RegisterWindowMessageW(L"VEXA_CLOSE_APP");

// The display adapters' device-interface class.
constexpr GUID kDisplayAdapterInterface = {0x5B45201D, 0xF2F2, 0x4F3B, {0x85, 0xBB, 0x30, 0xFF, 0x1F, 0x95, 0x35, 0x99}};

// The capture files of the tabs; %d is the core clock in MHz.
constexpr const wchar_t* kCaptureNames[] = {L"cpu-%d.bmp",  L"cache.bmp", L"mainboard.bmp", L"memory-%d.bmp",
                                            L"spd.bmp",     L"graphics.bmp"};
constexpr wchar_t kOtherCaptureName[] = L"snap-%d.bmp";

// A link opened with the shell; the result is not looked at.
void OpenPage(const std::wstring& address) {
    ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace

CvexaDlg::CvexaDlg(CvexaApp& app, const UserFonts& fonts) : Dialog(nullptr), m_App(app), m_Fonts(fonts) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(QStringLiteral("Vexa"));
    setWindowIcon(LoadAppIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildTemplate();
    OnInitDialog();
    qApp->installEventFilter(this);
}

CvexaDlg::~CvexaDlg() {
    KillTimer(kRefreshTimer);
    if (m_hDeviceNotify) UnregisterDeviceNotification(m_hDeviceNotify);
}

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
    RegisterDisplayNotification();
}

// Older systems lack the function: it is looked up by name, and a failure
// is ignored.
void CvexaDlg::RegisterDisplayNotification() {
    HMODULE user32 = LoadLibraryA("user32.dll");
    if (!user32) return;
    if (const auto registerNotification =
            platform::lookup<decltype(&RegisterDeviceNotificationW)>(user32, "RegisterDeviceNotificationW")) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kDisplayAdapterInterface;
        m_hDeviceNotify = registerNotification(reinterpret_cast<HANDLE>(this), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    FreeLibrary(user32);
}

bool CvexaDlg::OnWindowMessage(const WindowMessageEvent& message, LRESULT& result) {
    if (message.message == WM_DEVICECHANGE || (WM_VEXA_CLOSE_APP && message.message == WM_VEXA_CLOSE_APP)) {
        result = 0;
        return true;
    }
    return Dialog::OnWindowMessage(message, result);
}

// The clock is a refreshed value, read under the library lock; a lock
// still busy after kKeyLockTimeoutMs leaves it unknown (0).
int CvexaDlg::CoreClockMHz() const {
    CInfoParser* queries = m_App.m_pInfoParser;
    double clock = -1.0;
    if (queries) {
        LibraryLock lock(m_App, kKeyLockTimeoutMs);
        if (lock.Owns()) clock = PiScaledClock::ToMHz(queries->GetCoreClock(0, 0));
    }
    return clock > 0 ? static_cast<int>(clock) : 0;
}

std::wstring CvexaDlg::ValidationFileName() const {
    wchar_t name[kCaptureNameChars];
    std::swprintf(name, kCaptureNameChars, L"vexa-%d.vvf", CoreClockMHz());
    return name;
}

std::wstring CvexaDlg::CaptureFileName() const {
    const int mhz = CoreClockMHz();
    const int tab = m_pTabCtl->GetCurFocus();
    const wchar_t* format = tab >= 0 && tab < int(std::size(kCaptureNames)) ? kCaptureNames[tab] : kOtherCaptureName;
    wchar_t name[kCaptureNameChars];
    std::swprintf(name, kCaptureNameChars, format, mhz);
    return name;
}

// A file that cannot be created sends the picture to the clipboard.
void CvexaDlg::CaptureToFile() {
    platform::SafeFileWriter file(platform::toNarrow(CaptureFileName()));
    CCapture capture;
    if (!file.isOpen()) {
        capture.Capture(this, nullptr);
        return;
    }
    capture.Capture(this, &file);
    file.commit();
}

void CvexaDlg::PreTranslateMessage(int key) {
    switch (key) {
    case Qt::Key_F5: CaptureToFile(); break;
    case Qt::Key_F6: CCapture().Capture(this, nullptr); break;
    case Qt::Key_F7: WriteValidationFile(m_App, ValidationFileName().c_str()); break;
    default: break;
    }
}

// A key press travels from the focused control up to the window, passing
// this filter at each step: it is handled once, at its first.
bool CvexaDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    if (type == QEvent::KeyRelease) {
        m_pLastKey = nullptr;
    } else if (event != m_pLastKey) {
        m_pLastKey = event;
        PreTranslateMessage(static_cast<QKeyEvent*>(event)->key());
    }
    return false;
}

void CvexaDlg::OnSaveTXTReport() { SaveReport(m_App, this, ReportKind::Text); }

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
    switch (id) {
    case ID_DRIVER_UPDATE: OpenPage(site::PartnerAddress(site::kDriverUpdatePath)); return;
    case ID_BIOS_UPDATE: OpenPage(site::PartnerAddress(site::kBIOSUpdatePath)); return;
    case ID_SAVE_TXT_REPORT: OnSaveTXTReport(); return;
    case ID_SAVE_HTML_REPORT: SaveHTMLReport(m_App, this); return;
    case ID_CHECK_UPDATE: m_App.CheckForUpdate(1); return;
    case ID_ANDROID_INFO: OpenPage(site::MakerAddress(site::kAndroidPagePath)); return;
    case IDC_VALIDATE: OnValidate(); return;
    default: break;
    }
    // The Tools button's face click is ignored.
    Dialog::OnCommand(id);
}

// Without a kept user name the dialog asks for one; with it the record
// goes at once, and a failed submission offers the validation file.
void CvexaDlg::OnValidate() {
    if (!m_App.m_szValidationUserName[0]) {
        CValidationDlg dialog(m_App, m_Fonts, this);
        dialog.exec();
        return;
    }
    if (ValidateOnline(m_App) == 0) return;
    SaveValidationFile(m_App, this);
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
