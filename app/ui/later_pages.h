// The tab page whose contents come later: graphics (template 203). It
// exists as an empty page under its own name, so the tab control and its
// tests see all seven; the page's own work replaces its line here with its
// class.
#pragma once

#include "app/ui/page.h"

namespace vexa::ui {

template <int Template>
class PendingPage : public Page {
public:
    static constexpr int kTemplateId = Template;
    PendingPage(const PageContext& context, QWidget* parent) : Page(context, Template, parent) {}
};

using CGraphicsDlg = PendingPage<203>;

} // namespace vexa::ui
