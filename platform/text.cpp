#include "platform/text.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <locale.h>
#include <vector>

namespace vexa::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Decodes one UTF-8 character at text[i] (n bytes available); returns its
// length and the character, U+FFFD for a malformed sequence (length 1).
size_t decodeUtf8(const unsigned char* text, size_t n, char32_t& out) {
    const unsigned char c = text[0];
    if (c < 0x80) {
        out = c;
        return 1;
    }
    size_t length;
    char32_t value;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        value = c & 0x07;
    } else {
        out = kReplacement;
        return 1;
    }
    if (length > n) {
        out = kReplacement;
        return 1;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((text[k] & 0xC0) != 0x80) {
            out = kReplacement;
            return 1;
        }
        value = (value << 6) | (text[k] & 0x3F);
    }
    static const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    out = (value < minimum[length] || !isScalar(value)) ? kReplacement : value;
    return length;
}

// Encodes one character; returns the byte count (0 when it has no UTF-8 form).
size_t encodeUtf8(char32_t c, char* out) {
    if (!isScalar(c)) return 0;
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// The C library converts "%ls" arguments with the thread's locale: use a
// UTF-8 one for the formatting calls, without touching the process locale.
class Utf8Locale {
public:
    Utf8Locale() {
        static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        if (utf8) previous_ = uselocale(utf8);
    }
    ~Utf8Locale() {
        if (previous_) uselocale(previous_);
    }

private:
    locale_t previous_ = nullptr;
};

// Rewrites the conversions of a printf format. `wide` selects the Windows
// rules of wide formats. Works on any character type.
template <typename Char>
std::basic_string<Char> translateFormat(const Char* format, bool wide) {
    std::basic_string<Char> out;
    if (!format) return out;
    for (const Char* p = format; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const size_t start = out.size();
        out += *p++;
        if (*p == '%') {
            out += *p++;
            continue;
        }
        // Flags, width, precision.
        while (*p && std::strchr("-+ #0'", static_cast<char>(*p)) && *p < 0x80) out += *p++;
        while ((*p >= '0' && *p <= '9') || *p == '*') out += *p++;
        if (*p == '.') {
            out += *p++;
            while ((*p >= '0' && *p <= '9') || *p == '*') out += *p++;
        }
        // Length: Windows "I64", "I32", "I" and "w" become C's.
        enum { None, Short, Long, Other } length = None;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            out += 'l';
            out += 'l';
            p += 3;
            length = Other;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            p += 3;
        } else if (p[0] == 'I') {
            out += 'z';
            ++p;
            length = Other;
        } else if (*p == 'w') {
            ++p;
            length = Long;
        } else if (*p == 'h' && p[1] != 'h') {
            ++p;
            length = Short;
        } else if (*p == 'l' && p[1] != 'l') {
            ++p;
            length = Long;
        } else {
            while (*p && std::strchr("hlLqjzt", static_cast<char>(*p)) && *p < 0x80) {
                out += *p++;
                length = Other;
            }
        }
        const Char conversion = *p;
        if (!conversion) {
            out.resize(start);  // a conversion cut off by the end of the format
            break;
        }
        ++p;
        const bool text = conversion == 's' || conversion == 'S';
        const bool character = conversion == 'c' || conversion == 'C';
        if (text || character) {
            bool wideArgument;
            if (length == Short) wideArgument = false;
            else if (length == Long) wideArgument = true;
            else wideArgument = (conversion == 's' || conversion == 'c') == wide;
            if (wideArgument) out += 'l';
            out += text ? 's' : 'c';
            continue;
        }
        if (length == Short) out += 'h';
        if (length == Long) out += 'l';
        out += conversion;
    }
    return out;
}

} // namespace

void truncateUtf8(char* text, size_t maxBytes) {
    if (!text) return;
    const size_t cut = std::min(std::strlen(text), maxBytes);
    // Find where the last character starts, and drop it when the cut (here
    // or by an earlier, byte-wise cut) left it incomplete.
    size_t lead = cut;
    while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
    size_t end = cut;
    if (lead > 0) {
        const auto c = static_cast<unsigned char>(text[lead - 1]);
        const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (lead - 1 + need > cut) end = lead - 1;
    }
    text[end] = '\0';
}

void wideToNarrow(const wchar_t* source, char* destination, size_t size) {
    if (!destination || size == 0) return;
    size_t used = 0;
    for (; source && *source; ++source) {
        char bytes[4];
        size_t n = encodeUtf8(static_cast<char32_t>(*source), bytes);
        if (n == 0) {
            bytes[0] = '?';
            n = 1;
        }
        if (used + n >= size) break;
        std::memcpy(destination + used, bytes, n);
        used += n;
    }
    destination[used] = '\0';
}

void narrowToWide(const char* source, wchar_t* destination, size_t size) {
    if (!destination || size == 0) return;
    size_t used = 0;
    if (source) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(source);
        size_t remaining = std::strlen(source);
        while (remaining && used + 1 < size) {
            char32_t c;
            const size_t n = decodeUtf8(bytes, remaining, c);
            destination[used++] = static_cast<wchar_t>(c);
            bytes += n;
            remaining -= n;
        }
    }
    destination[used] = L'\0';
}

std::string toNarrow(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        char bytes[4];
        const size_t n = encodeUtf8(static_cast<char32_t>(c), bytes);
        if (n == 0) out += '?';
        else out.append(bytes, n);
    }
    return out;
}

std::wstring toWide(const std::string& text) {
    std::wstring out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t remaining = text.size();
    while (remaining) {
        char32_t c;
        const size_t n = decodeUtf8(bytes, remaining, c);
        out += static_cast<wchar_t>(c);
        bytes += n;
        remaining -= n;
    }
    return out;
}

std::string translateNarrowFormat(const char* format) { return translateFormat(format, false); }

std::wstring translateWideFormat(const wchar_t* format) { return translateFormat(format, true); }

int formatNarrow(char* destination, size_t size, const char* format, va_list args) {
    if (!destination || size == 0) return 0;
    const std::string translated = translateNarrowFormat(format);
    Utf8Locale locale;
    const int result = std::vsnprintf(destination, size, translated.c_str(), args);
    if (result < 0) {
        destination[0] = '\0';
        return 0;
    }
    if (static_cast<size_t>(result) >= size) truncateUtf8(destination, size - 1);
    return static_cast<int>(std::strlen(destination));
}

int formatWide(wchar_t* destination, size_t size, const wchar_t* format, va_list args) {
    if (!destination || size == 0) return 0;
    const std::wstring translated = translateWideFormat(format);
    Utf8Locale locale;
    // vswprintf fails outright when the text does not fit: format into a
    // buffer that grows, then cut.
    std::vector<wchar_t> buffer(std::max<size_t>(size, 256));
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int result = std::vswprintf(buffer.data(), buffer.size(), translated.c_str(), copy);
        va_end(copy);
        if (result >= 0) break;
        if (buffer.size() >= 65536) {
            buffer[0] = L'\0';
            break;
        }
        buffer.resize(buffer.size() * 4);
    }
    std::wcsncpy(destination, buffer.data(), size - 1);
    destination[size - 1] = L'\0';
    return static_cast<int>(std::wcslen(destination));
}

} // namespace vexa::platform

int MultiByteToWideChar(UINT, DWORD, LPCSTR source, int sourceLength, LPWSTR destination,
                        int destinationLength) {
    if (!source || sourceLength == 0 || sourceLength < -1 || destinationLength < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = sourceLength == -1 ? std::strlen(source) + 1 : size_t(sourceLength);
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    size_t position = 0;
    int written = 0;
    while (position < length) {
        char32_t c;
        position += vexa::platform::decodeUtf8(bytes + position, length - position, c);
        if (destinationLength) {
            if (written >= destinationLength) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            destination[written] = static_cast<wchar_t>(c);
        }
        ++written;
    }
    return written;
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR source, int sourceLength, LPSTR destination,
                        int destinationLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (!source || sourceLength == 0 || sourceLength < -1 || destinationLength < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = sourceLength == -1 ? std::wcslen(source) + 1 : size_t(sourceLength);
    const char fallback = (codePage != CP_UTF8 && defaultChar) ? *defaultChar : '?';
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    int written = 0;
    for (size_t i = 0; i < length; ++i) {
        char bytes[4];
        size_t n = vexa::platform::encodeUtf8(static_cast<char32_t>(source[i]), bytes);
        if (n == 0) {
            bytes[0] = fallback;
            n = 1;
            if (usedDefaultChar) *usedDefaultChar = TRUE;
        }
        if (destinationLength) {
            if (written + static_cast<int>(n) > destinationLength) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::memcpy(destination + written, bytes, n);
        }
        written += static_cast<int>(n);
    }
    return written;
}
