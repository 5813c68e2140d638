#include "app/ui/tab_control.h"

#include <QPainter>
#include <QTabBar>

#include <algorithm>

namespace vexa::ui {

// The tab row keeps the items, their geometry and the mouse; it paints
// nothing itself, so the control draws the tabs beneath it.
class TabControl::OwnerDrawnBar : public QTabBar {
public:
    explicit OwnerDrawnBar(TabControl* owner) : QTabBar(owner) {
        setDrawBase(false);
        setExpanding(false);
        setUsesScrollButtons(false);
    }

protected:
    void paintEvent(QPaintEvent*) override {}
};

namespace {

constexpr int kFirstTabOffset = 2;   // the first tab starts this far right
constexpr int kRaised = 2;           // the selected tab stands this much higher and wider
constexpr int kInset = 3;            // from a tab's edge to its inside

// A raised tab: an outline on the left, top (corners cut) and right.
void DrawTabShape(QPainter& painter, const QRect& shape, const QPalette& colors) {
    painter.fillRect(shape.adjusted(1, 1, -1, 0), colors.color(QPalette::Button));
    painter.setPen(colors.color(QPalette::Mid));
    painter.drawLine(shape.left(), shape.top() + 2, shape.left(), shape.bottom());
    painter.drawLine(shape.left() + 2, shape.top(), shape.right() - 2, shape.top());
    painter.drawPoint(shape.left() + 1, shape.top() + 1);
    painter.drawPoint(shape.right() - 1, shape.top() + 1);
    painter.drawLine(shape.right(), shape.top() + 2, shape.right(), shape.bottom());
}

} // namespace

TabControl::TabControl(QWidget* parent) : QWidget(parent), m_pBar(new OwnerDrawnBar(this)) {
    connect(m_pBar, &QTabBar::currentChanged, this, [this](int) {
        update();
        if (OnSelChange) OnSelChange();
    });
}

int TabControl::InsertItem(int index, const QString& text) {
    const int inserted = m_pBar->insertTab(index, text);
    m_pBar->setGeometry(kFirstTabOffset, 0, std::max(width() - kFirstTabOffset, m_pBar->sizeHint().width()),
                        m_pBar->sizeHint().height());
    return inserted;
}

QTabBar* TabControl::TabBar() const { return m_pBar; }

int TabControl::GetItemCount() const { return m_pBar->count(); }

QString TabControl::GetItemText(int index) const { return m_pBar->tabText(index); }

int TabControl::GetCurSel() const { return m_pBar->currentIndex(); }

void TabControl::SetCurSel(int index) { m_pBar->setCurrentIndex(index); }

QRect TabControl::GetItemRect(int index) const { return m_pBar->tabRect(index).translated(m_pBar->pos()); }

void TabControl::DrawItem(QPainter& painter, const TabDrawItem& item) {
    painter.drawText(item.rect, Qt::AlignCenter, item.text);
}

// The page area's outline, then the tabs over its top edge: the unselected
// ones first, the selected one last, joined to the page area.
void TabControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    const int frameTop = m_pBar->geometry().bottom();
    const QRect frame(0, frameTop, width(), height() - frameTop);
    painter.setPen(colors.color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));

    const int selected = GetCurSel();
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < GetItemCount(); ++i) {
            if ((i == selected) != (pass == 1)) continue;
            const QRect item = GetItemRect(i);
            const QRect shape = i == selected ? item.adjusted(-kRaised, 0, kRaised, 0)
                                              : item.adjusted(0, kRaised, 0, -1);
            DrawTabShape(painter, shape, colors);
            painter.save();
            DrawItem(painter, TabDrawItem{i, item.adjusted(kInset, kInset, -kInset, -1), i == selected, GetItemText(i)});
            painter.restore();
        }
    }
}

void TabControl::resizeEvent(QResizeEvent* event) {
    m_pBar->setGeometry(kFirstTabOffset, 0, width() - kFirstTabOffset, m_pBar->sizeHint().height());
    QWidget::resizeEvent(event);
}

} // namespace vexa::ui
