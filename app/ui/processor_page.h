// The processor page (template 129), the first tab: one processor package's
// names, identification and instruction sets, the clocks of the selected
// core, the caches, core and thread counts, and a badge of the processor's
// family that links to the validation service's search for it. A combo box
// chooses the package; a right click opens the core menu, whose commands
// (4096 + core) go to the main window.
#pragma once

#include <QImage>

#include "app/ui/page.h"

class QComboBox;
class QMenu;

namespace vexa::ui {

class CHyperLink2;

class CProcessorDlg : public Page {
public:
    static constexpr int kTemplateId = 129;
    // Controls addressed by the code.
    static constexpr int IDC_GROUP_CLOCKS = 1208;
    static constexpr int IDC_LOGO = 1198;
    static constexpr int IDC_PROCESSOR = 1199;
    static constexpr int ID_SELECT_CORE = 4096;  // + core

    CProcessorDlg(const PageContext& context, QWidget* parent);

    void OnInitDialog() override;
    QMenu* CoreMenu() const { return m_pCoreMenu; }
    CHyperLink2* LogoLink() const { return m_pLogoLink; }
    // The logo's bitmap id and where it is drawn (page coordinates).
    int LogoBitmap() const { return m_nLogoBitmap; }
    QRect LogoRect() const;

protected:
    void FillFromQueries() override;
    void OnUpdatePage() override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void BuildTemplate();
    void FillProcessorCombo(CInfoParser& queries);
    void BuildCoreMenu(CInfoParser& queries);
    void SetUpLogoLink(CInfoParser& queries);
    void SetUpLogo(CInfoParser& queries);
    // The refresh's steps.
    void ShowCounts(CInfoParser& queries, int P);
    void ShowCaches(CInfoParser& queries, int P);
    void ShowIdentity(CInfoParser& queries, int P);
    void ShowClocks(CInfoParser& queries, int P, int C);
    void ShowCoreVoltage(CInfoParser& queries, int P);
    void UpdateCoreMenu(CInfoParser& queries, int P);
    // A value and its label, the label enabled.
    void ShowValue(int labelId, int valueId, const QString& text);

    CHyperLink2* m_pLogoLink = nullptr;
    QImage m_LogoMask;
    QImage m_LogoBitmap;
    int m_nLogoBitmap = 0;
    int m_nLogoWidth = 65;
    int m_nLogoHeight = 81;
    int m_bLogoTransparent = 0;
    QMenu* m_pCoreMenu = nullptr;
    QComboBox* m_pProcessorCombo = nullptr;
};

} // namespace vexa::ui
