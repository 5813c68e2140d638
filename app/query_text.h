// The text answer of a query: the library's narrow text converted into
// the caller's buffer of kInfoTextChars wide characters and 1; 0 for an
// empty text or no buffer, which leave the buffer alone.
#pragma once

#include "app/info_parser.h"
#include "platform/text.h"

inline int TextAnswer(const char* value, wchar_t* text) {
    if (!value || !value[0] || !text) return 0;
    vexa::platform::narrowToWide(value, text, kInfoTextChars);
    return 1;
}
