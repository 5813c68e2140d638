#include "app/ui/my_tab_ctl.h"

#include <QApplication>
#include <QPainter>
#include <QTabBar>

#include "app/ui/about_page.h"
#include "app/ui/cache_page.h"
#include "app/ui/graphics_page.h"
#include "app/ui/library_lock.h"
#include "app/ui/mainboard_page.h"
#include "app/ui/memory_page.h"
#include "app/ui/processor_page.h"
#include "app/ui/spd_page.h"
#include "app/ui/user_fonts.h"

namespace vexa::ui {
namespace {

constexpr int kEdgeWidth = 2;  // the system's 3D edge

} // namespace

CMyTabCtl::CMyTabCtl(QWidget* parent) : TabControl(parent) {}

Page* CMyTabCtl::GetPage(int index) const {
    return index >= 0 && index < kPageCount ? m_Pages[static_cast<size_t>(index)] : nullptr;
}

void CMyTabCtl::CreatePages(const PageContext& context) {
    m_Pages = {new CProcessorDlg(context, this), new CCacheDlg(context, this), new CMainboardDlg(context, this),
               new CMemoryDlg(context, this),    new CSPDDlg(context, this),   new CGraphicsDlg(context, this),
               new CAboutDlg(context, this)};
    for (Page* page : m_Pages) page->OnInitDialog();
    LayoutPages();
    // The refresher thread and the processor's measurement threads replace
    // library values meanwhile: the first fill reads under the lock too.
    LibraryLock lock(context.app, kFirstFillLockTimeoutMs);
    if (!lock.Owns()) return;
    for (Page* page : m_Pages) page->Fill();
}

// Below the tab row, from the left of tab 0 to the control's right edge.
void CMyTabCtl::LayoutPages() {
    const QRect client = rect();
    const QRect first = GetItemRect(0);
    const QRect place(first.left(), first.bottom() + 1, client.right() - first.left() - 1,
                      client.bottom() - (first.bottom() + 1) - 1);
    for (int i = 0; i < kPageCount; ++i) {
        m_Pages[static_cast<size_t>(i)]->setGeometry(place);
        m_Pages[static_cast<size_t>(i)]->setVisible(i == 0);
    }
    m_Pages[0]->raise();
}

void CMyTabCtl::RefreshCurrentPage(CvexaApp& app) {
    LibraryLock lock(app, kRefreshLockTimeoutMs);
    if (!lock.Owns()) return;
    SendWindowMessage(GetPage(m_nCurrentPage), WM_UPDATE_PAGE);
}

void CMyTabCtl::DrawItem(QPainter& painter, const TabDrawItem& item) {
    if (item.index < 0 || item.text.isNull()) return;
    QRect area = item.rect.adjusted(0, kEdgeWidth, 0, 0);
    painter.fillRect(area, palette().color(QPalette::Button));
    if (item.selected) {
        area.setTop(area.top() - kEdgeWidth);
        painter.setPen(ColorFromRef(kSelectedTextColor));
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, item.text);
    } else {
        painter.setPen(ColorFromRef(kNormalTextColor));
        painter.drawText(area, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine, item.text);
    }
}

} // namespace vexa::ui
