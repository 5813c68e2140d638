// The memory page (template 132), the fourth tab: the memory as the
// chipset's controller sees it. Type, size, channels and channel mode are
// written once; the northbridge and DRAM clocks, the FSB:DRAM ratio and
// the timings again on every refresh of the visible page.
#pragma once

#include "app/ui/page_fields.h"

namespace vexa::ui {

class CMemoryDlg : public FieldsPage {
public:
    static constexpr int kTemplateId = 132;

    CMemoryDlg(const PageContext& context, QWidget* parent);
    void OnInitDialog() override;

protected:
    void FillFromQueries() override;
    void OnUpdatePage() override;

private:
    // "%d clocks" into `field` and its label enabled, or an empty field.
    void ShowClocks(int label, int field, int clocks);
};

} // namespace vexa::ui
