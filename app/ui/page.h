// A tab page: a child dialog of the main window's tab control. It builds
// its controls when it is created (OnInitDialog), is filled from the query
// layer once under the library lock (FillFromQueries, called by the tab
// control), and the pages that show changing values re-read them on
// WM_UPDATE_PAGE (OnUpdatePage), which the tab control sends to the
// visible page only, also under the lock.
//
// A page whose first fill could not have the lock in time is filled by its
// first WM_UPDATE_PAGE instead, which arrives with the lock held.
#pragma once

#include "app/ui/dialog.h"

class CInfoParser;
class CvexaApp;

namespace vexa::ui {

struct UserFonts;

// What every page reads: the application (its query layer, selected core
// and settings), the user fonts, and the main window that receives the
// commands of a page's menus.
struct PageContext {
    CvexaApp& app;
    const UserFonts& fonts;
    Dialog* mainWindow = nullptr;
};

class Page : public Dialog {
public:
    Page(const PageContext& context, int templateId, QWidget* parent);

    int TemplateId() const { return m_nTemplateId; }
    // Builds the controls; no queries.
    virtual void OnInitDialog() {}
    // The first fill, with the library lock held by the caller.
    void Fill();
    bool IsFilled() const { return m_bFilled; }

protected:
    virtual void FillFromQueries() {}
    virtual void OnUpdatePage() {}
    bool OnWindowMessage(const WindowMessageEvent& message, LRESULT& result) override;
    // Enter and Escape belong to the main window.
    void keyPressEvent(QKeyEvent* event) override;
    // A page never ends like a dialog.
    void reject() override {}
    void accept() override {}

    CInfoParser* Queries() const;

    PageContext m_Context;

private:
    int m_nTemplateId;
    bool m_bFilled = false;
};

} // namespace vexa::ui
