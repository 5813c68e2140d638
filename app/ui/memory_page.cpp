#include "app/ui/memory_page.h"

#include "app/info_parser.h"
#include "app/ui/format_text.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"

namespace vexa::ui {
namespace {

constexpr int kUnknown = -1;
constexpr int kRow = 10;
constexpr int kTimingLabelX = 6, kTimingLabelWidth = 150, kTimingValueX = 160, kTimingPitch = 12;

QString TypeText(int type) {
    const char* text = MemoryTypeText(type);
    return text[0] ? QStringLiteral(" ") + QString::fromUtf8(text) : QString();
}

QString ChannelsText(int channels) {
    switch (channels) {
    case 1: return QStringLiteral("Single");
    case 2: return QStringLiteral("Dual");
    case 3: return QStringLiteral("Triple");
    case 4: return QStringLiteral("Quad");
    default: return {};
    }
}

QString ChannelModeText(int mode) {
    const bool amd = ((mode >> 24) & 0xFF) == (MEMORY_CHANNELS_AMD >> 24);
    switch (mode & 0xFFFFFF) {
    case 0: return amd ? QStringLiteral("Unganged") : QStringLiteral("Asymmetric");
    case 1: return amd ? QStringLiteral("Ganged") : QStringLiteral("Symmetric");
    default: return {};
    }
}

// The timing rows, top to bottom: label, its resource text, value field.
struct TimingRow {
    int label;
    const char* text;
    int value;
};
constexpr TimingRow kTimingRows[] = {
    {1006, "DRAM Frequency", 1064},
    {1010, "FSB:DRAM", 1065},
    {1007, "CAS# Latency (CL)", 1067},
    {1009, "RAS# to CAS# Delay (tRCD)", 1070},
    {1012, "RAS# Precharge (tRP)", 1073},
    {1014, "Cycle Time (tRAS)", 1076},
    {1016, "Bank Cycle Time (tRC)", 1079},
    {1019, "Command Rate (CR)", 1083},
    {1018, "DRAM Idle Timer", 1082},
    {1188, "Total CAS# (tRDRAM)", 1189},
    {1191, "Row To Column (tRCD)", 1192},
};

} // namespace

CMemoryDlg::CMemoryDlg(const PageContext& context, QWidget* parent) : FieldsPage(context, kTemplateId, parent) {}

void CMemoryDlg::OnInitDialog() {
    AddGroup(1219, "일반", {2, 1, 257, 52});
    AddLabels({{1002, "종류", {6, 12, 40, kRow}},
               {1004, "크기", {6, 25, 40, kRow}},
               {1005, "채널 #", {122, 12, 50, kRow}},
               {1020, "DC Mode", {122, 25, 50, kRow}},
               {1183, "NB 클럭", {122, 38, 50, kRow}}});
    AddValues({{1232, {48, 12, 70, kRow}},
               {1061, {48, 25, 70, kRow}},
               {1068, {174, 12, 81, kRow}},
               {1101, {174, 25, 81, kRow}},
               {1182, {174, 38, 81, kRow}}});
    const int timingsTop = 56;
    AddGroup(1175, "Timings", {2, timingsTop, 257, 12 + kTimingPitch * int(std::size(kTimingRows))});
    int y = timingsTop + 11;
    for (const TimingRow& row : kTimingRows) {
        AddLabels({{row.label, row.text, {kTimingLabelX, y, kTimingLabelWidth, kRow}}});
        AddValues({{row.value, {kTimingValueX, y, 90, kRow}}});
        y += kTimingPitch;
    }
}

void CMemoryDlg::FillFromQueries() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    EnableItems({1004, 1183, 1005, 1007, 1009, 1012, 1014, 1016, 1018, 1019, 1020, 1006, 1010, 1188, 1191}, false);
    const int size = queries->GetMemorySize();
    if (size != kUnknown) {
        EnableDlgItem(1004, true);
        SetDlgItemText(1061, size > 1024 && size % 1024 == 0 ? FormatText(L"%d GBytes", size / 1024)
                                                             : FormatText(L"%d MBytes", size));
    }
    const int type = queries->GetMemoryType();
    if (type != kUnknown) SetDlgItemText(1232, TypeText(type));
    const int channels = queries->GetMemoryChannels();
    if (channels != kUnknown) {
        EnableDlgItem(1005, true);
        SetDlgItemText(1068, ChannelsText(channels));
    }
    const int mode = queries->GetMemoryChannelMode();
    if (mode != kUnknown && channels == 2) {
        EnableDlgItem(1020, true);
        SetDlgItemText(1101, ChannelModeText(mode));
    }
    OnUpdatePage();
}

void CMemoryDlg::ShowClocks(int label, int field, int clocks) {
    if (clocks == kUnknown) {
        SetDlgItemText(field, QString());
        return;
    }
    EnableDlgItem(label, true);
    SetDlgItemText(field, FormatText(L"%d clocks", clocks));
}

void CMemoryDlg::OnUpdatePage() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    const float uncore = queries->GetUncoreMultiplier();
    const float bus = queries->GetBusClock();
    if (uncore > 0.0f && bus > 0.0f) {
        EnableDlgItem(1183, true);
        SetDlgItemText(1182, FormatText(L"%.1f MHz", static_cast<double>(uncore * bus)));
    } else {
        SetDlgItemText(1182, QString());
    }
    const float dram = queries->GetDRAMFrequency();
    if (dram > 0.0f) {
        EnableDlgItem(1006, true);
        SetDlgItemText(1064, FormatText(L"%.1f MHz", static_cast<double>(dram)));
    } else {
        SetDlgItemText(1064, QString());
    }
    wchar_t ratio[kInfoTextChars] = {};
    queries->GetFSBDRAMRatio(ratio);
    if (ratio[0]) EnableDlgItem(1010, true);
    SetDlgItemText(1065, ratio);
    const float cas = queries->GetCASLatency();
    if (cas > 0.0f) {
        EnableDlgItem(1007, true);
        SetDlgItemText(1067, FormatText(L"%1.1f clocks", static_cast<double>(cas)));
    } else {
        SetDlgItemText(1067, QString());
    }
    ShowClocks(1009, 1070, queries->GetRASToCASDelay());
    ShowClocks(1012, 1073, queries->GetRASPrecharge());
    ShowClocks(1014, 1076, queries->GetCycleTime());
    const int tRC = queries->GetBankCycleTime();
    const int tRFC = tRC == kUnknown ? queries->GetRowRefreshCycleTime() : kUnknown;
    if (tRC != kUnknown) {
        SetDlgItemText(1016, QStringLiteral("Bank Cycle Time (tRC)"));
        ShowClocks(1016, 1079, tRC);
    } else if (tRFC != kUnknown) {
        SetDlgItemText(1016, QStringLiteral("Row Refresh Cycle Time (tRFC)"));
        ShowClocks(1016, 1079, tRFC);
    } else {
        SetDlgItemText(1079, QString());
    }
    const int commandRate = queries->GetCommandRate();
    if (commandRate != kUnknown) {
        EnableDlgItem(1019, true);
        SetDlgItemText(1083, FormatText(L"%dT", commandRate));
    } else {
        SetDlgItemText(1083, QString());
    }
    ShowClocks(1018, 1082, queries->GetDRAMIdleTimer());
    ShowClocks(1188, 1189, queries->GetTotalCAS());
    ShowClocks(1191, 1192, queries->GetRowToColumnDelay());
}

} // namespace vexa::ui
