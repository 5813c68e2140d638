#include "machine/text_scan.h"

namespace vexa::machine {

bool LineReader::next(std::string_view& line) {
    if (done_) return false;
    const size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
        if (rest_.empty()) {
            done_ = true;
            return false;
        }
        line = rest_;
        rest_ = {};
        done_ = true;
    } else {
        line = rest_.substr(0, end);
        rest_.remove_prefix(end + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++lineNumber_;
    return true;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(text[i]) != lower(prefix[i])) return false;
    }
    return true;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned hexValue(char c) {
    if (c >= '0' && c <= '9') return unsigned(c - '0');
    if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
    return unsigned(c - 'A' + 10);
}

bool takeHex(std::string_view& text, uint64_t& value, size_t maxDigits) {
    size_t digits = 0;
    uint64_t result = 0;
    while (digits < text.size() && isHexDigit(text[digits])) {
        if (digits == maxDigits || digits == 16) return false;
        result = (result << 4) | hexValue(text[digits]);
        ++digits;
    }
    if (digits == 0) return false;
    value = result;
    text.remove_prefix(digits);
    return true;
}

bool parseHex(std::string_view text, uint64_t& value, size_t maxDigits) {
    uint64_t result = 0;
    if (!takeHex(text, result, maxDigits) || !text.empty()) return false;
    value = result;
    return true;
}

bool parseDecimal(std::string_view text, uint64_t& value, uint64_t max) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = uint64_t(c - '0');
        if (digit > max || result > (max - digit) / 10) return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

void skipBlanks(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
}

std::string quoteForMessage(std::string_view text, size_t limit) {
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        quoted += (c < 0x20 || c >= 0x7F) ? '?' : char(c);
    }
    if (text.size() > limit) quoted += "...";
    quoted += '"';
    return quoted;
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`
// that is not a C1 control character; 0 when there is none.
size_t printableSequence(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        if (lead == 0xC2) low = 0xA0;  // U+0080..U+009F are the C1 controls
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;       // no overlong forms
        if (lead == 0xED) high = 0x9F;      // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    }
    if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

} // namespace

std::string escapeForMessage(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        size_t take = 1;
        if (c >= 0x20 && c < 0x7F) {
            escaped += char(c);
        } else if (c >= 0x80 && (take = printableSequence(text)) != 0) {
            escaped.append(text.substr(0, take));
        } else {
            take = 1;
            escaped += "\\x";
            escaped += hex[c >> 4];
            escaped += hex[c & 15];
        }
        text.remove_prefix(take);
    }
    return escaped;
}

} // namespace vexa::machine
