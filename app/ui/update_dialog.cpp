#include "app/ui/update_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

#include "app/maker_site.h"
#include "app/ui/artwork.h"
#include "app/ui/format_text.h"
#include "app/ui/maker_artwork.h"
#include "app/ui/masked_bitmap.h"
#include "app/ui/user_fonts.h"
#include "app/vexa_app.h"
#include "platform/shell.h"

namespace vexa::ui {
namespace {

constexpr int kPictureWidth = 88;
constexpr int kPictureHeight = 67;

QString VersionText(const int words[4]) {
    return FormatText(L"%d.%d%d.%d", words[0], words[1], words[2], words[3]);
}

} // namespace

CUpdateDlg::CUpdateDlg(CvexaApp& app, const UserFonts& fonts, const int program[4], const int offered[4])
    : Dialog(nullptr), m_App(app), m_Fonts(fonts) {
    std::copy(program, program + 4, m_nProgram);
    std::copy(offered, offered + 4, m_nOffered);
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(QStringLiteral("Vexa 업데이트"));
    setWindowIcon(LoadAppIcon());
    BuildTemplate();
    OnInitDialog();
}

void CUpdateDlg::BuildTemplate() {
    AddText(IDC_PICTURE, QString(), {7, 7, 50, 38});
    AddText(IDC_AVAILABLE, QStringLiteral("Vexa의 새 버전을 사용할 수 있습니다."), {64, 8, 140, 10},
            Qt::AlignLeft | Qt::AlignVCenter);
    AddText(IDC_CURRENT_LABEL, QStringLiteral("현재 버전 :"), {64, 22, 50, 10});
    AddValueField(IDC_CURRENT, {118, 22, 60, 10});
    AddText(IDC_LATEST_LABEL, QStringLiteral("최신 버전 :"), {64, 35, 50, 10});
    AddValueField(IDC_LATEST, {118, 35, 60, 10});
    m_pCheckBox = AddControl(IDC_CHECK_AT_START, new QCheckBox(QStringLiteral("시작시 업데이트 확인")), {7, 52, 110, 10});
    AddPushButton(IDC_UPDATE, QStringLiteral("업데이트"), {100, 68, 50, 14});
    AddPushButton(IDOK, QStringLiteral("확인"), {154, 68, 50, 14})->setDefault(true);
    setFixedSize(ToPixelsX(211), ToPixelsY(89));
}

void CUpdateDlg::OnInitDialog() {
    for (int id : {IDC_AVAILABLE, IDC_CURRENT_LABEL, IDC_LATEST_LABEL, IDC_CHECK_AT_START})
        SetDlgItemFont(id, m_Fonts.label);
    QPalette values = palette();
    values.setColor(QPalette::WindowText, m_Fonts.textColor);
    for (int id : {IDC_CURRENT, IDC_LATEST}) {
        SetDlgItemFont(id, m_Fonts.text);
        GetDlgItem(id)->setPalette(values);
    }
    SetDlgItemText(IDC_CURRENT, VersionText(m_nProgram));
    SetDlgItemText(IDC_LATEST, VersionText(m_nOffered));
    m_pCheckBox->setChecked(m_App.m_Settings.CheckUpdates != 0);
    m_Bitmap = LoadBitmapResource(kUpdateBitmap);
    CreateBitmapMask(m_Bitmap, m_Mask);
}

void CUpdateDlg::StoreCheckBox() { m_App.m_Settings.CheckUpdates = m_pCheckBox->isChecked() ? 1 : 0; }

void CUpdateDlg::OnCommand(int id) {
    if (id == IDC_UPDATE) {
        const std::wstring history = site::MakerAddress(site::kVersionHistoryPath);
        ShellExecuteW(nullptr, L"open", history.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        accept();
        return;
    }
    if (id == IDOK) StoreCheckBox();
    Dialog::OnCommand(id);
}

void CUpdateDlg::closeEvent(QCloseEvent* event) {
    StoreCheckBox();
    Dialog::closeEvent(event);
}

void CUpdateDlg::paintEvent(QPaintEvent* event) {
    Dialog::paintEvent(event);
    if (m_Bitmap.isNull()) return;
    QPainter painter(this);
    const QPoint corner = GetDlgItem(IDC_PICTURE)->geometry().topLeft();
    DrawBitmapMasked(m_Mask, painter, corner.x(), corner.y(), kPictureWidth, kPictureHeight, m_Bitmap);
}

} // namespace vexa::ui
