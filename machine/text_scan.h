// Small tools for reading the text files of a machine image (CPUID dumps,
// lspci output, acpidump output). The input is untrusted: every function
// here is bounded by the text it is given and never reads past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::machine {

// Hands out the lines of a text one by one, without the line break (a
// trailing '\r' of a CRLF file is dropped too), counting them from 1.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest_(text) {}
    bool next(std::string_view& line);
    size_t lineNumber() const { return lineNumber_; }

private:
    std::string_view rest_;
    size_t lineNumber_ = 0;
    bool done_ = false;
};

std::string_view trim(std::string_view text);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
bool isHexDigit(char c);
unsigned hexValue(char c);  // of a character isHexDigit() accepts

// Takes 1..maxDigits hex digits from the front of `text`; false (and
// `text` unchanged) when it does not start with one or holds more digits.
bool takeHex(std::string_view& text, uint64_t& value, size_t maxDigits);
// The whole of `text` as 1..maxDigits hex digits.
bool parseHex(std::string_view text, uint64_t& value, size_t maxDigits);
// The whole of `text` as a decimal number no larger than `max`.
bool parseDecimal(std::string_view text, uint64_t& value, uint64_t max);
// Drops leading blanks (spaces and tabs).
void skipBlanks(std::string_view& text);

// A line shown in an error message: at most `limit` characters, control
// characters replaced, in quotes.
std::string quoteForMessage(std::string_view text, size_t limit = 60);

// A message made fit for a terminal: control characters (C0, DEL, and C1
// written in UTF-8) and bytes that are not UTF-8 become "\xNN"; other
// text, non-ASCII letters included, stays as it is.
std::string escapeForMessage(std::string_view text);

} // namespace vexa::machine
