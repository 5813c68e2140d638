// Report writers. Every reportable class writes itself through
// CReportGenerator: section titles, labelled fields and blank lines. The
// nesting of a field is carried by the leading tabs of its label. The
// writers turn these calls into a text file, an HTML page, console output
// or a text kept in memory; none of them opens or closes its output.
//
// Every writer formats once: what the caller's format and values produce is
// written exactly, a percent sign inside a label, value or title included.
// Formats follow the Windows printf conventions (in a wide format %s takes a
// wide text). Limits: a field value holds at most 255 bytes, one Print
// writes at most 511, a wide text is formatted into 255 characters and
// converted to at most 511 UTF-8 bytes; longer texts are cut at a character
// boundary.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/win_types.h"

// The degree sign as reports write it (U+00B0 in UTF-8).
inline constexpr char kDegreeSign[] = "\xC2\xB0";

class CReportGenerator {
public:
    // `file` stays the caller's; null writes nothing.
    explicit CReportGenerator(FILE* file = nullptr) : m_pFile(file) {}
    virtual ~CReportGenerator() = default;

    // The virtual operations, in this order. The base writes Print and
    // PrintW to the file and ignores the layout operations.
    virtual void PrintW(const wchar_t* format, ...);
    virtual void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual BOOL BeginDocument();
    virtual void EndDocument();
    virtual void PrintTitleW(const wchar_t* title);
    virtual void PrintTitle(const char* title);
    // PrintTitle with the same title.
    virtual void PrintSectionTitle(const char* title);
    virtual void PrintFieldW(const wchar_t* label, const wchar_t* pad, const wchar_t* format, ...);
    virtual void PrintField(const char* label, const char* pad, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    // Formats the value, then PrintField with the finished text.
    virtual void PrintFieldFormatted(const char* label, const char* pad, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    virtual void PrintBlankLine();

protected:
    static constexpr size_t kValueSize = 256;   // a formatted field value, terminator included
    static constexpr size_t kPrintSize = 512;   // one Print, terminator included
    static constexpr size_t kWideChars = 256;   // a wide text before conversion
    static constexpr size_t kAnsiSize = 512;    // a wide text after conversion

    static void FormatPrint(char (&text)[kPrintSize], const char* format, va_list args);
    static void FormatValue(char (&value)[kValueSize], const char* format, va_list args);
    // Formats into kWideChars wide characters and converts the result.
    static void FormatWideToAnsi(char (&text)[kAnsiSize], const wchar_t* format, va_list args);
    static void ToAnsi(const wchar_t* text, char (&ansi)[kAnsiSize]);
    // Writes `length` bytes to the file, whatever their size; nothing
    // without a file.
    void WriteToFile(const char* text, size_t length) const;

    FILE* m_pFile;
};

// The plain-text layout the TXT, console and buffer writers share: a title
// underlined with 73 hyphens, "label pad value" lines, empty lines. All
// output goes through Print.
class CReportGenerator_Text : public CReportGenerator {
public:
    using CReportGenerator::CReportGenerator;

    void PrintTitleW(const wchar_t* title) override;
    void PrintTitle(const char* title) override;
    void PrintFieldW(const wchar_t* label, const wchar_t* pad, const wchar_t* format, ...) override;
    void PrintField(const char* label, const char* pad, const char* format, ...) override
        __attribute__((format(printf, 4, 5)));
    void PrintBlankLine() override;

private:
    void WriteField(const char* label, const char* pad, const char* value);
};

// A text file opened for text by the caller.
class CReportGenerator_TXT : public CReportGenerator_Text {
public:
    explicit CReportGenerator_TXT(FILE* file) : CReportGenerator_Text(file) {}
};

// The console: the text layout written with WriteConsoleA.
class CReportGenerator_Console : public CReportGenerator_Text {
public:
    // `console` stays the caller's; null or INVALID_HANDLE_VALUE writes nothing.
    explicit CReportGenerator_Console(HANDLE console) : m_hConsole(console) {}

    void PrintW(const wchar_t* format, ...) override;
    void Print(const char* format, ...) override __attribute__((format(printf, 2, 3)));

private:
    bool HasConsole() const;
    void WriteConsoleText(const char* text) const;

    HANDLE m_hConsole;
};

// The text layout kept in memory (the online validation uploads it).
class CReportGenerator_Buffer : public CReportGenerator_Text {
public:
    CReportGenerator_Buffer() = default;

    void PrintW(const wchar_t* format, ...) override;
    void Print(const char* format, ...) override __attribute__((format(printf, 2, 3)));

    // Everything written so far, zero-terminated; "" at first.
    const char* GetText() const { return m_strText.c_str(); }
    // Its length in bytes, without the terminator.
    size_t GetLength() const { return m_strText.size(); }

private:
    std::string m_strText;
};

// An HTML page: a table with one row per title, field and blank line. The
// texts it inserts come from firmware and devices and are escaped (< > & ").
class CReportGenerator_HTML : public CReportGenerator {
public:
    explicit CReportGenerator_HTML(FILE* file) : CReportGenerator(file) {}

    BOOL BeginDocument() override;
    void EndDocument() override;
    void PrintTitleW(const wchar_t* title) override;
    void PrintTitle(const char* title) override;
    void PrintFieldW(const wchar_t* label, const wchar_t* pad, const wchar_t* format, ...) override;
    void PrintField(const char* label, const char* pad, const char* format, ...) override
        __attribute__((format(printf, 4, 5)));
    void PrintBlankLine() override;

private:
    void WriteField(const char* label, const char* value);
    void Write(const std::string& markup) const;
};
