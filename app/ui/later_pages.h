// The tab pages whose contents come later: mainboard (template 131), memory
// (132), SPD (133), graphics (203) and about (134). Each exists as an empty
// page under its own name, so the tab control and its tests see all seven;
// a page's own work replaces its line here with its class.
#pragma once

#include "app/ui/mainboard_page.h"
#include "app/ui/memory_page.h"
#include "app/ui/page.h"

namespace vexa::ui {

template <int Template>
class PendingPage : public Page {
public:
    static constexpr int kTemplateId = Template;
    PendingPage(const PageContext& context, QWidget* parent) : Page(context, Template, parent) {}
};

using CSPDDlg = PendingPage<133>;
using CGraphicsDlg = PendingPage<203>;
using CAboutDlg = PendingPage<134>;

} // namespace vexa::ui
