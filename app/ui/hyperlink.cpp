#include "app/ui/hyperlink.h"

#include <QMouseEvent>

#include <string>

namespace vexa::ui {
namespace {

// 0x00BBGGRR 0xEE0000: blue.
const QColor kLinkColor(0x00, 0x00, 0xEE);

} // namespace

INT_PTR OpenURL(const QString& address) {
    const std::wstring wide = address.toStdWString();
    return ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOW);
}

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, kLinkColor);
    setPalette(colors);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
}

void CHyperLink::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && !font().underline()) {
        QFont underlined = font();
        underlined.setUnderline(true);
        setFont(underlined);
    }
}

// A click is a press and a release on the control.
void CHyperLink::mousePressEvent(QMouseEvent* event) {
    m_bPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_bPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_bPressed = false;
    event->accept();
    if (click && isEnabled() && !m_sURL.isEmpty()) OpenURL(m_sURL);
}

} // namespace vexa::ui
