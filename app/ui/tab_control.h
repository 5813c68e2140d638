// A tab control: a row of tab items over a framed page area, with the items
// drawn by their owner. The control draws the frame and each tab's raised
// shape (the selected tab taller and wider, joined to the page area);
// DrawItem paints the item's inside (background and text). Selecting
// another item calls OnSelChange (TCN_SELCHANGE); showing the right page is
// the owner's business.
#pragma once

#include <QWidget>

#include <functional>

class QPainter;
class QTabBar;

namespace vexa::ui {

struct TabDrawItem {
    int index = -1;
    QRect rect;             // the item's inside, in the control's coordinates
    bool selected = false;  // the control's current selection
    QString text;
};

class TabControl : public QWidget {
public:
    explicit TabControl(QWidget* parent = nullptr);

    int InsertItem(int index, const QString& text);
    int GetItemCount() const;
    QString GetItemText(int index) const;
    // The selected item, and the item with the focus (the same one here:
    // a click selects and focuses at once); -1 without items.
    int GetCurSel() const;
    int GetCurFocus() const { return GetCurSel(); }
    void SetCurSel(int index);
    // An item's rectangle in the control's coordinates.
    QRect GetItemRect(int index) const;
    QTabBar* TabBar() const;

    std::function<void()> OnSelChange;

protected:
    virtual void DrawItem(QPainter& painter, const TabDrawItem& item);
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class OwnerDrawnBar;
    OwnerDrawnBar* m_pBar;
};

} // namespace vexa::ui
