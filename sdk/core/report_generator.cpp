#include "sdk/core/report_generator.h"

#include <cstring>

#include "platform/text.h"
#include "sdk/core/helpers.h"

void CReportGenerator::FormatPrint(char (&text)[kPrintSize], const char* format, va_list args) {
    FormatBoundedV(text, kPrintSize, format, args);
}

void CReportGenerator::FormatValue(char (&value)[kValueSize], const char* format, va_list args) {
    FormatStringV(value, kValueSize, format, args);
}

void CReportGenerator::FormatWideToAnsi(char (&text)[kAnsiSize], const wchar_t* format,
                                        va_list args) {
    wchar_t wide[kWideChars];
    vexa::platform::formatWide(wide, kWideChars, format, args);
    ToAnsi(wide, text);
}

void CReportGenerator::ToAnsi(const wchar_t* text, char (&ansi)[kAnsiSize]) {
    vexa::platform::wideToNarrow(text, ansi, kAnsiSize);
}

void CReportGenerator::WriteToFile(const char* text, size_t length) const {
    if (m_pFile && length) std::fwrite(text, 1, length, m_pFile);
}

void CReportGenerator::PrintW(const wchar_t* format, ...) {
    if (!m_pFile) return;
    char text[kAnsiSize];
    va_list args;
    va_start(args, format);
    FormatWideToAnsi(text, format, args);
    va_end(args);
    WriteToFile(text, std::strlen(text));
}

void CReportGenerator::Print(const char* format, ...) {
    if (!m_pFile) return;
    char text[kPrintSize];
    va_list args;
    va_start(args, format);
    FormatPrint(text, format, args);
    va_end(args);
    WriteToFile(text, std::strlen(text));
}

BOOL CReportGenerator::BeginDocument() { return TRUE; }

void CReportGenerator::EndDocument() {}

void CReportGenerator::PrintTitleW(const wchar_t*) {}

void CReportGenerator::PrintTitle(const char*) {}

void CReportGenerator::PrintSectionTitle(const char* title) { PrintTitle(title); }

void CReportGenerator::PrintFieldW(const wchar_t*, const wchar_t*, const wchar_t*, ...) {}

void CReportGenerator::PrintField(const char*, const char*, const char*, ...) {}

void CReportGenerator::PrintFieldFormatted(const char* label, const char* pad, const char* format,
                                           ...) {
    char value[kValueSize];
    va_list args;
    va_start(args, format);
    FormatValue(value, format, args);
    va_end(args);
    PrintField(label, pad, "%s", value);
}

void CReportGenerator::PrintBlankLine() {}
