// What the Intel MCHBAR decoders share: the window object, the switch that
// turns a configuration bit on for one decoder pass and off again, the
// window reads, and the FSB:DRAM ratio and code tables.
#pragma once

#include <cstddef>
#include <cstdint>

class CIOSpace;
class CMemoryInfo;
class CNorthBridge;

namespace intel_mchbar {

// A base address field holds a window only when it is neither 0 nor all
// ones (an absent or unconfigured function reads all ones); such a window
// is never switched on or read.
bool UsableBase(uint32_t base, uint32_t baseMask);

// Finds the memory window at `base` in the root's I/O-space list, or
// creates and lists it; a found one gets `size`. Stored in the bridge's
// m_pMCHBAR.
CIOSpace* AttachWindow(CNorthBridge& bridge, uint32_t base, uint32_t size);

// A configuration register of the bridge, or of another function of bus 0
// reached through the PCI domain.
struct ConfigRegister {
    CNorthBridge* bridge = nullptr;  // null: bus 0, `device`, `function`
    uint8_t device = 0;
    uint8_t function = 0;
    uint32_t reg = 0;

    uint32_t Read() const;  // all ones when the read fails
    int Write(uint32_t value) const;
};

// Switches one enable bit on for a decoder pass and off again when the
// pass ends (whichever way it ends), clearing the bridge's m_pMCHBAR then,
// as the window it names no longer answers. A bit that was set on entry
// is left alone.
class EnableBitSwitch {
public:
    EnableBitSwitch(CNorthBridge& bridge, ConfigRegister reg, uint32_t bit) : bridge_(bridge), reg_(reg), bit_(bit) {}
    ~EnableBitSwitch();
    EnableBitSwitch(const EnableBitSwitch&) = delete;
    EnableBitSwitch& operator=(const EnableBitSwitch&) = delete;

    // Sets the bit when it is clear. With a settle time, waits up to that
    // many milliseconds for the bit to read set and answers false when it
    // never does (the register is then written back as found); without
    // one, answers true once written.
    bool SwitchOn(uint32_t registerValue, uint32_t settleMs = 0);
    bool SwitchedOn() const { return switched_; }

private:
    CNorthBridge& bridge_;
    ConfigRegister reg_;
    uint32_t bit_;
    bool switched_ = false;
};

// The window configured at register 0x48 (base in bits 31:14, enable in
// bit 0), attached with `size`; null for a base of 0 or all ones. With an
// enable switch, the window is first switched on (up to 50 ms for the bit
// to take; null when it never does, or when the window then does not
// answer); without one the bit is not looked at.
constexpr uint32_t kWindowRegister48 = 0x48;
constexpr uint32_t kWindowEnable48 = 1u << 0;
CIOSpace* AttachWindowAt48(CNorthBridge& bridge, EnableBitSwitch* enable, uint32_t size);

// The window's reads as the decoders use them: a failed read leaves the
// value of the previous read (all ones before the first, as a read that
// nothing answers gives on the bus).
class WindowReader {
public:
    explicit WindowReader(CIOSpace* window) : window_(window) {}
    // Whether the window answers a read at all; one that does not is not
    // decoded (it would give nothing but all ones).
    bool Answers();
    uint32_t Dword(uint32_t offset);
    uint8_t Byte(uint32_t offset) { return static_cast<uint8_t>(Dword(offset)); }
    // Whether the read succeeded; `value` is set only then.
    bool TryDword(uint32_t offset, uint32_t& value);
    bool TryQword(uint32_t offset, uint32_t& low, uint32_t& high);

private:
    CIOSpace* window_;
    uint32_t last_ = 0xFFFFFFFF;
};

// The timing registers the P35 family and the Clarkdale share, per
// channel: tRAS in bits 5:0, tRP in bits 16:13 and tRFC in bits 8:0 of
// one dword, tRCD in bits 20:17, and the command rate (bit 4: 2T).
struct SharedTimingRegisters {
    uint32_t tRAS, tRPandRFC, tRCD, commandRate;
};
void ReadSharedTimings(WindowReader& window, const SharedTimingRegisters& registers, CMemoryInfo& memory);

// An FSB:DRAM ratio text "bus:dram"; the record stores dram / bus. A
// zero bus part means no ratio for that code.
struct Ratio {
    uint8_t bus;
    uint8_t dram;
};
// Writes the text and ratio; nothing for an empty entry.
void SetRatio(CMemoryInfo& memory, Ratio ratio);
// The entry of a bus-code x DRAM-code table, or an empty one outside it.
template <size_t Rows, size_t Columns>
Ratio RatioAt(const Ratio (&table)[Rows][Columns], uint32_t row, uint32_t column) {
    return row < Rows && column < Columns ? table[row][column] : Ratio{};
}

// A code table: the value for a code, or -1 (not listed: the field stays).
template <size_t N>
int CodeValue(const int (&table)[N], uint32_t code) {
    return code < N ? table[code] : -1;
}
inline void SetIfListed(int& field, int value) {
    if (value != -1) field = value;
}
inline void SetIfListed(float& field, float value) {
    if (value >= 0.0f) field = value;
}

inline uint32_t Bits(uint32_t value, unsigned high, unsigned low) {
    return (value >> low) & ((high - low >= 31) ? 0xFFFFFFFFu : ((1u << (high - low + 1)) - 1));
}

} // namespace intel_mchbar
