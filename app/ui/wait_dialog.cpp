#include "app/ui/wait_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

#include "app/ui/artwork.h"
#include "app/ui/user_fonts.h"
#include "app/vexa_app.h"
#include "sdk/core/helpers.h"

namespace vexa::ui {
namespace {

constexpr int kVersionChars = 64;

} // namespace

CWaitDialog::CWaitDialog(const CvexaApp& app, const UserFonts& fonts) : Dialog(nullptr), m_App(app) {
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(QStringLiteral("Vexa"));
    setWindowIcon(LoadAppIcon());
    // The white brush of every control and of the dialog itself.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, fonts.textColor);
    setPalette(white);
    setAutoFillBackground(true);

    auto* picture = AddText(IDC_PICTURE, QString(), {0, 0, 183, 55}, Qt::AlignCenter);
    picture->setPixmap(QPixmap::fromImage(LoadBitmapResource(kSplashBitmap)));
    AddText(IDC_STATUS, QString(), {8, 58, 167, 10}, Qt::AlignLeft | Qt::AlignVCenter)->setFont(fonts.text);
    auto* bar = AddControl(IDC_PROGRESS, new QProgressBar, {8, 70, 167, 8});
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    AddText(IDC_VERSION, QString(), {8, 80, 167, 10}, Qt::AlignRight | Qt::AlignVCenter)->setFont(fonts.text);
    setFixedSize(ToPixelsX(183), ToPixelsY(93));
}

int CWaitDialog::SetProgress(int position, const wchar_t* text) {
    if (auto* bar = Item<QProgressBar>(IDC_PROGRESS)) bar->setValue(position);
    if (text) SetDlgItemText(IDC_STATUS, text);
    if (m_App.m_szVersion[0]) {
        wchar_t version[kVersionChars];
        FormatStringW(version, kVersionChars, L"버전 %s.x32", m_App.m_szVersion);
        SetDlgItemText(IDC_VERSION, version);
    }
    PaintNow();
    return 0;
}

void CWaitDialog::ShowNow() {
    show();
    PaintNow();
}

// The start-up runs on this thread without an event loop: the window system
// gets its expose and paint events here.
void CWaitDialog::PaintNow() {
    if (!isVisible()) return;
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool CWaitDialog::OnWindowMessage(const WindowMessageEvent& message, LRESULT& result) {
    switch (message.message) {
    case WM_CLOSE_WAIT_DIALOG: OnCommand(IDOK); break;
    case WM_SET_WAIT_PROGRESS:
        result = SetProgress(static_cast<int>(message.wParam), reinterpret_cast<const wchar_t*>(message.lParam));
        break;
    default: return false;
    }
    return true;
}

} // namespace vexa::ui
