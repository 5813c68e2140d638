#include "sdk/system/dmi_table.h"

#include <cstring>

std::optional<uint8_t> DMIStructureView::Byte(size_t offset) const {
    const auto bytes = Bytes(offset, 1);
    if (bytes.empty()) return std::nullopt;
    return bytes[0];
}

std::optional<uint16_t> DMIStructureView::Word(size_t offset) const {
    const auto bytes = Bytes(offset, 2);
    if (bytes.empty()) return std::nullopt;
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

std::optional<uint32_t> DMIStructureView::Dword(size_t offset) const {
    const auto bytes = Bytes(offset, 4);
    if (bytes.empty()) return std::nullopt;
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

std::span<const uint8_t> DMIStructureView::Bytes(size_t offset, size_t count) const {
    if (count == 0 || offset >= m_byLength || count > m_byLength - offset) return {};
    return m_Bytes.subspan(offset, count);
}

std::optional<DMIStructureView> DMITableWalk::Next() {
    if (m_nOffset >= m_Table.size()) return std::nullopt;
    const auto rest = m_Table.subspan(m_nOffset);
    const size_t length = rest.size() >= DMIStructureView::kHeaderSize ? rest[1] : 0;
    if (length < DMIStructureView::kHeaderSize || length > rest.size()) {
        m_nOffset = m_Table.size();
        return std::nullopt;
    }
    // The string set closes at the first two consecutive NULs from the end
    // of the formatted area on.
    for (size_t at = length; at + 1 < rest.size(); ++at) {
        if (rest[at] == 0 && rest[at + 1] == 0) {
            m_nOffset += at + 2;
            return DMIStructureView(rest.first(at + 2), static_cast<uint8_t>(length));
        }
    }
    m_nOffset = m_Table.size();
    return DMIStructureView(rest, static_cast<uint8_t>(length));
}

std::optional<std::string_view> DMIString(const DMIStructureView& structure, unsigned index) {
    const auto set = structure.StringSet();
    if (index == 0 || set.empty() || set[0] == 0) return std::nullopt;
    const char* text = reinterpret_cast<const char*>(set.data());
    size_t start = 0;
    for (unsigned number = 1;; ++number) {
        const void* end = std::memchr(text + start, 0, set.size() - start);
        if (!end) return std::nullopt;  // not terminated inside the structure
        const size_t stop = static_cast<size_t>(static_cast<const char*>(end) - text);
        if (number == index) return std::string_view(text + start, stop - start);
        start = stop + 1;
        // A NUL right after a terminator closes the set.
        if (start >= set.size() || set[start] == 0) return std::nullopt;
    }
}

void DMICleanText(char* text) {
    constexpr size_t kLongest = 511;
    if (!text) return;
    const size_t length = strnlen(text, kLongest + 1);
    if (length == 0 || length > kLongest) return;
    size_t first = 0;
    while (first < length && text[first] == ' ') ++first;
    size_t last = length;
    while (last > first && text[last - 1] == ' ') --last;
    size_t out = 0;
    for (size_t in = first; in < last; ++in) {
        const char c = text[in];
        if (c == '"' || c == '\'' || c == ',') continue;
        text[out++] = c;
    }
    text[out] = '\0';
}
