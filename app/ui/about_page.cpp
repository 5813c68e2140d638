#include "app/ui/about_page.h"

#include <QLabel>
#include <QPainter>
#include <QPaintEvent>

#include "app/info_parser.h"
#include "app/maker_site.h"
#include "app/ui/artwork.h"
#include "app/ui/format_text.h"
#include "app/ui/hyperlink.h"
#include "app/ui/maker_artwork.h"
#include "app/ui/masked_bitmap.h"
#include "app/ui/report_saving.h"
#include "app/ui/user_fonts.h"
#include "app/ui/validation_dialog.h"
#include "app/vexa_app.h"

namespace vexa::ui {
namespace {

constexpr QSize kMakerLogoSize(108, 56);
constexpr QSize kAndroidLogoSize(56, 66);
constexpr int kQueryTextChars = 512;

QString FromAddress(const std::wstring& address) { return QString::fromStdWString(address); }

} // namespace

CAboutDlg::CAboutDlg(const PageContext& context, QWidget* parent) : Page(context, kTemplateId, parent) {}

void CAboutDlg::BuildTemplate() {
    AddGroupBox(IDC_ABOUT_GROUP, QStringLiteral("Vexa 정보"), {2, 1, 257, 102});
    AddText(IDC_VERSION, QString(), {8, 12, 130, 10}, Qt::AlignLeft | Qt::AlignVCenter);
    AddText(IDC_RELEASE_LABEL, QStringLiteral("정보 및 최종 업데이트 :"), {8, 24, 80, 10}, Qt::AlignLeft | Qt::AlignVCenter);
    AddText(IDC_RELEASE_DATE, QStringLiteral("2026년 12월"), {90, 24, 60, 10}, Qt::AlignLeft | Qt::AlignVCenter);
    AddText(IDC_AUTHOR, QStringLiteral("Brenik 소프트웨어 개발팀"), {8, 36, 130, 10}, Qt::AlignLeft | Qt::AlignVCenter);
    AddText(IDC_FREEWARE, QStringLiteral("Vexa는 프리웨어 입니다."), {8, 48, 130, 10}, Qt::AlignLeft | Qt::AlignVCenter);
    m_pMakerLink = AddControl(IDC_MAKER_LINK, new CHyperLink, {8, 62, 130, 10});
    m_pMakerLink->setText(QString::fromWCharArray(site::kMakerHostName));
    m_pServicesLink = AddControl(IDC_SERVICES_LINK, new CHyperLink, {8, 74, 130, 10});
    m_pServicesLink->setText(QStringLiteral("Brenik 소프트웨어 개발 도구"));
    m_pMagazineLink = AddControl(IDC_MAGAZINE_LINK, new CHyperLink, {8, 86, 130, 10});
    m_pMagazineLink->setText(QStringLiteral("하드웨어 매거진 제공"));
    m_pMakerLogoLink = AddControl(IDC_MAKER_LOGO, new CHyperLink2, {150, 12, 62, 32});
    m_pAndroidLink = AddControl(IDC_ANDROID_LOGO, new CHyperLink2, {220, 12, 32, 38});

    AddGroupBox(IDC_WINDOWS_GROUP, QStringLiteral("윈도우 버전"), {2, 106, 257, 44});
    AddText(IDC_WINDOWS_VERSION, QStringLiteral("Windows"), {8, 117, 245, 10}, Qt::AlignLeft | Qt::AlignVCenter);
    AddText(IDC_WINDOWS_BUILD, QStringLiteral("SP"), {8, 127, 245, 10}, Qt::AlignLeft | Qt::AlignVCenter);
    AddText(IDC_DIRECTX_VERSION, QStringLiteral("DirectX"), {8, 137, 245, 10}, Qt::AlignLeft | Qt::AlignVCenter);

    AddGroupBox(IDC_TOOLS_GROUP, QStringLiteral("도구"), {2, 153, 257, 44});
    AddPushButton(IDC_SAVE_TXT, QStringLiteral("보고서 저장 (.TXT)"), {8, 164, 80, 14});
    AddPushButton(IDC_SAVE_HTML, QStringLiteral("보고서 저장 (.HTML)"), {92, 164, 80, 14});
    AddText(IDC_VALIDATION_LABEL, QStringLiteral("인증"), {176, 164, 20, 14});
    AddPushButton(IDC_VALIDATE, QStringLiteral("유효성 확인"), {198, 164, 56, 14});
}

void CAboutDlg::OnInitDialog() {
    BuildTemplate();
    const UserFonts& fonts = m_Context.fonts;
    for (int id : {IDC_ABOUT_GROUP, IDC_VERSION, IDC_RELEASE_DATE, IDC_AUTHOR, IDC_RELEASE_LABEL, IDC_WINDOWS_GROUP,
                   IDC_TOOLS_GROUP, IDC_FREEWARE, IDC_VALIDATION_LABEL, IDC_MAKER_LINK, IDC_SERVICES_LINK,
                   IDC_MAGAZINE_LINK, IDC_SAVE_TXT, IDC_VALIDATE, IDC_SAVE_HTML})
        SetDlgItemFont(id, fonts.label);
    QPalette values = palette();
    values.setColor(QPalette::WindowText, fonts.textColor);
    for (int id : {IDC_WINDOWS_VERSION, IDC_WINDOWS_BUILD, IDC_DIRECTX_VERSION}) {
        SetDlgItemFont(id, fonts.text);
        GetDlgItem(id)->setPalette(values);
    }
    SetDlgItemText(IDC_VERSION, FormatText(L"Version %s", m_Context.app.m_szVersion));

    m_pMakerLink->SetURL(FromAddress(site::MakerAddress(site::kProgramPagePath)));
    m_pMakerLogoLink->SetURL(FromAddress(site::ServicesAddress(site::kProfessionalServicesPath)));
    m_pServicesLink->SetURL(FromAddress(site::ServicesAddress(site::kProfessionalServicesPath)));
    m_pMagazineLink->SetURL(QString::fromWCharArray(site::kMagazineAddress));
    m_pAndroidLink->SetURL(FromAddress(site::MakerAddress(site::kAndroidPagePath)));

    m_MakerLogo = LoadBitmapResource(kMakerLogoBitmap);
    CreateBitmapMask(m_MakerLogo, m_MakerLogoMask);
    m_AndroidLogo = LoadBitmapResource(kAndroidBitmap);
    CreateBitmapMask(m_AndroidLogo, m_AndroidLogoMask);
    m_pMakerLogoLink->resize(kMakerLogoSize);
    m_pAndroidLink->resize(kAndroidLogoSize);
}

// The versions come from the query layer once, after the scan.
void CAboutDlg::FillFromQueries() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    wchar_t text[kQueryTextChars];
    if (queries->GetWindowsVersion(text)) SetDlgItemText(IDC_WINDOWS_VERSION, text);
    if (queries->GetWindowsBuild(text)) SetDlgItemText(IDC_WINDOWS_BUILD, text);
    if (queries->GetDirectXVersion(text)) SetDlgItemText(IDC_DIRECTX_VERSION, FormatText(L"DirectX %s", text));
}

void CAboutDlg::OnCommand(int id) {
    switch (id) {
    case IDC_SAVE_TXT: SaveReport(m_Context.app, m_Context.mainWindow, ReportKind::Text); return;
    case IDC_SAVE_HTML: SaveHTMLReport(m_Context.app, m_Context.mainWindow); return;
    case IDC_VALIDATE: {
        CValidationDlg dialog(m_Context.app, m_Context.fonts, m_Context.mainWindow);
        dialog.exec();
        return;
    }
    default: Page::OnCommand(id);
    }
}

void CAboutDlg::paintEvent(QPaintEvent* event) {
    Page::paintEvent(event);
    QPainter painter(this);
    const QPoint maker = m_pMakerLogoLink->pos(), android = m_pAndroidLink->pos();
    DrawBitmapMasked(m_MakerLogoMask, painter, maker.x(), maker.y(), kMakerLogoSize.width(), kMakerLogoSize.height(),
                     m_MakerLogo);
    DrawBitmapMasked(m_AndroidLogoMask, painter, android.x(), android.y(), kAndroidLogoSize.width(),
                     kAndroidLogoSize.height(), m_AndroidLogo);
}

} // namespace vexa::ui
