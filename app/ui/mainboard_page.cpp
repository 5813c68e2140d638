#include "app/ui/mainboard_page.h"

#include "app/info_parser.h"
#include "app/ui/format_text.h"

namespace vexa::ui {
namespace {

constexpr int kGraphicsAGP = 3;
constexpr int kGraphicsPCIExpress = 4;
constexpr int kUnknown = -1;

// Label and value columns of the rows.
constexpr int kLabelX = 6, kLabelWidth = 44, kValueX = 52, kRow = 10;

} // namespace

CMainboardDlg::CMainboardDlg(const PageContext& context, QWidget* parent) : FieldsPage(context, kTemplateId, parent) {}

void CMainboardDlg::OnInitDialog() {
    AddGroup(1174, "메인보드", {2, 1, 257, 80});
    AddLabels({{1167, "제조 회사", {kLabelX, 12, kLabelWidth, kRow}},
               {1169, "모델", {kLabelX, 25, kLabelWidth, kRow}},
               {1184, "칩셋", {kLabelX, 38, kLabelWidth, kRow}},
               {1163, "Rev.", {214, 38, 18, kRow}},
               {1176, "사우스브릿지", {kLabelX, 51, kLabelWidth, kRow}},
               {1164, "Rev.", {214, 51, 18, kRow}},
               {1186, "LPCIO", {kLabelX, 64, kLabelWidth, kRow}}});
    AddValues({{1050, {kValueX, 12, 203, kRow}},
               {1053, {kValueX, 25, 150, kRow}},
               {1059, {205, 25, 50, kRow}},
               {1161, {kValueX, 38, 60, kRow}},
               {1048, {114, 38, 98, kRow}},
               {1051, {234, 38, 21, kRow}},
               {1171, {kValueX, 51, 60, kRow}},
               {1049, {114, 51, 98, kRow}},
               {1054, {234, 51, 21, kRow}},
               {1180, {kValueX, 64, 60, kRow}},
               {1052, {114, 64, 141, kRow}}});

    AddGroup(1218, "바이오스", {2, 84, 257, 46});
    AddLabels({{1172, "브랜드", {kLabelX, 95, kLabelWidth, kRow}},
               {1173, "버전", {kLabelX, 107, kLabelWidth, kRow}},
               {1178, "날짜", {kLabelX, 119, kLabelWidth, kRow}}});
    AddValues({{1055, {kValueX, 95, 203, kRow}}, {1057, {kValueX, 107, 203, kRow}}, {1058, {kValueX, 119, 203, kRow}}});

    AddGroup(1063, "그래픽 인터페이스", {2, 133, 257, 60});
    AddLabels({{1028, "버전", {kLabelX, 144, kLabelWidth, kRow}},
               {1030, "전송 속도", {kLabelX, 156, kLabelWidth, kRow}},
               {1033, "최대 지원", {120, 156, 50, kRow}},
               {1037, "사이드 밴드 어드레싱", {kLabelX, 168, 100, kRow}}});
    AddValues({{1107, {kValueX, 144, 203, kRow}},
               {1093, {kValueX, 156, 60, kRow}},
               {1094, {172, 156, 60, kRow}},
               {1089, {108, 168, 124, kRow}}});
}

void CMainboardDlg::ShowBoard() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    wchar_t text[kInfoTextChars] = {};
    EnableItems({1167, 1169, 1172, 1173, 1178}, false);
    if (queries->GetBoardManufacturer(text)) {
        EnableDlgItem(1167, true);
        SetDlgItemText(1050, FormatText(L" %s", text));
    }
    if (queries->GetBoardProduct(text) || queries->GetSystemProduct(text)) {
        EnableDlgItem(1169, true);
        SetDlgItemText(1053, FormatText(L" %s", text));
    }
    if (queries->GetBoardVersion(text)) SetDlgItemText(1059, text);
    if (queries->GetBIOSVendor(text)) {
        EnableDlgItem(1172, true);
        SetDlgItemText(1055, FormatText(L" %s", text));
    }
    if (queries->GetBIOSVersion(text)) {
        EnableDlgItem(1173, true);
        SetDlgItemText(1057, FormatText(L" %s", text));
    }
    if (queries->GetBIOSDate(text)) {
        EnableDlgItem(1178, true);
        SetDlgItemText(1058, FormatText(L" %s", text));
    }
    ShowBridges(text);
    ShowGraphicsLink();
}

void CMainboardDlg::ShowBridges(wchar_t* text) {
    CInfoParser& queries = *Queries();
    EnableItems({1184, 1163}, false);
    if (queries.GetNorthbridgeVendor(text)) {
        EnableDlgItem(1184, true);
        SetDlgItemText(1161, text);
    }
    if (queries.GetNorthbridgeModel(text)) SetDlgItemText(1048, text);
    if (queries.GetNorthbridgeRevision(text)) {
        EnableDlgItem(1163, true);
        SetDlgItemText(1051, text);
    }

    EnableItems({1176, 1164}, false);
    if (queries.GetSouthbridgeVendor(text)) {
        EnableDlgItem(1176, true);
        SetDlgItemText(1171, text);
        if (queries.GetSouthbridgeModel(text)) SetDlgItemText(1049, text);
    }
    if (queries.GetSouthbridgeRevision(text)) {
        EnableDlgItem(1164, true);
        SetDlgItemText(1054, text);
    }

    EnableDlgItem(1186, false);
    if (queries.GetLPCIOVendor(0, text)) {
        EnableDlgItem(1186, true);
        SetDlgItemText(1180, text);
    }
    if (queries.GetLPCIOModel(0, text)) {
        EnableDlgItem(1186, true);
        SetDlgItemText(1052, text);
    }
}

void CMainboardDlg::ShowGraphicsLink() {
    CInfoParser& queries = *Queries();
    EnableItems({1063, 1028, 1030, 1033, 1037}, false);
    int kind = kUnknown, current = kUnknown, max = kUnknown;
    queries.GetGraphicInterface(&kind, &current, &max);
    if (kind == kGraphicsPCIExpress) {
        EnableItems({1063, 1028}, true);
        SetDlgItemText(1107, QStringLiteral(" PCI-Express"));
        SetDlgItemText(1030, QStringLiteral("전송 속도"));
        if (current != kUnknown) {
            EnableDlgItem(1030, true);
            SetDlgItemText(1093, FormatText(L"x%d", current));
        }
        if (max != kUnknown) {
            EnableDlgItem(1033, true);
            SetDlgItemText(1094, FormatText(L"x%d", max));
        }
    } else if (kind == kGraphicsAGP) {
        EnableItems({1063, 1028, 1030, 1033, 1037}, true);
        SetDlgItemText(1030, QStringLiteral("Transfer Rate"));
        SetDlgItemText(1093, current == kUnknown ? QStringLiteral("not supported") : FormatText(L"%dx", current));
        if (max != kUnknown) SetDlgItemText(1094, FormatText(L"%dx", max));
        else EnableDlgItem(1033, false);
        int version = kUnknown, supported = kUnknown, enabled = kUnknown;
        if (queries.GetAGPInfo(&version, &supported, &enabled)) {
            SetDlgItemText(1107, FormatText(L" AGP version %d.%d", (version >> 4) & 0xF, version & 0xF));
            EnableDlgItem(1037, true);
            SetDlgItemText(1089, supported == 0 ? QStringLiteral("not supported")
                                 : enabled     ? QStringLiteral("enabled")
                                               : QStringLiteral("disabled"));
        } else {
            SetDlgItemText(1107, QStringLiteral(" AGP"));
            EnableDlgItem(1037, false);
            SetDlgItemText(1089, QString());
        }
    }
}

} // namespace vexa::ui
