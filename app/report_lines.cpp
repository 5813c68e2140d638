#include "app/report_lines.h"

#include "platform/text.h"
#include "sdk/core/helpers.h"

namespace {

void ToWide(const char* narrow, wchar_t (&text)[kInfoTextChars]) {
    vexa::platform::narrowToWide(narrow, text, kInfoTextChars);
}

} // namespace

void FormatMainboardModel(const char* product, wchar_t (&text)[kInfoTextChars]) {
    char line[kInfoTextChars];
    FormatString(line, sizeof line, "%s (0x%08X - 0x%08X)", product, StringByteSum(product), StringHash(product));
    ToWide(line, text);
}

void FormatWindowsVersion(const char* name, const char* build, wchar_t (&text)[kInfoTextChars]) {
    char line[kInfoTextChars];
    FormatString(line, sizeof line, "%s %s", name, build);
    ToWide(line, text);
}
