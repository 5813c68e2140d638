// Message boxes. While the window mode runs, its window layer presents
// boxes as dialogs (see setWindowMessageBoxPresenter). Every other box is
// presented on standard error ("Caption: text") and answered at once with
// its default answer: such a box never waits for input, so nothing can
// hold a batch run or a run without a display. The default answer is the
// one that declines: OK for an OK box, No for Yes/No, Cancel where there
// is a Cancel button.
//
// Tests install a presenter that sees every box and chooses its answer; it
// comes before the window layer's.
#pragma once

#include <functional>
#include <string>

#include "platform/win_types.h"

// A window of the Win32 shape; the program's windows are Qt widgets, so
// owners are always null.
struct WindowRecord;
using HWND = WindowRecord*;

// Buttons (the low four bits of the type).
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
// Icons.
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Presents the box and returns the answer; 0 only for a type whose buttons
// are unknown.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace vexa::platform {

// The answer a box of that type gets when nobody chooses: see above.
int defaultMessageBoxAnswer(UINT type);

// One box as its presenter sees it (texts already bounded).
struct MessageBoxCall {
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
};

// The window layer's presentation, installed while it can show dialogs and
// cleared with an empty function: it shows the box and returns the answer,
// or 0 when it cannot show this one (another thread's box, for example),
// which then goes to standard error with its default answer.
void setWindowMessageBoxPresenter(std::function<int(const MessageBoxCall&)> presenter);

namespace testing {

using platform::MessageBoxCall;

// Replaces the presentation for every box until it is cleared with an
// empty function: the presenter sees the box and returns the answer
// (0: the default answer). Nothing is written to standard error meanwhile.
void setMessageBoxPresenter(std::function<int(const MessageBoxCall&)> presenter);

} // namespace testing
} // namespace vexa::platform
