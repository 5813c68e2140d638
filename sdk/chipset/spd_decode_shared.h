// What the SPD decoders of every memory type share: bounded access to the
// bytes read, the clock figures, the CAS table, the maker's ID, date,
// serial and part number, and the older types' time encodings.
//
// A time, clock or divisor that is 0 (or otherwise unusable) leaves the
// values derived from it unknown: nothing here divides by it.
#pragma once

#include <cstdint>

#include "sdk/chipset/module_info.h"

namespace spd {

// The record's SPD bytes; 0 for an offset past the bytes read, so a short
// read or a short record never leads outside the buffer.
class SPDBytes {
public:
    explicit SPDBytes(const CModuleInfo& record)
        : m_pBytes(record.m_pSPD), m_iLength(record.m_pSPD ? record.m_iSPDLength : 0) {}

    uint8_t operator[](int offset) const {
        return offset >= 0 && offset < m_iLength ? m_pBytes[offset] : 0;
    }
    // The byte as a two's complement fine-time offset.
    int8_t Signed(int offset) const { return static_cast<int8_t>((*this)[offset]); }
    int Length() const { return m_iLength; }

private:
    const uint8_t* m_pBytes;
    int m_iLength;
};

// A time (ns) that may be divided by: finite and at least a picosecond.
// Fine corrections can cancel a time base almost exactly; a clock from such
// a remainder would not fit the integer clock fields.
bool IsUsableTime(float ns);
// 1000 / tCK in MHz, or -1.0 for an unusable tCK.
float ClockOf(float cycleTime);

// ---- DDR3, DDR4 and their XMP profiles ----

// m_iClock rounded to the nearest MHz and m_iPCRating (16 x f rounded to a
// multiple of 100); nothing for an unusable tCK.
void SetRoundedClockFigures(CModuleInfo& record, float cycleTime);
// One CAS entry per set bit of `bitmap` (bit 0 first), latency `first` + bit.
void AppendCASLatencies(CTList<CAS_Table>* table, uint32_t bitmap, int bits, int first);
// Each entry's clock: 1000 / (tAA / latency), capped at `cap` MHz; entries
// stay unknown when tAA is unusable.
void SetCASFrequencies(CTList<CAS_Table>* table, float tAA, float cap);
// The speed-bin letter of a DDR3 JEDEC clock and its raw tAA byte; 0 when
// the pair has none.
char DDR3SpeedBinLetter(int clock, uint8_t tAAByte);
void AppendSpeedBinLetter(char* speed, int size, int clock, uint8_t tAAByte);

// ---- Identity ----

// `countByte` & 0x7F continuation codes (at most `maxContinuation`), then
// `code`; then the maker's name.
void SetManufacturer(CModuleInfo& record, uint8_t countByte, uint8_t code, int maxContinuation);
// The older layout: eight ID bytes as stored, then the maker's name.
void SetManufacturerBytes(CModuleInfo& record, const SPDBytes& bytes, int first);
uint8_t FromBCD(uint8_t value);
// Four bytes, the first the most significant, and their "%08X" text.
void SetSerialNumber(CModuleInfo& record, const SPDBytes& bytes, int first);
// 18 characters, 0xFF stored as NUL, always terminated after the 18th.
void SetPartNumber(CModuleInfo& record, const SPDBytes& bytes, int first);

// ---- SDRAM, DDR, DDR2 and FB-DIMM ----

// m_iClock truncated, m_iPCRating and m_iDataRate; nothing for an
// unusable tCK.
void SetTruncatedClockFigures(CModuleInfo& record, float cycleTime);
// DDR2: whole ns in the high nibble, a fraction chosen by the low one.
float NibbleCycleTime(uint8_t value);
// SDRAM and DDR: high nibble + low nibble x 0.1 ns.
float TenthsCycleTime(uint8_t value);
// (value >> 2) + 0.25 x (value & 3) ns.
float QuarterNanoseconds(uint8_t value);
// The voltage interface level of byte 8; SDRAM knows codes 2 to 4 only.
void SetInterfaceVoltage(CModuleInfo& record, uint8_t code, bool sdram);
void SetRefreshPeriod(CModuleInfo& record, uint8_t code);
// The three highest latencies' clocks (highest first): the entry i from the
// end gets clocks[i] when it is above 0; then m_fMaxCASLatency.
void SetOlderCASFrequencies(CModuleInfo& record, const float (&clocks)[3]);

} // namespace spd
