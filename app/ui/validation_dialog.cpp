#include "app/ui/validation_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <cwchar>
#include <string>

#include "app/maker_site.h"
#include "app/ui/artwork.h"
#include "app/ui/hyperlink.h"
#include "app/ui/maker_artwork.h"
#include "app/ui/masked_bitmap.h"
#include "app/ui/report_saving.h"
#include "app/ui/user_fonts.h"
#include "app/validation_file.h"
#include "app/validation_submission.h"
#include "app/vexa_app.h"
#include "platform/environment.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace vexa::ui {
namespace {

constexpr DWORD kComputerNameChars = 512;
constexpr DWORD kDirectoryChars = 512;
constexpr wchar_t kDefaultFileName[] = L"vexa.vvf";

QString Address(const std::wstring& path) { return QString::fromStdWString(site::ValidationAddress(path)); }

// The text into a buffer of the application, cut to fit.
template <size_t Size>
void Keep(const QString& text, wchar_t (&target)[Size]) {
    const std::wstring wide = text.toStdWString();
    std::wcsncpy(target, wide.c_str(), Size - 1);
    target[Size - 1] = L'\0';
}

// The submission's outcome as the user reads it; nothing for success.
void ReportResult(int result) {
    if (result == validation::kReplyAccepted) return;
    const UINT type = MB_OK | MB_ICONEXCLAMATION;
    if (result == validation::kSubmitBusy) {
        MessageBoxW(nullptr,
                    L"Vexa is busy. If several instances of Vexa are running, please close them and try to validate "
                    L"again",
                    L"Validation Error", type);
    } else if (result == validation::kReplyOutdated) {
        MessageBoxW(nullptr, L"Your Vexa version is outdated, please update if you need to submit a validation",
                    L"Validation Error", type);
    } else {
        const std::wstring text = L"Validation error code = " + std::to_wstring(result);
        MessageBoxW(nullptr, text.c_str(), L"Vexa Validation Error", type);
    }
}

} // namespace

int ValidateOnline(CvexaApp& app) {
    WaitCursor wait;
    const int result = SubmitValidation(app, app.m_szValidationUserName, app.m_szValidationEmail,
                                        app.m_bValidationPublish);
    if (!app.g_bNoValidation) UploadValidationDump(app);
    return result;
}

void SaveValidationFile(CvexaApp& app, QWidget* owner) {
    char folder[kDirectoryChars] = {};
    const DWORD folderLength = GetCurrentDirectoryA(kDirectoryChars, folder);
    SaveDialogRequest request;
    request.owner = owner;
    request.defaultName = QString::fromWCharArray(kDefaultFileName);
    request.filters = {QStringLiteral("VVF File (*.vvf)"), QStringLiteral("All Files (*.*)")};
    const QString path = GetSaveFileName(request);
    if (folderLength > 0 && folderLength < kDirectoryChars) SetCurrentDirectoryA(folder);
    if (path.isEmpty()) return;
    WriteValidationFile(app, path.toStdWString().c_str());
}

CValidationDlg::CValidationDlg(CvexaApp& app, const UserFonts& fonts, QWidget* parent)
    : Dialog(parent), m_App(app), m_Fonts(fonts) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(QStringLiteral("Vexa 유효성 인증"));
    setWindowIcon(LoadAppIcon());
    BuildTemplate();
    OnInitDialog();
}

void CValidationDlg::BuildTemplate() {
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment wrapped = Qt::AlignLeft | Qt::AlignTop;
    AddGroupBox(IDC_ONLINE_GROUP, QStringLiteral("온라인 모드"), {7, 5, 228, 112});
    AddText(IDC_NAME_LABEL, QStringLiteral("제품명"), {14, 19, 38, 12}, left);
    m_pName = AddControl(IDC_NAME, new QLineEdit, {54, 18, 172, 13});
    AddText(IDC_EMAIL_LABEL, QStringLiteral("이메일"), {14, 36, 38, 12}, left);
    m_pEmail = AddControl(IDC_EMAIL, new QLineEdit, {54, 35, 172, 13});
    m_pPublish = AddControl(IDC_PUBLISH, new QCheckBox(QStringLiteral("온라인 발행")), {54, 53, 90, 12});
    AddPushButton(IDC_SUBMIT, QStringLiteral("등록"), {176, 52, 50, 14});
    AddText(IDC_EMAIL_NOTE,
            QStringLiteral("참고 : 전자 메일 주소는 아무 곳이나 게시되지 않습니다. 전자 메일 주소는 귀하의 덤프로 "
                           "계정을 만들려는 경우 및 실증 링크를 보낼 경우에만 사용됩니다. 같은 전자 메일 주소로 "
                           "제출된 모든 덤프는 해당 계정에 포함 됩니다."),
            {14, 70, 212, 44}, wrapped)
        ->setWordWrap(true);

    AddGroupBox(IDC_MANUAL_GROUP, QStringLiteral("수동 모드"), {7, 121, 228, 134});
    AddText(IDC_STEP1,
            QStringLiteral("#1 단계 : 사용자의 하드 드라이브에 실증 파일로 현재 세팅을 저장합니다. (아래 단추, 또는 "
                           "<F7> 키를 사용)."),
            {14, 133, 158, 30}, wrapped)
        ->setWordWrap(true);
    AddPushButton(IDC_SAVE_FILE, QStringLiteral("유효성 인증파일 저장"), {14, 160, 100, 14});
    AddText(IDC_LOGO, QString(), {178, 132, 50, 38})->hide();
    AddText(IDC_STEP2, QStringLiteral("#2 단계 : 인증 파일을 제출합니다->"), {14, 181, 128, 12}, left);
    m_pWebLink = AddControl(IDC_WEB_LINK, new CHyperLink, {144, 181, 84, 12});
    m_pWebLink->setText(QStringLiteral("웹으로 유효성 확인."));
    AddText(IDC_STEP2_END, QStringLiteral("인증이 성공하면, ID를 받게 됩니다."), {14, 194, 212, 12}, left);
    AddText(IDC_STEP3, QStringLiteral("#3 단계 : ID를 입력"), {14, 210, 72, 12}, left);
    m_pId = AddControl(IDC_ID, new QLineEdit, {88, 209, 90, 13});
    m_pId->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pId));
    AddText(IDC_ID_NOTE,
            QStringLiteral("사용자의 ID는 이 대화 상자의 <확인> 단추를 클릭한 후에 Vexa 기본 페이지에 표시됩니다."),
            {14, 226, 212, 24}, wrapped)
        ->setWordWrap(true);

    AddGroupBox(IDC_STATIC, QString(), {7, 259, 228, 54});
    AddText(IDC_LINKS_START, QStringLiteral("ID 확인은"), {14, 272, 38, 12}, left);
    m_pIdPageLink = AddControl(IDC_ID_PAGE_LINK, new CHyperLink, {54, 272, 46, 12});
    m_pIdPageLink->setText(QStringLiteral("ID 인증 페이지"));
    AddText(IDC_LINKS_MIDDLE, QStringLiteral("에서 할 수 있고 최상의 결과는"), {102, 272, 124, 12}, left);
    m_pRecordsLink = AddControl(IDC_RECORDS_LINK, new CHyperLink, {14, 288, 44, 12});
    m_pRecordsLink->setText(QStringLiteral("레코드 페이지"));
    AddText(IDC_LINKS_END, QStringLiteral("에 나열 됩니다."), {60, 288, 100, 12}, left);

    AddPushButton(IDOK, QStringLiteral("확인"), {185, 320, 50, 14})->setDefault(true);
    setFixedSize(ToPixelsX(242), ToPixelsY(341));
}

void CValidationDlg::OnInitDialog() {
    for (int id : {IDC_ONLINE_GROUP, IDC_MANUAL_GROUP, IDC_WEB_LINK, IDC_ID_PAGE_LINK, IDC_STEP1, IDC_STEP2,
                   IDC_STEP2_END, IDC_STEP3, IDC_ID_NOTE, IDC_LINKS_START, IDC_SUBMIT, IDC_SAVE_FILE, IDC_NAME_LABEL,
                   IDC_EMAIL_LABEL, IDC_NAME, IDC_EMAIL, IDC_ID, IDC_LINKS_MIDDLE, IDC_LINKS_END, IDC_RECORDS_LINK,
                   IDC_EMAIL_NOTE, IDC_PUBLISH})
        SetDlgItemFont(id, m_Fonts.label);
    m_pIdPageLink->SetURL(Address(L"/"));
    m_pWebLink->SetURL(Address(L"/"));
    m_pRecordsLink->SetURL(Address(site::kValidationRecordsPath));
    m_Logo = LoadBitmapResource(kValidationBitmap);
    CreateBitmapMask(m_Logo, m_LogoMask);

    if (m_App.m_szValidationUserName[0]) {
        m_pName->setText(QString::fromWCharArray(m_App.m_szValidationUserName));
    } else {
        char name[kComputerNameChars] = {};
        DWORD size = kComputerNameChars;
        if (GetComputerNameA(name, &size) && name[0]) m_pName->setText(QString::fromUtf8(name));
    }
    if (m_App.m_szValidationEmail[0]) m_pEmail->setText(QString::fromWCharArray(m_App.m_szValidationEmail));
    m_pPublish->setChecked(m_App.m_bValidationPublish != 0);
}

bool CValidationDlg::StoreInputs() {
    if (m_pName->text().size() > kMaxNameChars || m_pEmail->text().size() > kMaxEmailChars) return false;
    Keep(m_pName->text(), m_App.m_szValidationUserName);
    Keep(m_pEmail->text(), m_App.m_szValidationEmail);
    m_App.m_bValidationPublish = m_pPublish->isChecked() ? 1 : 0;
    return true;
}

void CValidationDlg::OnSubmit() {
    if (m_App.g_bNoValidation || !StoreInputs()) return;
    ReportResult(ValidateOnline(m_App));
}

// The id box takes digits only; an id longer than the application keeps
// is cut.
void CValidationDlg::OnOK() {
    StoreInputs();
    Keep(m_pId->text(), m_App.m_szValidationId);
    accept();
}

void CValidationDlg::OnSaveFile() {
    if (m_App.g_bNoValidation) return;
    SaveValidationFile(m_App, parentWidget());
}

void CValidationDlg::OnCommand(int id) {
    switch (id) {
    case IDC_SUBMIT: OnSubmit(); return;
    case IDC_SAVE_FILE: OnSaveFile(); return;
    case IDOK: OnOK(); return;
    default: Dialog::OnCommand(id);
    }
}

void CValidationDlg::paintEvent(QPaintEvent* event) {
    Dialog::paintEvent(event);
    if (m_Logo.isNull()) return;
    QPainter painter(this);
    const QPoint corner = GetDlgItem(IDC_LOGO)->geometry().topLeft();
    DrawBitmapMasked(m_LogoMask, painter, corner.x(), corner.y(), kLogoWidth, kLogoHeight, m_Logo);
}

} // namespace vexa::ui
