// The graphics page (template 203), the sixth tab: a combo box chooses the
// display adapter, whose name, board maker, codename, revision, process
// technology, vendor logo and video memory (size, type, bus width) are
// written when it is chosen; a second combo box chooses the performance
// level (or "Current", the level the adapter runs at) whose core, shader
// and memory clocks follow the periodic refresh.
#pragma once

#include <QImage>

#include "app/ui/page_fields.h"

class QComboBox;

namespace vexa::ui {

class CGraphicsDlg : public FieldsPage {
public:
    static constexpr int kTemplateId = 203;
    static constexpr int IDC_NAME = 1004;
    static constexpr int IDC_CODENAME = 1005;
    static constexpr int IDC_REVISION = 1006;
    static constexpr int IDC_TECHNOLOGY = 1007;
    static constexpr int IDC_CORE_CLOCK = 1008;
    static constexpr int IDC_SHADER_CLOCK = 1009;
    static constexpr int IDC_MEMORY_CLOCK = 1010;
    static constexpr int IDC_NAME_LABEL = 1011;
    static constexpr int IDC_CODENAME_LABEL = 1012;
    static constexpr int IDC_REVISION_LABEL = 1013;
    static constexpr int IDC_TECHNOLOGY_LABEL = 1014;
    static constexpr int IDC_CORE_LABEL = 1015;
    static constexpr int IDC_SHADER_LABEL = 1016;
    static constexpr int IDC_MEMORY_CLOCK_LABEL = 1017;
    static constexpr int IDC_BOARD_VENDOR_LABEL = 1018;
    static constexpr int IDC_BOARD_VENDOR = 1019;
    static constexpr int IDC_LOGO_FRAME = 1020;
    static constexpr int IDC_GPU_GROUP = 1025;
    static constexpr int IDC_ADAPTER_GROUP = 1057;
    static constexpr int IDC_ADAPTER_COMBO = 1058;
    static constexpr int IDC_LEVEL_COMBO = 1061;
    static constexpr int IDC_LEVEL_LABEL = 1062;
    static constexpr int IDC_MEMORY_SIZE = 1066;
    static constexpr int IDC_MEMORY_TYPE = 1114;
    static constexpr int IDC_MEMORY_BUS = 1115;
    static constexpr int IDC_MEMORY_TYPE_LABEL = 1133;
    static constexpr int IDC_MEMORY_BUS_LABEL = 1134;
    static constexpr int IDC_CLOCKS_GROUP = 1208;
    static constexpr int IDC_MEMORY_GROUP = 1209;
    static constexpr int IDC_MEMORY_SIZE_LABEL = 1217;

    CGraphicsDlg(const PageContext& context, QWidget* parent);
    void OnInitDialog() override;

    // The adapter's fields, logo and level list.
    void ShowAdapter(int adapter);
    // The chosen level's clocks.
    void OnUpdatePage() override;
    void OnSelectAdapter();
    void OnSelectPerfLevel();
    // The logo drawn now: its size (-1 without one) and whether through
    // its mask.
    int LogoWidth() const { return m_nLogoWidth; }
    int LogoHeight() const { return m_nLogoHeight; }
    bool LogoIsTransparent() const { return m_bTransparent != 0; }

protected:
    void FillFromQueries() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void DropLogo();
    void ShowLevels(CInfoParser& queries, int adapter);
    void ShowText(int label, int field, int answer, const wchar_t* text);

    QImage m_Logo;
    QImage m_Mask;
    int m_nLogoWidth = -1;
    int m_nLogoHeight = -1;
    int m_bTransparent = 0;
    int m_bBusy = 1;
    int m_nShownAdapter = -1;
    QComboBox* m_pAdapterCombo = nullptr;
    QComboBox* m_pLevelCombo = nullptr;
};

} // namespace vexa::ui
