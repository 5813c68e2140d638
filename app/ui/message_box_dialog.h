// Message boxes as Qt dialogs while the window layer runs: the box's
// buttons and icon as its type asks, the first button the default one, the
// answer the button pressed (closing the box answers like Cancel, or No
// where there is no Cancel). Only boxes of the window's thread are shown;
// the others go to standard error as without a window.
#pragma once

#include "platform/message_box.h"

namespace vexa::ui {

int ShowMessageBoxDialog(const platform::MessageBoxCall& box);
// Installs ShowMessageBoxDialog as the platform's window presenter, and
// clears it again.
void InstallMessageBoxDialogs();
void RemoveMessageBoxDialogs();

} // namespace vexa::ui
