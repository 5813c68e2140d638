// Bounded reading of an SMBIOS structure table. The table comes from
// firmware, a WMI property or physical memory and is trusted in nothing:
// every structure is located inside the bytes at hand, every field is read
// only when it lies inside the structure's formatted area, and every string
// only when it is terminated inside the structure's string set.
//
// A structure is a formatted area (type at offset 0, its own length at
// offset 1, handle at offset 2, then the type's fields) followed by its
// string set: NUL-terminated strings closed by one further NUL, or two NULs
// when there are none. Fields refer to strings by one-based index bytes;
// index 0 means no string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// One structure found by DMITableWalk: its formatted area and string set.
class DMIStructureView {
public:
    static constexpr size_t kHeaderSize = 4;

    // `bytes` holds the whole structure, string set included (or the rest of
    // the table when the set is not closed); `bytes` is at least as long as
    // the formatted length, which is at least kHeaderSize.
    DMIStructureView(std::span<const uint8_t> bytes, uint8_t formattedLength)
        : m_Bytes(bytes), m_byLength(formattedLength) {}

    uint8_t Type() const { return m_Bytes[0]; }
    uint8_t Length() const { return m_byLength; }
    uint16_t Handle() const { return static_cast<uint16_t>(m_Bytes[2] | m_Bytes[3] << 8); }

    // Little-endian fields of the formatted area; nothing when the field
    // reaches beyond the formatted length.
    std::optional<uint8_t> Byte(size_t offset) const;
    std::optional<uint16_t> Word(size_t offset) const;
    std::optional<uint32_t> Dword(size_t offset) const;
    // `count` bytes from `offset`; empty unless all of them lie inside the
    // formatted area.
    std::span<const uint8_t> Bytes(size_t offset, size_t count) const;

    // Everything after the formatted area.
    std::span<const uint8_t> StringSet() const { return m_Bytes.subspan(m_byLength); }

private:
    std::span<const uint8_t> m_Bytes;
    uint8_t m_byLength;
};

// Walks a table structure by structure. Each structure ends after the first
// two consecutive NUL bytes at or after the end of its formatted area (the
// same rule for every type). The walk ends at the end of the table, at a
// header or formatted area that does not fit into the rest of the table or
// that states a length below the header's, and after a structure whose
// string set is not closed before the end. Every step advances by at least
// six bytes, so a walk of n bytes yields at most n / 6 structures.
class DMITableWalk {
public:
    explicit DMITableWalk(std::span<const uint8_t> table) : m_Table(table) {}

    // The next structure; nothing once the walk has ended.
    std::optional<DMIStructureView> Next();

private:
    std::span<const uint8_t> m_Table;
    size_t m_nOffset = 0;
};

// The string with one-based `index` of a structure: nothing for index 0,
// for a string set that begins with its closing NUL (no strings), for an
// index past the last string of the set and for a string not terminated
// inside the structure's bytes.
std::optional<std::string_view> DMIString(const DMIStructureView& structure, unsigned index);

// Cleans a text in place: leading and trailing spaces go, and so does
// every double quote, apostrophe and comma (the rest closes up), so that
// names and the board keys computed from them carry none of them. An empty
// text, or one longer than 511 characters, stays as it is.
void DMICleanText(char* text);
