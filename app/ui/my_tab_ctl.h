// The main window's tab control (control 1000): it creates the seven pages
// inside itself below the tab row, draws its own tab items (the selected
// one blue and centred, the others dark grey and lower), and on each timer
// tick sends WM_UPDATE_PAGE to the visible page under the library lock.
#pragma once

#include <array>

#include "app/settings.h"
#include "app/ui/page.h"
#include "app/ui/tab_control.h"

namespace vexa::ui {

class CMyTabCtl : public TabControl {
public:
    static constexpr int kPageCount = 7;
    // The first fill waits this long for the library lock; a page not
    // filled then is filled by its first refresh.
    static constexpr int kFirstFillLockTimeoutMs = 2000;
    static constexpr int kRefreshLockTimeoutMs = 150;

    explicit CMyTabCtl(QWidget* parent = nullptr);

    // Creates the pages in tab order, places them, and fills them once
    // under the library lock.
    void CreatePages(const PageContext& context);
    void LayoutPages();
    // WM_UPDATE_PAGE to the visible page, under the library lock; nothing
    // when the lock is busy.
    void RefreshCurrentPage(CvexaApp& app);

    Page* GetPage(int index) const;
    int m_nCurrentPage = 0;

    // 0x00BBGGRR: blue and dark grey.
    static constexpr COLORREF kSelectedTextColor = 0xFF0000;
    static constexpr COLORREF kNormalTextColor = 0x323232;

protected:
    void DrawItem(QPainter& painter, const TabDrawItem& item) override;

private:
    std::array<Page*, kPageCount> m_Pages{};
};

} // namespace vexa::ui
