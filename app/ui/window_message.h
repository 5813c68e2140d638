// Window messages between the program's own windows, delivered as Qt events
// of one registered type. SendWindowMessage delivers synchronously: the
// receiver's handler runs to its end before it returns, as the Win32
// SendMessage does.
#pragma once

#include <QEvent>
#include <QObject>

#include "platform/win_types.h"

namespace vexa::ui {

using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;

constexpr UINT WM_USER = 0x0400;
// The splash's two messages: close as if OK were pressed; bar position
// (wParam) and status text (lParam, a wide text or 0).
constexpr UINT WM_CLOSE_WAIT_DIALOG = WM_USER + 31;
constexpr UINT WM_SET_WAIT_PROGRESS = WM_USER + 32;
// The once-a-second refresh of the visible tab page (both parameters 0).
constexpr UINT WM_UPDATE_PAGE = WM_USER + 33;

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(UINT message, WPARAM wParam, LPARAM lParam);
    // The event type all window messages share.
    static QEvent::Type EventType();

    const UINT message;
    const WPARAM wParam;
    const LPARAM lParam;
    LRESULT result = 0;
};

// Delivers the message to `window` and returns the handler's result (0
// when no handler took it).
LRESULT SendWindowMessage(QObject* window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

} // namespace vexa::ui
