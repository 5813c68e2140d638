#include "app/ui/cache_page.h"

#include <QGroupBox>
#include <QLabel>

#include <tuple>

#include "app/info_parser.h"
#include "app/ui/format_text.h"
#include "app/ui/user_fonts.h"
#include "sdk/cpu/cpu_class_codes.h"

namespace vexa::ui {
namespace {

constexpr int kDirectMapped = 1;
constexpr int kFullyAssociative = 255;
constexpr int kGroupHeight = 38;
constexpr int kGroupPitch = 39;

// " 8-way set associative, 64-byte line size" and its kin; empty when the
// geometry query answered nothing.
QString GeometryText(int answer, int lineBytes, int ways) {
    if (answer <= 0) return {};
    const bool line = lineBytes != -1;
    switch (ways) {
    case -1: return line ? FormatText(L" %d-byte line size", lineBytes) : QString();
    case kDirectMapped:
        return line ? FormatText(L" Direct mapped, %d-byte line size", lineBytes) : FormatText(L" Direct mapped");
    case kFullyAssociative:
        return line ? FormatText(L" Fully associative, %d-byte line size", lineBytes)
                    : FormatText(L" Fully associative");
    default:
        return line ? FormatText(L" %d-way set associative, %d-byte line size", ways, lineBytes)
                    : FormatText(L" %d-way set associative", ways);
    }
}

} // namespace

const CCacheDlg::GroupControls CCacheDlg::kGroups[kGroupCount] = {
    {1217, "L1 데이터 캐시", 1154, 1156, 1133, 1134, 1019},
    {1218, "L1 명령어 캐시", 1155, 1157, 1135, 1136, 1020},
    {1219, "L2 캐시", 1123, 1159, 1083, 1138, 1021},
    {1220, "L3 캐시", 1124, 1163, 1040, 1142, 1022},
    {1221, "", 1125, 1164, 1041, 1143, 1023},
};

CCacheDlg::CCacheDlg(const PageContext& context, QWidget* parent) : Page(context, kTemplateId, parent) {}

void CCacheDlg::OnInitDialog() {
    const UserFonts& fonts = m_Context.fonts;
    QPalette values = palette();
    values.setColor(QPalette::WindowText, fonts.textColor);
    for (int g = 0; g < kGroupCount; ++g) {
        const GroupControls& group = kGroups[g];
        const int top = 1 + g * kGroupPitch;
        AddGroupBox(group.groupBox, QString::fromUtf8(group.resourceText), {2, top, 257, kGroupHeight})->setFont(fonts.label);
        AddText(group.sizeLabel, QStringLiteral("크기"), {6, top + 11, 44, 10})->setFont(fonts.label);
        AddText(group.detailLabel, QStringLiteral("세부 내용"), {6, top + 24, 44, 10})->setFont(fonts.label);
        for (const auto& [id, rect, alignment] :
             {std::tuple{group.sizeValue, DialogRect{52, top + 11, 120, 10}, Qt::AlignLeft},
              std::tuple{group.countValue, DialogRect{176, top + 11, 40, 10}, Qt::AlignHCenter},
              std::tuple{group.detailValue, DialogRect{52, top + 24, 203, 10}, Qt::AlignLeft}}) {
            QLabel* field = AddValueField(id, rect, alignment);
            field->setFont(fonts.text);
            field->setPalette(values);
        }
        EnableDlgItem(group.groupBox, false);
        EnableDlgItem(group.sizeLabel, false);
        EnableDlgItem(group.detailLabel, false);
    }
}

bool CCacheDlg::FillGroup(int g, int level, int type, const CacheLabel& label, SizeUnit unit, Detail detail) {
    CInfoParser& queries = *Queries();
    int size = -1;
    const int count = queries.GetCacheCount(0, level, type, &size);
    if (count < 1 || size == -1) return false;
    const GroupControls& group = kGroups[g];
    EnableDlgItem(group.groupBox, true);
    EnableDlgItem(group.sizeLabel, true);
    EnableDlgItem(group.detailLabel, true);
    if (m_bSeveralPackages) SetDlgItemText(group.groupBox, QString::fromUtf8(label.perProcessor));
    else if (label.single) SetDlgItemText(group.groupBox, QString::fromUtf8(label.single));

    switch (unit) {
    case SizeUnit::KBytes: SetDlgItemText(group.sizeValue, FormatText(L" %d KBytes", size)); break;
    case SizeUnit::Kuops: SetDlgItemText(group.sizeValue, FormatText(L" %d Kuops", size)); break;
    case SizeUnit::MBytesWhenWhole:
        SetDlgItemText(group.sizeValue, size >= 1024 && size % 1024 == 0 ? FormatText(L" %d MBytes", size / 1024)
                                                                          : FormatText(L" %d KBytes", size));
        break;
    }
    if (count > 1) SetDlgItemText(group.countValue, FormatText(L"x %d", count));

    int lineBytes = -1, ways = -1;
    const int answer = queries.GetCacheGeometry(0, level, type, &lineBytes, &ways);
    if (detail == Detail::TraceWays) {
        SetDlgItemText(group.detailValue, answer > 0 ? FormatText(L" %d-way set associative", ways) : QString());
    } else {
        SetDlgItemText(group.detailValue, GeometryText(answer, lineBytes, ways));
    }
    return true;
}

// The group keeps its resource text; count and detail stay empty.
void CCacheDlg::ShowBoardCache(int g, int sizeKB) {
    EnableDlgItem(kGroups[g].groupBox, true);
    EnableDlgItem(kGroups[g].sizeLabel, true);
    SetDlgItemText(kGroups[g].sizeValue, FormatText(L" %d KBytes", sizeKB));
}

void CCacheDlg::FillFromQueries() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    m_bSeveralPackages = queries->GetProcessorCount() > 1;
    const auto present = [&](int level, int type) {
        int size = -1;
        return queries->GetCacheCount(0, level, type, &size) >= 1;
    };
    constexpr int kGroupL1Data = 0, kGroupL1Code = 1, kGroupL2 = 2, kGroupL3 = 3, kGroupExtra = 4;
    int lastFilled = -1;
    const auto fill = [&](int group, int level, int type, const CacheLabel& label, SizeUnit unit,
                          Detail detail = Detail::Geometry) {
        if (FillGroup(group, level, type, label, unit, detail)) lastFilled = group;
    };

    fill(kGroupL1Data, 1, CACHE_DATA, {nullptr, "L1 Data Cache (per processor)"}, SizeUnit::KBytes);
    const bool l1Present = present(1, CACHE_DATA);

    if (present(1, CACHE_INSTRUCTION)) {
        fill(kGroupL1Code, 1, CACHE_INSTRUCTION, {nullptr, "L1 Instruction Cache (per processor)"}, SizeUnit::KBytes);
    } else {
        fill(kGroupL1Code, 1, CACHE_TRACE, {"Trace Cache", "Trace Cache (per processor)"}, SizeUnit::Kuops,
             Detail::TraceWays);
    }

    int levels = 0;
    bool l2Data = false;
    if (present(2, CACHE_UNIFIED)) {
        fill(kGroupL2, 2, CACHE_UNIFIED, {"L2 캐시", "L2 Cache (per processor)"}, SizeUnit::KBytes);
        levels = 2;
    } else {
        if (present(2, CACHE_INSTRUCTION)) {
            fill(kGroupL2, 2, CACHE_INSTRUCTION, {"L2 Instruction Cache", "L2 Instruction Cache (per processor)"},
                 SizeUnit::KBytes);
            levels = 2;
        } else {
            levels = l1Present ? 1 : 0;
        }
        if (present(2, CACHE_DATA)) {
            fill(kGroupL3, 2, CACHE_DATA, {"L2 Data Cache", "L2 Data Cache (per processor)"}, SizeUnit::KBytes);
            l2Data = true;
            levels = 2;
        }
    }

    if (present(3, CACHE_UNIFIED)) {
        levels = 3;
        fill(l2Data ? kGroupExtra : kGroupL3, 3, CACHE_UNIFIED, {"L3 Cache", "L3 Cache (per processor)"},
             SizeUnit::MBytesWhenWhole);
    }

    if (present(4, CACHE_UNIFIED) && lastFilled == kGroupL3) {
        fill(kGroupExtra, 4, CACHE_UNIFIED, {"L4 Cache", "L4 Cache (per processor)"}, SizeUnit::MBytesWhenWhole);
        levels = 4;
    }

    int boardSize = -1;
    if (queries->GetBoardCacheSize(&boardSize) >= 1 && boardSize != -1) {
        if (levels == 1) ShowBoardCache(kGroupL2, boardSize);
        else if (levels == 2) ShowBoardCache(kGroupL3, boardSize);
    }
}

} // namespace vexa::ui
