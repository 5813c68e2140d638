// The mainboard page (template 131), the third tab: the board's maker and
// model, the northbridge, southbridge and super-I/O chip, the BIOS, and the
// graphics card's link (AGP or PCI Express). Filled once; it ignores the
// periodic refresh.
#pragma once

#include "app/ui/page_fields.h"

namespace vexa::ui {

class CMainboardDlg : public FieldsPage {
public:
    static constexpr int kTemplateId = 131;

    CMainboardDlg(const PageContext& context, QWidget* parent);
    void OnInitDialog() override;

protected:
    void FillFromQueries() override { ShowBoard(); }

private:
    void ShowBoard();
    void ShowBridges(wchar_t* text);
    void ShowGraphicsLink();
};

} // namespace vexa::ui
