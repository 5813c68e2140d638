#include "app/unicode_text_file.h"

#include "platform/safe_file.h"
#include "platform/text.h"

namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::wstring DecodeText(const std::string& bytes) {
    static constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
    static constexpr char kUtf16Mark[] = "\xFF\xFE";
    if (bytes.compare(0, 3, kUtf8Mark) == 0) return vexa::platform::toWide(bytes.substr(3));
    if (bytes.compare(0, 2, kUtf16Mark) == 0) return DecodeUtf16LE(bytes.substr(2));
    return DecodeUtf16LE(bytes);
}

} // namespace

std::wstring DecodeUtf16LE(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    const auto unitAt = [&](size_t i) {
        return unsigned(static_cast<unsigned char>(bytes[i])) |
               unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8;
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 3 < bytes.size() && IsLowSurrogate(unitAt(i + 2))) {
            text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
            i += 2;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            text += kReplacementCharacter;
        } else {
            text += static_cast<wchar_t>(unit);
        }
    }
    return text;
}

std::string EncodeUtf16LE(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    const auto put = [&](unsigned unit) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    };
    for (wchar_t c : text) {
        const auto value = static_cast<unsigned>(c);
        if (value > 0x10FFFF || IsHighSurrogate(value) || IsLowSurrogate(value)) {
            put(kReplacementCharacter);
        } else if (value >= 0x10000) {
            put(0xD800 + ((value - 0x10000) >> 10));
            put(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            put(value);
        }
    }
    return bytes;
}

bool ReadUnicodeTextLines(const char* path, size_t maxLineChars, std::vector<std::wstring>& lines) {
    lines.clear();
    std::string bytes, error;
    if (!vexa::platform::readRegularFile(path, kMaxUnicodeTextFileBytes, bytes, error)) return false;

    std::wstring text = DecodeText(bytes);
    std::wstring::size_type out = 0;
    for (std::wstring::size_type i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        text[out++] = text[i];
    }
    text.resize(out);

    std::wstring chunk;
    for (wchar_t c : text) {
        chunk += c;
        if (c == L'\n' || chunk.size() == maxLineChars) {
            lines.push_back(std::move(chunk));
            chunk.clear();
        }
    }
    if (!chunk.empty()) lines.push_back(std::move(chunk));
    return true;
}

bool WriteUnicodeTextFile(const char* path, const std::wstring& text, std::string* error) {
    std::wstring withCrLf;
    withCrLf.reserve(text.size() + text.size() / 16);
    for (wchar_t c : text) {
        if (c == L'\n') withCrLf += L'\r';
        withCrLf += c;
    }
    const std::string bytes = "\xFF\xFE" + EncodeUtf16LE(withCrLf);
    std::string reason;
    if (vexa::platform::writeSafeFile(path, bytes.data(), bytes.size(), reason)) return true;
    if (error) *error = reason;
    return false;
}
