#include "app/ui/graphics_page.h"

#include <QComboBox>
#include <QPainter>

#include "app/info_parser.h"
#include "app/ui/artwork.h"
#include "app/ui/format_text.h"
#include "app/ui/graphics_logos.h"
#include "app/ui/library_lock.h"
#include "app/ui/masked_bitmap.h"
#include "app/ui/user_fonts.h"
#include "sdk/display/display_adapter.h"

namespace vexa::ui {
namespace {

constexpr int kRow = 10;
constexpr int kSelectLockTimeoutMs = 100;

// The clock fields by domain: domain, value, label.
struct ClockField {
    int domain;
    int value;
    int label;
};
constexpr ClockField kClockFields[] = {
    {GPU_CLOCK_CORE, CGraphicsDlg::IDC_CORE_CLOCK, CGraphicsDlg::IDC_CORE_LABEL},
    {GPU_CLOCK_SHADER, CGraphicsDlg::IDC_SHADER_CLOCK, CGraphicsDlg::IDC_SHADER_LABEL},
    {GPU_CLOCK_MEMORY, CGraphicsDlg::IDC_MEMORY_CLOCK, CGraphicsDlg::IDC_MEMORY_CLOCK_LABEL},
};

QString MemoryTypeText(int type) {
    switch (type) {
    case 1: return QStringLiteral("DDR");
    case 2: return QStringLiteral("DDR2");
    case 3: return QStringLiteral("DDR3");
    case 0x30: return QStringLiteral("GDDR3");
    case 0x40: return QStringLiteral("GDDR4");
    case 0x50: return QStringLiteral("GDDR5");
    default: return FormatText(L"0x%X", type);
    }
}

// Micrometres: below 0.1 (the single-precision 0.1) in whole nanometres,
// else in micrometres with two decimals.
QString TechnologyText(float micrometres) {
    if (double(micrometres) < double(0.1f)) return FormatText(L"%d nm", int(float(micrometres * 1000.0)));
    return FormatText(L"%1.2f um", double(micrometres));
}

} // namespace

CGraphicsDlg::CGraphicsDlg(const PageContext& context, QWidget* parent) : FieldsPage(context, kTemplateId, parent) {}

void CGraphicsDlg::OnInitDialog() {
    m_bBusy = 1;
    DropLogo();
    AddGroup(IDC_ADAPTER_GROUP, "디스플레이 장치 선택", {2, 1, 257, 28});
    AddGroup(IDC_GPU_GROUP, "그래픽카드 사용자 인터페이스(GPU)", {2, 31, 257, 70});
    AddGroup(IDC_CLOCKS_GROUP, "클럭", {2, 103, 128, 94});
    AddGroup(IDC_MEMORY_GROUP, "메모리", {132, 103, 127, 94});
    AddLabels({{IDC_NAME_LABEL, "제품명", {6, 43, 44, kRow}},
               {IDC_BOARD_VENDOR_LABEL, "제조 회사", {6, 56, 44, kRow}},
               {IDC_CODENAME_LABEL, "코드명", {6, 69, 44, kRow}},
               {IDC_REVISION_LABEL, "수정버전", {118, 69, 36, kRow}},
               {IDC_TECHNOLOGY_LABEL, "공정 기술", {6, 82, 44, kRow}},
               {IDC_LEVEL_LABEL, "성능", {6, 116, 34, kRow}},
               {IDC_CORE_LABEL, "코어", {6, 133, 34, kRow}},
               {IDC_SHADER_LABEL, "쉐이더", {6, 146, 34, kRow}},
               {IDC_MEMORY_CLOCK_LABEL, "메모리", {6, 159, 34, kRow}},
               {IDC_MEMORY_SIZE_LABEL, "크기", {136, 116, 40, kRow}},
               {IDC_MEMORY_TYPE_LABEL, "종류", {136, 129, 40, kRow}},
               {IDC_MEMORY_BUS_LABEL, "버스 속도", {136, 142, 40, kRow}}});
    AddValues({{IDC_NAME, {52, 43, 150, kRow}},
               {IDC_BOARD_VENDOR, {52, 56, 150, kRow}},
               {IDC_CODENAME, {52, 69, 62, kRow}},
               {IDC_REVISION, {156, 69, 46, kRow}},
               {IDC_TECHNOLOGY, {52, 82, 62, kRow}},
               {IDC_CORE_CLOCK, {42, 133, 84, kRow}},
               {IDC_SHADER_CLOCK, {42, 146, 84, kRow}},
               {IDC_MEMORY_CLOCK, {42, 159, 84, kRow}},
               {IDC_MEMORY_SIZE, {178, 116, 76, kRow}},
               {IDC_MEMORY_TYPE, {178, 129, 76, kRow}},
               {IDC_MEMORY_BUS, {178, 142, 76, kRow}}});
    AddFrame(IDC_LOGO_FRAME, {206, 41, 24, kRow})->hide();

    QPalette values = palette();
    values.setColor(QPalette::WindowText, m_Context.fonts.textColor);
    values.setColor(QPalette::Text, m_Context.fonts.textColor);
    values.setColor(QPalette::ButtonText, m_Context.fonts.textColor);
    m_pAdapterCombo = AddControl(IDC_ADAPTER_COMBO, new QComboBox, {8, 11, 245, 13});
    m_pLevelCombo = AddControl(IDC_LEVEL_COMBO, new QComboBox, {42, 115, 84, 13});
    for (QComboBox* combo : {m_pAdapterCombo, m_pLevelCombo}) {
        combo->setFont(m_Context.fonts.text);
        combo->setPalette(values);
    }
    // A choice of the user's; the page's own selections send nothing.
    QObject::connect(m_pAdapterCombo, &QComboBox::activated, this, [this] { OnSelectAdapter(); });
    QObject::connect(m_pLevelCombo, &QComboBox::activated, this, [this] { OnSelectPerfLevel(); });
    EnableItems({IDC_NAME_LABEL, IDC_BOARD_VENDOR_LABEL, IDC_CODENAME_LABEL, IDC_REVISION_LABEL, IDC_TECHNOLOGY_LABEL,
                 IDC_CORE_LABEL, IDC_SHADER_LABEL, IDC_MEMORY_CLOCK_LABEL, IDC_LEVEL_LABEL, IDC_MEMORY_SIZE_LABEL,
                 IDC_MEMORY_TYPE_LABEL, IDC_MEMORY_BUS_LABEL, IDC_ADAPTER_COMBO, IDC_LEVEL_COMBO},
                false);
}

void CGraphicsDlg::FillFromQueries() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    const int count = queries->GetDisplayAdapterCount();
    EnableDlgItem(IDC_ADAPTER_COMBO, count > 1);
    m_pAdapterCombo->clear();
    wchar_t name[kInfoTextChars];
    for (int A = 0; A < count; ++A)
        m_pAdapterCombo->addItem(queries->GetGPUName(A, name) ? FromWide(name) : QStringLiteral("Graphic Device"));
    m_pAdapterCombo->setCurrentIndex(0);
    ShowAdapter(0);
    OnUpdatePage();
}

void CGraphicsDlg::DropLogo() {
    m_Logo = QImage();
    m_Mask = QImage();
    m_nLogoWidth = -1;
    m_nLogoHeight = -1;
    m_bTransparent = 0;
}

void CGraphicsDlg::ShowText(int label, int field, int answer, const wchar_t* text) {
    EnableDlgItem(label, answer != 0);
    SetDlgItemText(field, answer ? FromWide(text) : QString());
}

void CGraphicsDlg::ShowLevels(CInfoParser& queries, int adapter) {
    m_pLevelCombo->clear();
    EnableItems({IDC_LEVEL_COMBO, IDC_LEVEL_LABEL}, false);
    const int levels = queries.GetPerfLevelCount(adapter);
    wchar_t name[kInfoTextChars];
    for (int level = 0; level < levels; ++level)
        if (queries.GetPerfLevelName(adapter, level, name)) m_pLevelCombo->addItem(FromWide(name));
    if (levels > 1) {
        EnableItems({IDC_LEVEL_COMBO, IDC_LEVEL_LABEL}, true);
        if (queries.GetCurrentPerfLevel(adapter) >= 0) m_pLevelCombo->addItem(QStringLiteral("Current"));
        m_pLevelCombo->setCurrentIndex(m_pLevelCombo->count() - 1);
    } else if (levels == 1) {
        m_pLevelCombo->setCurrentIndex(0);
    }
}

void CGraphicsDlg::ShowAdapter(int adapter) {
    m_bBusy = 1;
    DropLogo();
    m_nShownAdapter = adapter;
    CInfoParser* queries = Queries();
    if (!queries) return;

    if (const GraphicsLogo* logo = SelectGraphicsLogo(uint32_t(queries->GetGPUFamilyCode(adapter)))) {
        m_Logo = LoadBitmapResource(logo->bitmap);
        m_nLogoWidth = logo->width;
        m_nLogoHeight = logo->height;
        m_bTransparent = logo->transparent ? 1 : 0;
        if (m_bTransparent) CreateBitmapMask(m_Logo, m_Mask);
    }
    ShowLevels(*queries, adapter);

    wchar_t text[kInfoTextChars];
    ShowText(IDC_NAME_LABEL, IDC_NAME, queries->GetGPUName(adapter, text), text);
    ShowText(IDC_BOARD_VENDOR_LABEL, IDC_BOARD_VENDOR, queries->GetGPUBoardVendor(adapter, text), text);
    ShowText(IDC_CODENAME_LABEL, IDC_CODENAME, queries->GetGPUCodename(adapter, text), text);

    int revision = queries->GetGPURevision(adapter);
    if (revision == -1 || revision == 0) {
        int vendor = -1, device = -1, pciRevision = -1, subVendor = -1, subSystem = -1;
        const bool known = queries->GetGPUPCIIDs(adapter, &vendor, &device, &pciRevision, &subVendor, &subSystem) == 1;
        revision = known && pciRevision != -1 && pciRevision != 0 ? pciRevision : -1;
    }
    EnableDlgItem(IDC_REVISION_LABEL, revision != -1);
    SetDlgItemText(IDC_REVISION, revision != -1 ? FormatText(L"%X", revision) : QString());

    int value = -1;
    const bool size = queries->GetGPUMemorySize(adapter, &value) == 1 && value != -1;
    EnableDlgItem(IDC_MEMORY_SIZE_LABEL, size);
    SetDlgItemText(IDC_MEMORY_SIZE, size ? FormatText(L"%d MBytes", value) : QString());
    value = -1;
    const bool type = queries->GetGPUMemoryType(adapter, &value) == 1 && value != -1;
    EnableDlgItem(IDC_MEMORY_TYPE_LABEL, type);
    SetDlgItemText(IDC_MEMORY_TYPE, type ? MemoryTypeText(value) : QString());
    value = -1;
    const bool width = queries->GetGPUMemoryBusWidth(adapter, &value) == 1 && value != -1;
    EnableDlgItem(IDC_MEMORY_BUS_LABEL, width);
    SetDlgItemText(IDC_MEMORY_BUS, width ? FormatText(L"%d bits", value) : QString());

    const float technology = queries->GetGPUTechnology(adapter);
    EnableDlgItem(IDC_TECHNOLOGY_LABEL, technology > 0);
    SetDlgItemText(IDC_TECHNOLOGY, technology > 0 ? TechnologyText(technology) : QString());

    m_bBusy = 0;
    repaint();
}

void CGraphicsDlg::OnUpdatePage() {
    if (m_bBusy) return;
    CInfoParser* queries = Queries();
    if (!queries) return;
    const int adapter = m_pAdapterCombo->currentIndex();
    // A choice made while the library was busy is shown now, with the lock.
    if (adapter != m_nShownAdapter) {
        ShowAdapter(adapter);
        if (m_bBusy) return;
    }
    const int levels = queries->GetPerfLevelCount(adapter);
    int level = 0;
    if (levels > 1) {
        level = m_pLevelCombo->currentIndex();
        if (level >= levels) level = queries->GetCurrentPerfLevel(adapter);
    }
    for (const ClockField& field : kClockFields) {
        const float clock = level == -1 ? -1.0f : queries->GetGPUClock(adapter, level, field.domain);
        EnableDlgItem(field.label, clock > 0);
        SetDlgItemText(field.value, clock > 0 ? FormatText(L"%d MHz", int(clock)) : QString());
    }
}

// The refreshed values are read under the library lock; a busy library
// leaves the choice to the next refresh.
void CGraphicsDlg::OnSelectAdapter() {
    LibraryLock lock(m_Context.app, kSelectLockTimeoutMs);
    if (!lock.Owns()) return;
    ShowAdapter(m_pAdapterCombo->currentIndex());
    OnUpdatePage();
}

void CGraphicsDlg::OnSelectPerfLevel() {
    LibraryLock lock(m_Context.app, kSelectLockTimeoutMs);
    if (lock.Owns()) OnUpdatePage();
}

// The logo's centre on the frame's right edge, its top on the frame's.
void CGraphicsDlg::paintEvent(QPaintEvent* event) {
    FieldsPage::paintEvent(event);
    if (m_nLogoWidth <= 0 || m_Logo.isNull()) return;
    QPainter painter(this);
    const QRect frame = GetDlgItem(IDC_LOGO_FRAME)->geometry();
    const int x = frame.x() + frame.width() - m_nLogoWidth / 2, y = frame.y();
    if (m_bTransparent) DrawBitmapMasked(m_Mask, painter, x, y, m_nLogoWidth, m_nLogoHeight, m_Logo);
    else painter.drawImage(x, y, m_Logo, 0, 0, m_nLogoWidth, m_nLogoHeight);
}

} // namespace vexa::ui
