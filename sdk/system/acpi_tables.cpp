#include "sdk/system/acpi_tables.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kLengthOffset = 4;
constexpr size_t kRevisionOffset = 8;

// The FADT layouts from ACPI 2.0 on (revision 3 and later, 244 bytes and
// more) carry 64-bit copies of the fields below; the domain reads the
// 32-bit fields of the shorter layouts only.
constexpr uint8_t kFirstUnreadFADTRevision = 3;
constexpr uint32_t kShortestUnreadFADT = 300;
constexpr size_t kFirmwareControlOffset = 36;
constexpr size_t kPM1aEventBlockOffset = 56;
constexpr size_t kPMTimerBlockOffset = 76;

constexpr size_t kHPETAddressSpaceOffset = 40;
constexpr size_t kHPETAddressOffset = 44;

constexpr char kBoardRecordMark[] = {'E', 'S', 'D', 'T'};

constexpr char kRootPointerAnchor[] = {'R', 'S', 'D', ' ', 'P', 'T', 'R', ' '};
constexpr size_t kRootPointerAlignment = 16;

uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

ACPITableView::ACPITableView(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) return;
    m_dwStatedLength = LittleEndian32(&bytes[kLengthOffset]);
    if (m_dwStatedLength < kHeaderSize) return;
    m_Bytes = bytes.first(std::min<size_t>(m_dwStatedLength, bytes.size()));
}

uint32_t ACPITableView::Signature() const { return IsEmpty() ? 0 : LittleEndian32(m_Bytes.data()); }

uint8_t ACPITableView::Revision() const { return IsEmpty() ? 0 : m_Bytes[kRevisionOffset]; }

std::optional<uint8_t> ACPITableView::Byte(size_t offset) const {
    if (offset >= m_Bytes.size()) return std::nullopt;
    return m_Bytes[offset];
}

std::optional<uint32_t> ACPITableView::Dword(size_t offset) const {
    if (offset > m_Bytes.size() || m_Bytes.size() - offset < sizeof(uint32_t)) return std::nullopt;
    return LittleEndian32(&m_Bytes[offset]);
}

std::optional<ACPIFADTFields> ReadACPIFADT(const ACPITableView& fadt) {
    if (fadt.IsEmpty()) return std::nullopt;
    if (fadt.Revision() >= kFirstUnreadFADTRevision && fadt.StatedLength() >= kShortestUnreadFADT)
        return std::nullopt;
    return ACPIFADTFields{fadt.Dword(kFirmwareControlOffset), fadt.Dword(kPM1aEventBlockOffset),
                          fadt.Dword(kPMTimerBlockOffset)};
}

std::optional<ACPIHPETBase> ReadACPIHPETBase(const ACPITableView& hpet) {
    const auto space = hpet.Byte(kHPETAddressSpaceOffset);
    const auto low = hpet.Dword(kHPETAddressOffset);
    const auto high = hpet.Dword(kHPETAddressOffset + 4);
    if (!space || !low || !high) return std::nullopt;
    return ACPIHPETBase{*space, *high, *low};
}

bool IsPlausibleHPETPeriod(uint32_t periodFs) { return periodFs != 0 && periodFs <= kLongestHPETPeriodFs; }

std::optional<ACPIBoardRecord> FindACPIBoardRecord(const ACPITableView& table) {
    const std::span<const uint8_t> bytes = table.Bytes();
    if (bytes.size() < kACPIBoardRecordSize) return std::nullopt;
    const size_t lastStart = bytes.size() - kACPIBoardRecordSize;
    for (size_t at = 0; at <= lastStart; ++at) {
        if (std::memcmp(&bytes[at], kBoardRecordMark, sizeof kBoardRecordMark) != 0) continue;
        ACPIBoardRecord record;
        std::copy_n(&bytes[at], record.size(), record.begin());
        return record;
    }
    return std::nullopt;
}

std::optional<size_t> FindACPIRootPointer(std::span<const uint8_t> block) {
    for (size_t at = 0; at < block.size() && block.size() - at >= kACPIRootPointerSize;
         at += kRootPointerAlignment) {
        if (std::memcmp(&block[at], kRootPointerAnchor, sizeof kRootPointerAnchor) != 0) continue;
        uint8_t sum = 0;
        for (size_t i = 0; i < kACPIRootPointerSize; ++i) sum = static_cast<uint8_t>(sum + block[at + i]);
        if (sum == 0) return at;
    }
    return std::nullopt;
}

std::vector<uint32_t> ACPIRSDTEntries(const ACPITableView& rsdt) {
    std::vector<uint32_t> entries;
    for (size_t at = ACPITableView::kHeaderSize; const auto entry = rsdt.Dword(at); at += sizeof(uint32_t))
        entries.push_back(*entry);
    return entries;
}
