// A split push button: the face sends the button's id to its owner, the
// right-most 16 pixels open a popup menu whose chosen item's id goes to the
// owner as a command. The owner appends the items.
#pragma once

#include <QPushButton>

class QMenu;

namespace vexa::ui {

class Dialog;

class CMenuButton : public QPushButton {
public:
    static constexpr int kMenuPartWidth = 16;

    explicit CMenuButton(QWidget* parent = nullptr);

    void SetOwner(Dialog* owner) { m_pOwner = owner; }
    // Appends an item (or a separator); true when it was appended.
    bool AppendMenu(int id, const QString& text);
    bool AppendSeparator();
    QMenu* Menu() const { return m_pMenu; }
    // The ids of the menu's items in order, 0 for a separator.
    QList<int> MenuIds() const;

    bool IsPressed() const { return m_bPressed; }
    bool IsMenuOpen() const { return m_bMenuOpen; }

    int m_bHasItems = 0;  // ORed with the results of the owner's appends

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect MenuPart() const;
    void TrackMenu();
    void DrawArrow(QPainter& painter, const QRect& part, const QColor& color) const;

    QMenu* m_pMenu;
    Dialog* m_pOwner = nullptr;
    int m_bPressed = 0;
    int m_bMenuOpen = 0;
};

} // namespace vexa::ui
