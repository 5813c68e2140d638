#include "app/ui/window_message.h"

#include <QCoreApplication>

namespace vexa::ui {

WindowMessageEvent::WindowMessageEvent(UINT message_, WPARAM wParam_, LPARAM lParam_)
    : QEvent(EventType()), message(message_), wParam(wParam_), lParam(lParam_) {}

QEvent::Type WindowMessageEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

LRESULT SendWindowMessage(QObject* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) return 0;
    WindowMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(window, &event);
    return event.result;
}

} // namespace vexa::ui
