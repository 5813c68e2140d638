// Window texts formatted the way the rest of the program formats them
// (FormatStringW: Windows printf conventions, %s a wide text), bounded to a
// query text's 512 characters.
#pragma once

#include <QString>

namespace vexa::ui {

QString FormatText(const wchar_t* format, ...);

} // namespace vexa::ui
