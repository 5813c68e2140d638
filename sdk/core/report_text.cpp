// The plain-text layout and the three writers that use it.
#include <cstring>

#include "platform/console.h"
#include "sdk/core/report_generator.h"

namespace {

// The line under a title: a line break, 73 hyphens and two line breaks.
constexpr char kTitleRule[] =
    "\n-------------------------------------------------------------------------\n\n";
static_assert(sizeof kTitleRule - 1 == 73 + 3);

const char* OrEmpty(const char* text) { return text ? text : ""; }

} // namespace

// ---- Text layout ----

void CReportGenerator_Text::PrintTitleW(const wchar_t* title) {
    char ansi[kAnsiSize];
    ToAnsi(title, ansi);
    PrintTitle(ansi);
}

void CReportGenerator_Text::PrintTitle(const char* title) {
    Print("%s", OrEmpty(title));
    Print("%s", kTitleRule);
}

void CReportGenerator_Text::PrintFieldW(const wchar_t* label, const wchar_t* pad,
                                        const wchar_t* format, ...) {
    char value[kAnsiSize];
    va_list args;
    va_start(args, format);
    FormatWideToAnsi(value, format, args);
    va_end(args);
    char ansiLabel[kAnsiSize], ansiPad[kAnsiSize];
    ToAnsi(label, ansiLabel);
    ToAnsi(pad, ansiPad);
    WriteField(ansiLabel, ansiPad, value);
}

void CReportGenerator_Text::PrintField(const char* label, const char* pad, const char* format,
                                       ...) {
    char value[kValueSize];
    va_list args;
    va_start(args, format);
    FormatValue(value, format, args);
    va_end(args);
    WriteField(label, pad, value);
}

void CReportGenerator_Text::PrintBlankLine() { Print("\n"); }

// Label and pad, value and line break go out separately so that the line
// break survives a label or value cut at the Print limit.
void CReportGenerator_Text::WriteField(const char* label, const char* pad, const char* value) {
    Print("%s%s", OrEmpty(label), OrEmpty(pad));
    Print("%s", value);
    Print("\n");
}

// ---- Console ----

bool CReportGenerator_Console::HasConsole() const {
    return m_hConsole && m_hConsole != INVALID_HANDLE_VALUE;
}

void CReportGenerator_Console::WriteConsoleText(const char* text) const {
    DWORD written = 0;
    WriteConsoleA(m_hConsole, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void CReportGenerator_Console::PrintW(const wchar_t* format, ...) {
    if (!HasConsole()) return;
    char text[kAnsiSize];
    va_list args;
    va_start(args, format);
    FormatWideToAnsi(text, format, args);
    va_end(args);
    WriteConsoleText(text);
}

void CReportGenerator_Console::Print(const char* format, ...) {
    if (!HasConsole()) return;
    char text[kPrintSize];
    va_list args;
    va_start(args, format);
    FormatPrint(text, format, args);
    va_end(args);
    WriteConsoleText(text);
}

// ---- Buffer ----

void CReportGenerator_Buffer::PrintW(const wchar_t* format, ...) {
    char text[kAnsiSize];
    va_list args;
    va_start(args, format);
    FormatWideToAnsi(text, format, args);
    va_end(args);
    m_strText += text;
}

void CReportGenerator_Buffer::Print(const char* format, ...) {
    char text[kPrintSize];
    va_list args;
    va_start(args, format);
    FormatPrint(text, format, args);
    va_end(args);
    m_strText += text;
}
