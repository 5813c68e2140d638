// Bounded reading of the few ACPI tables the ACPI domain takes values from.
// The tables come from the firmware-table function or from physical memory
// and are trusted in nothing: a table is only as long as both its own
// length field and the bytes actually obtained allow, and every field is
// read only when it lies inside that.
//
// Layouts: every table but the root pointer starts with a 36-byte header
// (signature, length u32 at offset 4, revision u8 at offset 8, ...). The
// root pointer (RSDP) is "RSD PTR ", a checksum over its first 20 bytes and
// the RSDT address u32 at offset 16; the RSDT is the header followed by
// 32-bit table addresses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Table signatures as the firmware-table function takes them: the four
// characters read as a little-endian dword.
constexpr uint32_t kACPISignatureFACP = 0x50434146;
constexpr uint32_t kACPISignatureHPET = 0x54455048;
constexpr uint32_t kACPISignatureRSDT = 0x54445352;
constexpr uint32_t kACPISignatureTAMG = 0x474D4154;

// One table found at the start of some bytes.
class ACPITableView {
public:
    static constexpr size_t kHeaderSize = 36;

    // The table `bytes` begin with: its stated length cut to the bytes at
    // hand. Bytes too short for the header, or a length field below the
    // header's size, give an empty view.
    explicit ACPITableView(std::span<const uint8_t> bytes);

    bool IsEmpty() const { return m_Bytes.empty(); }
    // 0 for an empty view.
    uint32_t Signature() const;
    uint8_t Revision() const;
    // What the length field says, which may be more than Size().
    uint32_t StatedLength() const { return m_dwStatedLength; }
    // The bytes of the table at hand, header included.
    std::span<const uint8_t> Bytes() const { return m_Bytes; }
    size_t Size() const { return m_Bytes.size(); }

    // Little-endian fields; nothing when the field reaches past the table.
    std::optional<uint8_t> Byte(size_t offset) const;
    std::optional<uint32_t> Dword(size_t offset) const;

private:
    std::span<const uint8_t> m_Bytes;
    uint32_t m_dwStatedLength = 0;
};

// The FADT ('FACP') values the domain uses; a field that lies past the end
// of the table is left out.
struct ACPIFADTFields {
    std::optional<uint32_t> firmwareControl;  // FIRMWARE_CTRL, offset 36: the FACS address
    std::optional<uint32_t> pm1aEventBlock;   // PM1a_EVT_BLK, offset 56: a port
    std::optional<uint32_t> pmTimerBlock;     // PM_TMR_BLK, offset 76: a port
};
// Nothing for an FADT the domain does not read: one of revision 3 or more
// whose length is also 300 or more.
std::optional<ACPIFADTFields> ReadACPIFADT(const ACPITableView& fadt);

// The HPET table's base address, a generic address structure at offset 40:
// address-space id (bit 0 set: I/O space) and the 64-bit address at offset
// 44, low dword first. Nothing when the table ends before it.
struct ACPIHPETBase {
    uint8_t addressSpace;
    uint32_t high;
    uint32_t low;

    bool IsSystemMemory() const { return (addressSpace & 1) == 0; }
};
std::optional<ACPIHPETBase> ReadACPIHPETBase(const ACPITableView& hpet);

// The longest counter period, in femtoseconds, an HPET may report (100 ns);
// 0 and anything longer mean the capabilities register is not an HPET's.
constexpr uint32_t kLongestHPETPeriodFs = 100'000'000;
bool IsPlausibleHPETPeriod(uint32_t periodFs);

// The board record of an OEM 'TAMG' table: the 48 bytes that begin with
// the first "ESDT" at any byte position of the table. Nothing when there
// is none, or when the 48 bytes from it do not all lie inside the table.
constexpr size_t kACPIBoardRecordSize = 48;
using ACPIBoardRecord = std::array<uint8_t, kACPIBoardRecordSize>;
std::optional<ACPIBoardRecord> FindACPIBoardRecord(const ACPITableView& table);

// The root pointer: the offset of the first one in `block` at a multiple
// of 16 whose 20 bytes lie in the block, start with "RSD PTR " and sum to
// 0 modulo 256.
constexpr size_t kACPIRootPointerSize = 20;
constexpr size_t kACPIRootPointerRSDTOffset = 16;
std::optional<size_t> FindACPIRootPointer(std::span<const uint8_t> block);

// The table addresses of an RSDT: as many as its length states, and never
// more than its bytes at hand hold.
std::vector<uint32_t> ACPIRSDTEntries(const ACPITableView& rsdt);
