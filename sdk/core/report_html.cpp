// The HTML layout. Each line is a row pattern with the escaped texts put in
// place of its "%s" marks; every other character of the pattern (the
// percent sign of 100% included) is written as it is. Rows are written
// whole, however long escaping made them.
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "sdk/core/report_generator.h"

namespace {

constexpr const char* kDocumentHead[] = {
    "<html><head><meta charset=\"utf-8\"><title>Vexa HTML report file</title></head><body bgcolor=FFFFFF>\n",
    "<font face=\"Verdana\" color=\"#000000\">\n",
    "<table border=0 width=\"100%\" cellspacing=\"0\" cellpadding=\"5\">\n",
    "<tr align=\"left\">\n",
    "<td>\n",
    "<p><a href=\"https://www.vexa.example/\" target=\"_blank\"><img "
    "src=\"https://www.vexa.example/images/vexa_logo.gif\" width=\"180\" height=\"66\" "
    "border=\"0\" alt=\"Vexa\"></a></p>\n",
    "</td>\n",
    "</tr>\n",
    "<tr><td><table border=\"0\" width=\"100%\" cellspacing=\"2\" cellpadding=\"2\" "
    "bgcolor=\"#FFFFFF\">\n",
};

constexpr const char* kDocumentTail[] = {
    "</table></td></tr>\n",
    "</font></body></html>\n",
};

constexpr char kTitleRow[] =
    "<tr valign=\"top\" bgcolor=\"#E0E0FF\"><td width=\"300\"><small><b>%s</b></small></td>"
    "<td valign=\"center\"><small><small><font color=\"#0000A0\">%s</font></small></small>"
    "</td></tr>\n";

// Field rows by nesting: no leading tab, one, two or more.
constexpr const char* kFieldRows[] = {
    "<tr valign=\"top\" bgcolor=\"#FFFFFF\"><td width=\"300\"><small>%s</small></td>"
    "<td valign=\"center\"><small><font color=\"#0000A0\">%s</font></small></td></tr>\n",
    "<tr valign=\"top\" bgcolor=\"#FFFFFF\"><td width=\"300\"><small>"
    "&nbsp;&nbsp;&nbsp;&nbsp;%s</small></td>"
    "<td valign=\"center\"><small><font color=\"#0000A0\">%s</font></small></td></tr>\n",
    "<tr valign=\"top\" bgcolor=\"#FFFFFF\"><td width=\"300\"><small>"
    "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;%s</small></td>"
    "<td valign=\"center\"><small><font color=\"#0000A0\">%s</font></small></td></tr>\n",
};

constexpr char kNonBreakingSpace[] = "&nbsp;";

// A text inserted into a row: at most kMaxInsertedBytes, cut at a character
// boundary, before escaping.
constexpr size_t kMaxInsertedBytes = 511;

std::string Escape(const char* text) {
    if (!text) return {};
    std::string bounded(text, strnlen(text, kMaxInsertedBytes + 1));
    vexa::platform::truncateUtf8(bounded.data(), kMaxInsertedBytes);
    std::string escaped;
    for (const char* p = bounded.c_str(); *p; ++p) {
        switch (*p) {
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '&': escaped += "&amp;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += *p;
        }
    }
    return escaped;
}

// The pattern with each "%s" replaced by the next of `texts`.
std::string FillPattern(std::string_view pattern, std::initializer_list<std::string_view> texts) {
    std::string out;
    auto text = texts.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' &&
            text != texts.end()) {
            out += *text++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

// The row of a label: by the count of its leading tabs, at most two.
const char* FieldRowFor(const char* label) {
    if (!label || label[0] != '\t') return kFieldRows[0];
    return label[1] == '\t' ? kFieldRows[2] : kFieldRows[1];
}

} // namespace

BOOL CReportGenerator_HTML::BeginDocument() {
    for (const char* line : kDocumentHead) Write(line);
    return TRUE;
}

void CReportGenerator_HTML::EndDocument() {
    for (const char* line : kDocumentTail) Write(line);
}

void CReportGenerator_HTML::PrintTitleW(const wchar_t* title) {
    char ansi[kAnsiSize];
    ToAnsi(title, ansi);
    PrintTitle(ansi);
}

void CReportGenerator_HTML::PrintTitle(const char* title) {
    Write(FillPattern(kTitleRow, {Escape(title), kNonBreakingSpace}));
}

void CReportGenerator_HTML::PrintFieldW(const wchar_t* label, const wchar_t*,
                                        const wchar_t* format, ...) {
    char value[kAnsiSize];
    va_list args;
    va_start(args, format);
    FormatWideToAnsi(value, format, args);
    va_end(args);
    char ansiLabel[kAnsiSize];
    ToAnsi(label, ansiLabel);
    WriteField(ansiLabel, value);
}

void CReportGenerator_HTML::PrintField(const char* label, const char*, const char* format, ...) {
    char value[kValueSize];
    va_list args;
    va_start(args, format);
    FormatValue(value, format, args);
    va_end(args);
    WriteField(label, value);
}

void CReportGenerator_HTML::PrintBlankLine() {
    Write(FillPattern(kFieldRows[0], {kNonBreakingSpace, kNonBreakingSpace}));
}

void CReportGenerator_HTML::WriteField(const char* label, const char* value) {
    Write(FillPattern(FieldRowFor(label), {Escape(label), Escape(value)}));
}

void CReportGenerator_HTML::Write(const std::string& markup) const {
    WriteToFile(markup.data(), markup.size());
}
