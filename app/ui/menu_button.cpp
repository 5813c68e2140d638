#include "app/ui/menu_button.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

#include "app/ui/dialog.h"

namespace vexa::ui {
namespace {

constexpr int kFocusInset = 4;
constexpr int kSeparatorInset = 2;

} // namespace

CMenuButton::CMenuButton(QWidget* parent) : QPushButton(parent), m_pMenu(new QMenu(this)) {
    setAutoDefault(false);
}

bool CMenuButton::AppendMenu(int id, const QString& text) {
    QAction* action = m_pMenu->addAction(text);
    action->setData(id);
    return action != nullptr;
}

bool CMenuButton::AppendSeparator() { return m_pMenu->addSeparator() != nullptr; }

QList<int> CMenuButton::MenuIds() const {
    QList<int> ids;
    for (QAction* action : m_pMenu->actions()) ids.append(action->isSeparator() ? 0 : action->data().toInt());
    return ids;
}

QRect CMenuButton::MenuPart() const { return QRect(width() - kMenuPartWidth, 0, kMenuPartWidth, height()); }

void CMenuButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    if (m_bMenuOpen) {
        m_bMenuOpen = 0;
        update();
        return;
    }
    if (MenuPart().contains(event->position().toPoint())) {
        if (m_bHasItems) TrackMenu();
        update();
        return;
    }
    m_bPressed = 1;
    QPushButton::mousePressEvent(event);
    update();
}

// The menu opens below the button's lower-left corner; the chosen item's
// id goes to the owner as a command.
void CMenuButton::TrackMenu() {
    m_bMenuOpen = 1;
    setFocus();
    repaint();
    QAction* chosen = m_pMenu->exec(mapToGlobal(rect().bottomLeft() + QPoint(0, 1)));
    m_bMenuOpen = 0;
    if (chosen && !chosen->isSeparator() && m_pOwner) m_pOwner->PostCommand(chosen->data().toInt());
}

void CMenuButton::mouseReleaseEvent(QMouseEvent* event) {
    if (m_bPressed) {
        m_bPressed = 0;
        update();
        if (m_pOwner) m_pOwner->PostCommand(objectName().toInt());
    }
    QPushButton::mouseReleaseEvent(event);
}

void CMenuButton::mouseMoveEvent(QMouseEvent* event) {
    if (m_bPressed && !rect().contains(event->position().toPoint())) {
        m_bPressed = 0;
        update();
    }
    QPushButton::mouseMoveEvent(event);
}

void CMenuButton::DrawArrow(QPainter& painter, const QRect& part, const QColor& color) const {
    // Four rows of 1, 3, 5 and 7 pixels from the tip upward.
    const int shift = m_bPressed ? 1 : 0;
    const int tipX = part.center().x() + shift, tipY = part.center().y() + 2 + shift;
    painter.setPen(color);
    for (int row = 0; row < 4; ++row) painter.drawLine(tipX - row, tipY - row, tipX + row, tipY - row);
}

void CMenuButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    const QRect whole = rect();
    const bool pressedFace = m_bPressed && !m_bMenuOpen;
    painter.fillRect(whole, colors.color(QPalette::Button));

    QStyleOptionButton frame;
    frame.initFrom(this);
    frame.state |= pressedFace ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &frame, &painter, this);

    QRect face = whole.adjusted(kFocusInset, kFocusInset, -kFocusInset - kMenuPartWidth, -kFocusInset);
    if (pressedFace) face.translate(1, 1);
    if ((hasFocus() || m_bPressed) && !m_bMenuOpen) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = face;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }

    const bool enabled = isEnabled();
    if (enabled) {
        painter.setPen(colors.color(QPalette::WindowText));
        painter.drawText(face, Qt::AlignCenter | Qt::TextSingleLine, text());
    } else {
        painter.setPen(colors.color(QPalette::Base));
        painter.drawText(face.translated(1, 1), Qt::AlignCenter | Qt::TextSingleLine, text());
        painter.setPen(colors.color(QPalette::Disabled, QPalette::WindowText));
        painter.drawText(face, Qt::AlignCenter | Qt::TextSingleLine, text());
    }

    const QRect inner = whole.adjusted(kSeparatorInset, kSeparatorInset, -kSeparatorInset, -kSeparatorInset);
    const int separatorX = inner.right() + 1 - kMenuPartWidth;
    painter.setPen(colors.color(QPalette::Dark));
    painter.drawLine(separatorX, inner.top() + 2, separatorX, inner.bottom() - 2);
    painter.setPen(colors.color(QPalette::Light));
    painter.drawLine(separatorX + 1, inner.top() + 2, separatorX + 1, inner.bottom() - 2);

    const QRect part(separatorX + 2, inner.top(), inner.right() - separatorX - 1, inner.height());
    DrawArrow(painter, part, enabled ? colors.color(QPalette::WindowText)
                                     : colors.color(QPalette::Disabled, QPalette::WindowText));
    if (m_bMenuOpen && enabled) {
        painter.setPen(colors.color(QPalette::Dark));
        painter.drawRect(part.adjusted(-1, 1, 0, -2));
    }
}

} // namespace vexa::ui
