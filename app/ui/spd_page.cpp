#include "app/ui/spd_page.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include <bit>

#include "app/info_parser.h"
#include "app/ui/format_text.h"
#include "app/ui/user_fonts.h"

namespace vexa::ui {
namespace {

// The module fields: label, value control and place (the type field 1056
// has no label and is built apart).
struct ModuleField {
    int label;
    const char* labelText;
    int value;
    DialogRect rect;
};

const ModuleField kModuleFields[] = {
    {1022, "모듈 크기", CSPDDlg::IDC_MODULE_SIZE, {70, 26, 83, 10}},
    {1019, "최대 대역폭", CSPDDlg::IDC_MODULE_SPEED, {70, 37, 83, 10}},
    {1012, "제조 업체", CSPDDlg::IDC_MODULE_MAKER, {70, 48, 83, 10}},
    {1020, "부품 번호", CSPDDlg::IDC_MODULE_PART, {70, 59, 83, 10}},
    {1021, "일련 번호", CSPDDlg::IDC_MODULE_SERIAL, {70, 70, 83, 10}},
    {1023, "교정 기능", CSPDDlg::IDC_MODULE_CORRECTION, {204, 26, 51, 10}},
    {1026, "등록", CSPDDlg::IDC_MODULE_REGISTERED, {204, 37, 51, 10}},
    {1024, "버퍼", CSPDDlg::IDC_MODULE_BUFFERED, {204, 48, 51, 10}},
    {1027, "확장 SPD", CSPDDlg::IDC_MODULE_PROFILES, {204, 59, 51, 10}},
    {1025, "주/년도", CSPDDlg::IDC_MODULE_DATE, {204, 70, 51, 10}},
};

const char* const kRowLabelTexts[CSPDDlg::kRowCount] = {
    "클럭", "CAS# 지연", "RAS# to CAS#", "RAS# Precharge", "tRAS", "tRC", "명령 속도", "전압"};

constexpr int kColumnX[CSPDDlg::kColumnCount] = {70, 113, 156, 199};
constexpr int kColumnWidth = 42;
constexpr int kFirstRowY = 100;
constexpr int kRowPitch = 11;
// Slots beyond the mask's bits cannot be told populated or not.
constexpr int kMaskBits = 32;

// The type text of a memory type value, with its leading blank.
QString ModuleTypeText(int type) {
    static const char* const kTypes[] = {" SPM RAM", " RDRAM", " EDO RAM", " FPM RAM", " SDRAM",
                                         " DDR",     " DDR2",  " FB-DDR2", " DDR3",    " DDR4"};
    if (type >= 1 && type <= int(std::size(kTypes))) return QString::fromUtf8(kTypes[type - 1]);
    return QStringLiteral(" unknown");
}

QString CorrectionText(int correction) {
    switch (correction) {
    case 0: return QStringLiteral("None");
    case 1: return QStringLiteral("Parity");
    case 2: return QStringLiteral("ECC");
    default: return QStringLiteral("unknown");
    }
}

QString QueryText(const wchar_t* text) { return FromWide(text); }

} // namespace

const int CSPDDlg::kCells[kRowCount][kColumnCount] = {
    {1059, 1064, 1069, 1074},  // clock
    {1060, 1065, 1070, 1084},  // CAS latency
    {1061, 1066, 1071, 1085},  // tRCD
    {1062, 1067, 1072, 1086},  // tRP
    {1063, 1068, 1073, 1087},  // tRAS
    {1091, 1088, 1089, 1090},  // tRC
    {1095, 1092, 1093, 1094},  // command rate
    {1131, 1096, 1097, 1098},  // voltage
};

const int CSPDDlg::kRowLabels[kRowCount] = {1013, 1014, 1015, 1016, 1017, 1018, 1028, 1029};

CSPDDlg::CSPDDlg(const PageContext& context, QWidget* parent) : Page(context, kTemplateId, parent) {}

void CSPDDlg::OnInitDialog() {
    const UserFonts& fonts = m_Context.fonts;
    QPalette values = palette();
    values.setColor(QPalette::WindowText, fonts.textColor);
    values.setColor(QPalette::Text, fonts.textColor);
    const auto valueField = [&](int id, const DialogRect& rect, Qt::Alignment alignment) {
        QLabel* field = AddValueField(id, rect, alignment);
        field->setFont(fonts.text);
        field->setPalette(values);
    };

    AddGroupBox(IDC_SLOT_GROUP, QStringLiteral("메모리 슬롯 선택"), {2, 1, 257, 83})->setFont(fonts.label);
    AddGroupBox(IDC_TIMING_GROUP, QStringLiteral("동작 테이블"), {2, 84, 257, 106})->setFont(fonts.label);

    m_SlotCombo = AddControl(IDC_SLOT_COMBO, new QComboBox, {7, 12, 58, 13});
    m_SlotCombo->setFont(fonts.text);
    m_SlotCombo->setPalette(values);
    valueField(IDC_MODULE_TYPE, {70, 14, 185, 10}, Qt::AlignLeft | Qt::AlignVCenter);

    for (const ModuleField& field : kModuleFields) {
        AddText(field.label, QString::fromUtf8(field.labelText), {field.rect.x - 50, field.rect.y, 46, 10})
            ->setFont(fonts.label);
        valueField(field.value, field.rect, Qt::AlignCenter);
    }

    for (int column = 0; column < kColumnCount; ++column) {
        AddText(IDC_FIRST_HEADING + column, QString(), {kColumnX[column], 90, kColumnWidth, 10}, Qt::AlignCenter)
            ->setFont(fonts.label);
    }
    for (int row = 0; row < kRowCount; ++row) {
        const int y = kFirstRowY + row * kRowPitch;
        AddText(kRowLabels[row], QString::fromUtf8(kRowLabelTexts[row]), {6, y, 58, 10})->setFont(fonts.label);
        for (int column = 0; column < kColumnCount; ++column)
            valueField(kCells[row][column], {kColumnX[column], y, kColumnWidth, 10}, Qt::AlignCenter);
    }
    ClearModule();
}

void CSPDDlg::FillFromQueries() {
    CInfoParser* queries = Queries();
    m_nSlotCount = 0;
    m_dwPopulatedMask = 0;
    if (queries) {
        int sockets = 0, populated = 0, socketMask = 0, reserved = -1;
        queries->GetMemorySlots(&sockets, &populated, &socketMask, &reserved);
        m_nSlotCount = sockets;
        m_dwPopulatedMask = uint32_t(socketMask);
        const int modules = queries->GetSPDModuleCount();
        if (m_nSlotCount < modules) {
            m_nSlotCount = modules;
            m_dwPopulatedMask = 0;
        }
        if (populated < modules) m_dwPopulatedMask = 0;
        // Beyond 32 sockets the mask's bits repeat: it no longer tells which
        // socket holds which module, so each slot shows the module of its
        // own number instead.
        if (m_nSlotCount > kMaskBits) m_dwPopulatedMask = 0;
    }

    if (m_nSlotCount > 0) {
        m_SlotCombo->setEnabled(true);
        for (int slot = 1; slot <= m_nSlotCount; ++slot) m_SlotCombo->addItem(FormatText(L"Slot #%d", slot));
        m_SlotCombo->setCurrentIndex(0);
        ShowModule(0);
        QObject::connect(m_SlotCombo, &QComboBox::currentIndexChanged, this, [this] { OnSelChangeSlot(); });
    } else {
        m_SlotCombo->setEnabled(false);
        EnableDlgItem(IDC_SLOT_GROUP, false);
        SetDlgItemText(IDC_MODULE_TYPE, QString());
        ClearModule();
    }
}

void CSPDDlg::OnSelChangeSlot() { ShowModule(m_SlotCombo->currentIndex()); }

void CSPDDlg::ClearModule() {
    SetDlgItemText(IDC_MODULE_TYPE, QString());
    for (const ModuleField& field : kModuleFields) {
        SetDlgItemText(field.value, QString());
        EnableDlgItem(field.label, false);
    }
    for (int column = 0; column < kColumnCount; ++column) {
        SetDlgItemText(IDC_FIRST_HEADING + column, QString());
        for (const auto& row : kCells) SetDlgItemText(row[column], QString());
    }
    EnableDlgItem(IDC_TIMING_GROUP, false);
    for (int label : kRowLabels) EnableDlgItem(label, false);
}

int CSPDDlg::ModuleOfSlot(int slot, int moduleCount) const {
    int M = slot;
    if (m_dwPopulatedMask != 0) {
        if (slot < 0 || slot >= kMaskBits) return -1;
        const uint32_t bit = uint32_t(1) << slot;
        if (!(m_dwPopulatedMask & bit)) return -1;
        M = std::popcount(m_dwPopulatedMask & (bit - 1));
    }
    return M >= 0 && M < moduleCount ? M : -1;
}

void CSPDDlg::ShowModule(int slot) {
    ClearModule();
    CInfoParser* queries = Queries();
    if (!queries) return;
    const int modules = queries->GetSPDModuleCount();
    if (modules <= 0) {
        ClearModule();
        return;
    }
    const int M = ModuleOfSlot(slot, modules);
    if (M < 0) return;

    SetDlgItemText(IDC_MODULE_TYPE, ModuleTypeText(queries->GetModuleType(M)));
    ShowModuleFields(*queries, M);
    ShowProfileList(*queries, M);

    int profileColumns = ShowAMPProfiles(*queries, M);
    int revision = 0;
    if (queries->GetXMPInfo(M, &revision) > 0) profileColumns = ShowXMPProfiles(*queries, M, profileColumns);
    else profileColumns = ShowEPPProfiles(*queries, M, profileColumns);
    ShowJEDECEntries(*queries, M, profileColumns);
}

void CSPDDlg::ShowModuleFields(CInfoParser& queries, int M) {
    const auto show = [this](int label, int value, const QString& text) {
        SetDlgItemText(value, text);
        EnableDlgItem(label, true);
    };
    wchar_t text[kInfoTextChars] = {};
    if (queries.GetModuleManufacturer(M, text)) show(1012, IDC_MODULE_MAKER, QueryText(text));
    text[0] = 0;
    if (queries.GetModuleSpeedText(M, text)) {
        const int clock = queries.GetModuleClock(M);
        show(1019, IDC_MODULE_SPEED, clock > 0 ? FormatText(L"%s (%d MHz)", text, clock) : FormatText(L"%s", text));
    }
    text[0] = 0;
    if (queries.GetModulePartNumber(M, text)) show(1020, IDC_MODULE_PART, QueryText(text));
    text[0] = 0;
    if (queries.GetModuleSerialNumber(M, text)) show(1021, IDC_MODULE_SERIAL, QueryText(text));

    int year = -1, week = -1;
    if (queries.GetModuleManufactureDate(M, &year, &week) && week > 0 && year > 0)
        show(1025, IDC_MODULE_DATE, FormatText(L"%02d / %02d", week, year));
    const int size = queries.GetModuleSize(M);
    if (size > 0) show(1022, IDC_MODULE_SIZE, FormatText(L"%d MBytes", size));
    const int correction = queries.GetModuleCorrection(M);
    if (correction >= 0) show(1023, IDC_MODULE_CORRECTION, CorrectionText(correction));
    const int registered = queries.GetModuleRegistered(M);
    if (registered >= 0) show(1026, IDC_MODULE_REGISTERED, registered ? QStringLiteral("yes") : QStringLiteral("no"));
    const int buffered = queries.GetModuleBuffered(M);
    if (buffered >= 0) show(1024, IDC_MODULE_BUFFERED, buffered ? QStringLiteral("yes") : QStringLiteral("no"));
}

// " AMP", "XMP 1.3", "EPP 2.0" and their combinations, comma-separated.
void CSPDDlg::ShowProfileList(CInfoParser& queries, int M) {
    QString list;
    bool separated = false;
    const auto append = [&](const QString& part) {
        list += part;
        separated = true;
        EnableDlgItem(IDC_LABEL_PROFILES, true);
    };
    int version = 0;
    if (queries.GetAMPInfo(M, &version) > 0) append(QStringLiteral(" AMP"));
    int revision = 0;
    if (queries.GetXMPInfo(M, &revision) > 0)
        append(FormatText(separated ? L", XMP %d.%d" : L"XMP %d.%d", (revision >> 4) & 0xF, revision & 0xF));
    int kind = 0;
    if (queries.GetEPPInfo(M, &kind) > 0)
        append(FormatText(separated ? L", EPP %d.%d" : L"EPP %d.%d", (kind >> 4) & 0xF, kind & 0xF));
    SetDlgItemText(IDC_MODULE_PROFILES, list);
}

void CSPDDlg::SetCell(Row row, int column, const QString& text) {
    if (column < 0 || column >= kColumnCount) return;
    SetDlgItemText(kCells[row][column], text);
}

void CSPDDlg::SetHeading(int column, const QString& text) {
    if (column < 0 || column >= kColumnCount) return;
    SetDlgItemText(IDC_FIRST_HEADING + column, text);
}

void CSPDDlg::EnableTimingRows(bool withCommandRateAndVoltage) {
    EnableDlgItem(IDC_TIMING_GROUP, true);
    for (int row = kClock; row <= kRC; ++row) EnableDlgItem(kRowLabels[row], true);
    if (withCommandRateAndVoltage) {
        EnableDlgItem(kRowLabels[kCommandRate], true);
        EnableDlgItem(kRowLabels[kVoltage], true);
    }
}

} // namespace vexa::ui
