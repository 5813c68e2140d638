#include "app/ui/format_text.h"

#include <cstdarg>

#include "app/info_parser.h"
#include "sdk/core/helpers.h"

namespace vexa::ui {

QString FormatText(const wchar_t* format, ...) {
    wchar_t text[kInfoTextChars];
    va_list arguments;
    va_start(arguments, format);
    FormatStringWV(text, kInfoTextChars, format, arguments);
    va_end(arguments);
    return QString::fromWCharArray(text);
}

} // namespace vexa::ui
