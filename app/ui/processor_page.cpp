#include "app/ui/processor_page.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>

#include "app/info_parser.h"
#include "app/ui/artwork.h"
#include "app/ui/format_text.h"
#include "app/ui/hyperlink.h"
#include "app/ui/masked_bitmap.h"
#include "app/ui/processor_logos.h"
#include "app/ui/processor_page_texts.h"
#include "app/ui/user_fonts.h"
#include "app/vexa_app.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/pi_scaled_clock.h"

namespace vexa::ui {
namespace {

constexpr int kCoreVoltageSensor = 0x1000100;

struct Field {
    int labelId;
    const char* label;
    DialogRect labelRect;
    int valueId;
    DialogRect valueRect;
};

// The template's labels and value fields (dialog units).
constexpr Field kFields[] = {
    {1148, "이름", {6, 10, 44, 10}, 1071, {52, 10, 140, 10}},
    {1193, "코드명", {6, 21, 44, 10}, 1080, {52, 21, 73, 10}},
    {1166, "브랜드 ID", {126, 21, 33, 10}, 1102, {161, 21, 31, 10}},
    {1143, "패키지", {6, 32, 44, 10}, 1108, {52, 32, 140, 10}},
    {1132, "공정 기술", {6, 43, 44, 10}, 1110, {52, 43, 38, 10}},
    {1155, "코어 전압", {92, 43, 50, 10}, 1122, {144, 43, 48, 10}},
    {1187, "세부 정보", {6, 58, 44, 10}, 1185, {52, 58, 203, 10}},
    {1210, "제품군", {6, 69, 44, 10}, 1085, {52, 69, 35, 10}},
    {1211, "모델", {89, 69, 46, 10}, 1090, {137, 69, 35, 10}},
    {1212, "제조 공정", {174, 69, 44, 10}, 1096, {220, 69, 35, 10}},
    {1213, "확장 제품군", {6, 80, 44, 10}, 1086, {52, 80, 35, 10}},
    {1214, "확장 모델", {89, 80, 46, 10}, 1091, {137, 80, 35, 10}},
    {1129, "수정 버전", {174, 80, 44, 10}, 1038, {220, 80, 35, 10}},
    {1216, "코어 속도", {5, 125, 40, 10}, 1065, {47, 125, 63, 10}},
    {1130, "동작 배속", {5, 136, 40, 10}, 1112, {47, 136, 63, 10}},
    {1131, "버스 속도", {5, 147, 40, 10}, 1113, {47, 147, 63, 10}},
    {1134, "측정된 FSB", {5, 158, 40, 10}, 1117, {47, 158, 63, 10}},
    {1152, "L1 데이터", {121, 125, 34, 10}, 1114, {157, 125, 63, 10}},
    {1153, "L1 명령어", {121, 136, 34, 10}, 1121, {157, 136, 63, 10}},
    {1123, "레벨 2", {121, 147, 34, 10}, 1116, {157, 147, 63, 10}},
    {1124, "레벨 3", {121, 158, 34, 10}, 1118, {157, 158, 63, 10}},
    {1154, "코어 수", {136, 181, 32, 10}, 1120, {170, 181, 21, 10}},
    {1156, "스레드", {194, 181, 36, 10}, 1119, {232, 181, 21, 10}},
};

// The associativity fields right of the cache sizes.
constexpr int kWaysFields[] = {1115, 1125, 1126, 1127};
constexpr DialogRect kWaysRects[] = {{221, 125, 34, 10}, {221, 136, 34, 10}, {221, 147, 34, 10}, {221, 158, 34, 10}};

constexpr int kInstructionsLabel = 1215;
constexpr int kInstructionsField = 1190;
constexpr int kSelectionLabel = 1136;
constexpr int kGroupProcessor = 1207;
constexpr int kGroupCaches = 1209;

// Grey until their value is shown.
constexpr int kLabelsShownWithValue[] = {1193, 1166, 1143, 1155, 1129, 1132, 1216, 1130,
                                         1131, 1134, 1152, 1153, 1123, 1124, 1154, 1156};

constexpr DialogRect kLogoFrame = {195, 10, 60, 43};

// The package combo box: its drop-down list is as wide as its widest item.
class ProcessorCombo : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void showPopup() override {
        const QFontMetrics metrics(font());
        int widest = 0;
        for (int i = 0; i < count(); ++i) widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
        const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        view()->setMinimumWidth(widest + scrollBar + metrics.horizontalAdvance(QLatin1Char('0')));
        QComboBox::showPopup();
    }
};

QString Text(const wchar_t* buffer) { return QString::fromWCharArray(buffer); }

} // namespace

CProcessorDlg::CProcessorDlg(const PageContext& context, QWidget* parent) : Page(context, kTemplateId, parent) {}

QRect CProcessorDlg::LogoRect() const {
    return m_pLogoLink ? m_pLogoLink->geometry() : QRect();
}

void CProcessorDlg::BuildTemplate() {
    const UserFonts& fonts = m_Context.fonts;
    QPalette values = palette();
    values.setColor(QPalette::WindowText, fonts.textColor);
    values.setColor(QPalette::Text, fonts.textColor);

    AddGroupBox(kGroupProcessor, QStringLiteral("프로세서"), {2, 1, 257, 113});
    AddGroupBox(IDC_GROUP_CLOCKS, QStringLiteral("클럭"), {2, 115, 113, 57});
    AddGroupBox(kGroupCaches, QStringLiteral("캐시"), {118, 115, 140, 57});
    AddFrame(IDC_STATIC, {2, 174, 257, 23});
    for (const int group : {kGroupProcessor, IDC_GROUP_CLOCKS, kGroupCaches}) SetDlgItemFont(group, fonts.label);

    const auto addLabel = [&](int id, const QString& text, const DialogRect& rect) {
        AddText(id, text, rect)->setFont(fonts.label);
    };
    const auto addValue = [&](int id, const DialogRect& rect, Qt::Alignment alignment) {
        QLabel* field = AddValueField(id, rect, alignment);
        field->setFont(fonts.text);
        field->setPalette(values);
    };
    for (const Field& field : kFields) {
        addLabel(field.labelId, QString::fromUtf8(field.label), field.labelRect);
        addValue(field.valueId, field.valueRect, Qt::AlignHCenter);
    }
    for (size_t i = 0; i < std::size(kWaysFields); ++i) addValue(kWaysFields[i], kWaysRects[i], Qt::AlignHCenter);
    addLabel(kInstructionsLabel, QStringLiteral("명령어"), {6, 91, 44, 10});
    addValue(kInstructionsField, {52, 91, 203, 18}, Qt::AlignLeft);
    Item<QLabel>(kInstructionsField)->setWordWrap(true);
    addLabel(kSelectionLabel, QStringLiteral("프로세서 선택"), {5, 180, 53, 12});

    m_pProcessorCombo = AddControl(IDC_PROCESSOR, new ProcessorCombo, {60, 179, 73, 13});
    m_pProcessorCombo->setFont(fonts.text);
    m_pProcessorCombo->setPalette(values);
    // A new package shows at the next refresh.
    m_pLogoLink = AddControl(IDC_LOGO, new CHyperLink2, kLogoFrame);
}

void CProcessorDlg::OnInitDialog() {
    BuildTemplate();
    EnableDlgItem(1148, true);
    EnableDlgItem(1187, true);
    for (const int label : kLabelsShownWithValue) EnableDlgItem(label, false);
    m_LogoBitmap = QImage();
    m_bLogoTransparent = 0;
}

void CProcessorDlg::FillFromQueries() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    FillProcessorCombo(*queries);
    BuildCoreMenu(*queries);
    SetUpLogoLink(*queries);
    SetUpLogo(*queries);
    OnUpdatePage();
}

void CProcessorDlg::FillProcessorCombo(CInfoParser& queries) {
    const int count = queries.GetProcessorCount();
    for (int i = 0; i < count; ++i) m_pProcessorCombo->addItem(FormatText(L"Processor #%d", queries.GetProcessorIndex(i) + 1));
    m_pProcessorCombo->setCurrentIndex(0);
    if (count < 2) m_pProcessorCombo->setEnabled(false);
}

void CProcessorDlg::BuildCoreMenu(CInfoParser& queries) {
    m_pCoreMenu = new QMenu(this);
    for (int core = 0; core < queries.GetCoreCount(0); ++core)
        m_pCoreMenu->addAction(FormatText(L"Core #%d", core))->setData(ID_SELECT_CORE + core);
}

void CProcessorDlg::SetUpLogoLink(CInfoParser& queries) {
    wchar_t brandString[kInfoTextChars];
    if (!queries.GetSpecification(0, brandString)) return;
    if (queries.IsEngineeringSample(0)) m_pLogoLink->setEnabled(false);
    else m_pLogoLink->SetURL(LogoLinkURL(Text(brandString)));
}

// The logo is centred in its frame, and the link moved to cover exactly it.
void CProcessorDlg::SetUpLogo(CInfoParser& queries) {
    const ProcessorLogo& logo = SelectProcessorLogo(static_cast<uint32_t>(queries.GetClassCode(0)));
    m_nLogoBitmap = logo.bitmap;
    m_nLogoWidth = LogoWidth(logo.form);
    m_nLogoHeight = LogoHeight(logo.form);
    m_LogoBitmap = LoadBitmapResource(logo.bitmap);
    if (logo.form != LogoForm::Opaque) {
        m_bLogoTransparent = 1;
        CreateBitmapMask(m_LogoBitmap, m_LogoMask);
    }
    const QRect frame = ToPixels(kLogoFrame);
    const int x = frame.left() + frame.width() / 2 - m_nLogoWidth / 2;
    const int y = frame.top() + frame.height() / 2 - m_nLogoHeight / 2;
    m_pLogoLink->setGeometry(x, y, m_nLogoWidth, m_nLogoHeight);
    update();
}

// The values' fields change every second and repaint what lies under them;
// the logo is drawn only when its own area is to be painted.
void CProcessorDlg::paintEvent(QPaintEvent* event) {
    Page::paintEvent(event);
    const QRect logo = LogoRect();
    if (m_LogoBitmap.isNull() || !event->region().intersects(logo)) return;
    QPainter painter(this);
    if (m_bLogoTransparent) {
        DrawBitmapMasked(m_LogoMask, painter, logo.x(), logo.y(), m_nLogoWidth, m_nLogoHeight, m_LogoBitmap);
    } else {
        painter.drawImage(logo.topLeft(), m_LogoBitmap, QRect(0, 0, m_nLogoWidth, m_nLogoHeight));
    }
}

// The core menu at the release point; the chosen core goes to the main
// window.
void CProcessorDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && m_pCoreMenu) {
        QAction* chosen = m_pCoreMenu->exec(mapToGlobal(event->position().toPoint()));
        if (chosen && m_Context.mainWindow) m_Context.mainWindow->PostCommand(chosen->data().toInt());
    }
    Page::mouseReleaseEvent(event);
}

void CProcessorDlg::ShowValue(int labelId, int valueId, const QString& text) {
    EnableDlgItem(labelId, true);
    SetDlgItemText(valueId, text);
}

void CProcessorDlg::OnUpdatePage() {
    CInfoParser* queries = Queries();
    if (!queries) return;
    const int P = m_pProcessorCombo->currentIndex();
    // The selected core itself stays as chosen; a package without a core
    // count shows core 0.
    const int C = std::max(0, std::min(m_Context.app.m_iSelectedCore, queries->GetCoreCount(P) - 1));
    ShowCounts(*queries, P);
    ShowCaches(*queries, P);
    ShowIdentity(*queries, P);
    ShowClocks(*queries, P, C);
    ShowCoreVoltage(*queries, P);
    UpdateCoreMenu(*queries, P);
}

void CProcessorDlg::ShowCounts(CInfoParser& queries, int P) {
    ShowValue(1154, 1120, FormatText(L"%d", queries.GetCoreCount(P)));
    ShowValue(1156, 1119, FormatText(L"%d", queries.GetThreadCount(P)));
}

void CProcessorDlg::ShowCaches(CInfoParser& queries, int P) {
    const auto ways = [&](int level, int type) {
        int line = -1, associativity = -1;
        const int answer = queries.GetCacheGeometry(P, level, type, &line, &associativity);
        return AssociativityText(answer, associativity);
    };
    const auto showRow = [&](int label, int sizeField, int waysField, int count, int size, int level, int type,
                             bool megabytes = false) {
        ShowValue(label, sizeField, CacheSizeText(count, size, megabytes));
        SetDlgItemText(waysField, ways(level, type));
    };

    int size = -1;
    const int l1Data = queries.GetCacheCount(P, 1, CACHE_DATA, &size);
    if (l1Data > 0 && size != -1) showRow(1152, 1114, 1115, l1Data, size, 1, CACHE_DATA);

    size = -1;
    const int l1Code = queries.GetCacheCount(P, 1, CACHE_INSTRUCTION, &size);
    if (l1Code > 0) {
        if (size != -1) showRow(1153, 1121, 1125, l1Code, size, 1, CACHE_INSTRUCTION);
    } else {
        size = -1;
        const int trace = queries.GetCacheCount(P, 1, CACHE_TRACE, &size);
        if (trace > 0 && size != -1) {
            SetDlgItemText(1153, QStringLiteral("Trace"));
            ShowValue(1153, 1121, trace > 1 ? FormatText(L"%d x %d Kuops", trace, size) : FormatText(L"%d Kuops", size));
            int line = -1, associativity = -1;
            const bool known = queries.GetCacheGeometry(P, 1, CACHE_TRACE, &line, &associativity) > 0;
            SetDlgItemText(1125, known ? FormatText(L" %d-way", associativity) : QString());
        }
    }

    size = -1;
    const int l2 = queries.GetCacheCount(P, 2, CACHE_UNIFIED, &size);
    int l2Data = 0;
    if (l2 > 0) {
        if (size != -1) showRow(1123, 1116, 1126, l2, size, 2, CACHE_UNIFIED);
    } else {
        // Split level 2: the data cache's count with both sizes together.
        int codeSize = -1, dataSize = -1;
        const int l2Code = queries.GetCacheCount(P, 2, CACHE_INSTRUCTION, &codeSize);
        l2Data = queries.GetCacheCount(P, 2, CACHE_DATA, &dataSize);
        const int total = (l2Code > 0 && codeSize != -1 ? codeSize : 0) + dataSize;
        if (l2Data > 0 && dataSize != -1) ShowValue(1123, 1116, CacheSizeText(l2Data, total));
    }

    size = -1;
    const int l3 = queries.GetCacheCount(P, 3, CACHE_UNIFIED, &size);
    if (l3 > 0 && size != -1) showRow(1124, 1118, 1127, l3, size, 3, CACHE_UNIFIED, true);

    const int highest = l3 > 0 ? 3 : (l2 > 0 || l2Data > 0) ? 2 : l1Data > 0 ? 1 : 0;
    int boardSize = -1;
    if (queries.GetBoardCacheSize(&boardSize) > 0 && boardSize != -1) {
        const QString text = FormatText(L"%d KBytes", boardSize);
        if (highest == 1) ShowValue(1123, 1116, text);
        else if (highest == 2) ShowValue(1124, 1118, text);
    }
}

void CProcessorDlg::ShowIdentity(CInfoParser& queries, int P) {
    wchar_t text[kInfoTextChars];
    if (queries.GetProcessorName(P, text)) SetDlgItemText(1071, text);

    if (queries.GetSpecification(P, text)) {
        QString details = Text(text);
        if (details.isEmpty() && queries.GetProcessorName(P, text)) {
            const int stock = queries.GetStockClock(P);
            details = stock != -1 ? FormatText(L"%s %d MHz", text, stock) : Text(text);
        }
        if (queries.IsEngineeringSample(P)) details += QStringLiteral(" (ES)");
        SetDlgItemText(1185, details);
    }

    const int family = queries.GetFamily(P);
    if (family != -1) {
        SetDlgItemText(1085, FormatText(L"%X", family));
        SetDlgItemText(1090, FormatText(L"%X", queries.GetModel(P)));
        SetDlgItemText(1096, FormatText(L"%X", queries.GetStepping(P)));
    }
    if (const int extFamily = queries.GetExtFamily(P); extFamily != -1) SetDlgItemText(1086, FormatText(L"%X", extFamily));
    if (const int extModel = queries.GetExtModel(P); extModel != -1) SetDlgItemText(1091, FormatText(L"%X", extModel));

    SetDlgItemText(kInstructionsField, InstructionSetText(queries, P));

    if (queries.GetCodename(P, text)) ShowValue(1193, 1080, Text(text));

    if (const float tdp = queries.GetTDP(P); tdp > 0) {
        SetDlgItemText(1166, QStringLiteral("Max TDP"));
        ShowValue(1166, 1102, FormatText(L"%.1f W", tdp));
    } else if (const int brand = queries.GetBrandID(P); brand > 0) {
        SetDlgItemText(1166, QStringLiteral("Brand ID"));
        ShowValue(1166, 1102, FormatText(L"%d", brand));
    }

    if (queries.GetPackage(P, text)) ShowValue(1143, 1108, Text(text));

    const float technology = queries.GetTechnology(P);
    if (technology > 0) ShowValue(1132, 1110, TechnologyText(technology));
    else EnableDlgItem(1132, false);

    if (queries.GetCoreStepping(P, text)) ShowValue(1129, 1038, Text(text));
}

void CProcessorDlg::ShowClocks(CInfoParser& queries, int P, int C) {
    SetDlgItemText(IDC_GROUP_CLOCKS, FormatText(L"클럭 (코어 #%d)", C));

    if (const double clock = PiScaledClock::ToMHz(queries.GetCoreClock(P, C)); clock > 0)
        ShowValue(1216, 1065, FormatText(L"%.2f MHz", clock));

    const float multiplier = queries.GetCoreMultiplier(P, C);
    if (multiplier > 0) EnableDlgItem(1130, true);
    SetDlgItemText(1112, MultiplierText(multiplier, queries.GetCoreMinMultiplier(P, C), queries.GetCoreMaxMultiplier(P, C)));

    if (const float bus = queries.GetBusClock(); bus > 0) ShowValue(1131, 1113, FormatText(L"%.2f MHz", bus));

    if (const float rated = queries.GetRatedBusClock(P); rated > 0) {
        switch (static_cast<uint32_t>(queries.GetClassCode(P)) & ~0xFFu) {
        case 0x2002000:
        case 0x2004000:
        case 0x2010000:
        case 0x2020000:
        case 0x2040000: SetDlgItemText(1134, QStringLiteral("HT Link")); break;
        case 0x1020000:
        case 0x1020100: SetDlgItemText(1134, QStringLiteral("QPI Link")); break;
        default: break;
        }
        ShowValue(1134, 1117, FormatText(L"%.2f MHz", rated));
    }
}

void CProcessorDlg::ShowCoreVoltage(CInfoParser& queries, int P) {
    int device = -1, index = -1;
    if (const float sensor = queries.GetSensorValue(kCoreVoltageSensor, &device, &index); sensor > 0) {
        SetDlgItemText(1155, QStringLiteral("코어 전압"));
        ShowValue(1155, 1122, FormatText(L"%.3f V", sensor));
    } else if (const float vid = queries.GetCoreVID(P); vid > 0) {
        SetDlgItemText(1155, QStringLiteral("Core VID"));
        ShowValue(1155, 1122, FormatText(L"%.3f V", vid));
    }
}

// Only the items the menu has are rewritten; the tab puts the clock in the
// menu's shortcut column.
void CProcessorDlg::UpdateCoreMenu(CInfoParser& queries, int P) {
    if (!m_pCoreMenu) return;
    const QList<QAction*> items = m_pCoreMenu->actions();
    for (int core = 0; core < queries.GetCoreCount(P); ++core) {
        const auto found = std::find_if(items.begin(), items.end(),
                                        [&](QAction* item) { return item->data().toInt() == ID_SELECT_CORE + core; });
        if (found == items.end()) continue;
        const double clock = PiScaledClock::ToMHz(queries.GetCoreClock(P, core));
        (*found)->setText(clock > 0 ? FormatText(L"Core #%d\t%.1f MHz", core, clock) : FormatText(L"Core #%d", core));
        (*found)->setCheckable(true);
        (*found)->setChecked(core == m_Context.app.m_iSelectedCore);
    }
}

} // namespace vexa::ui
