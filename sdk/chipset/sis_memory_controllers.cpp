// SiS memory controllers, all read from the host bridge's configuration
// space: the 645 and 735 generations choose the memory type by the first
// enabled bank, the 648 gives a fixed ratio code, the 649, 662 and 671
// give the DDR2-era timings in registers 0x58/0x59 and the ratio as clock
// codes.
#include <cstdint>

#include "sdk/chipset/decoder_fields.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/sis_northbridges.h"
#include "sdk/core/helpers.h"

using decoder_fields::Bit;
using decoder_fields::Bits;

namespace {

// A code table of clocks: the value for a code, or -1 (the field stays).
template <size_t N>
void SetIfListed(int& field, const int (&values)[N], uint32_t code) {
    if (code < N && values[code] != -1) field = values[code];
}

// The bank scan of the 645 and 735 generations: the first enabled bank
// (bit of register 0x64 among `banks`) selects register 0x60 + bank, whose
// bit 6 tells DDR from SDRAM; no enabled bank leaves the type unknown.
void BankType(CNorthBridge& bridge, unsigned banks, CMemoryInfo& memory) {
    const uint32_t enabled = bridge.ReadConfig(0x64);
    memory.m_iMemoryType = MEMORY_TYPE_UNKNOWN;
    for (unsigned bank = 0; bank < banks; ++bank) {
        if (!Bit(enabled, bank)) continue;
        memory.m_iMemoryType = Bit(bridge.ReadConfig(0x60 + bank), 6) ? MEMORY_TYPE_DDR : MEMORY_TYPE_SDRAM;
        return;
    }
}

void DecodeSiS645Generation(CNorthBridge& bridge, unsigned banks, CMemoryInfo& memory) {
    BankType(bridge, banks, memory);
    static constexpr int kRAS[] = {6, 7, 5, 4};
    static constexpr int kRPAndRCD[] = {3, 2, 4, -1};
    const uint32_t timing = bridge.ReadConfig(0x58);
    SetIfListed(memory.m_iCycleTime, kRAS, Bits(timing, 7, 6));
    SetIfListed(memory.m_iRASPrecharge, kRPAndRCD, Bits(timing, 5, 4));
    SetIfListed(memory.m_iRASToCASDelay, kRPAndRCD, Bits(timing, 3, 2));
    if (memory.m_iRASPrecharge > 0)
        memory.m_iBankCycleTime = memory.m_iCycleTime + memory.m_iRASPrecharge + (Bit(timing, 1) ? 1 : 0);
    switch (Bits(bridge.ReadConfig(0x59), 5, 4)) {
    case 1: memory.m_fCASLatency = 2.0f; break;
    case 2:
        if (memory.m_iMemoryType == MEMORY_TYPE_DDR) memory.m_fCASLatency = 2.5f;
        break;
    case 3: memory.m_fCASLatency = 3.0f; break;
    default: break;
    }
}

// Bit 0 of register 0x7C: set DDR, clear DDR2.
void DDROrDDR2(CNorthBridge& bridge, CMemoryInfo& memory) {
    memory.m_iMemoryType = Bit(bridge.ReadConfig(0x7C), 0) ? MEMORY_TYPE_DDR : MEMORY_TYPE_DDR2;
}

// Register 0x40: bus part bits 7:4 + 1, DRAM part twice bits 3:0 + 1.
struct RatioParts {
    int bus, dram;
};
RatioParts RatioOf40(CNorthBridge& bridge) {
    const uint32_t clocks = bridge.ReadConfig(0x40);
    return {static_cast<int>(Bits(clocks, 7, 4)) + 1, 2 * (static_cast<int>(Bits(clocks, 3, 0)) + 1)};
}

// CAS latency of bits 2:0 of register 0x58: DDR 2.0, 2.5, 3.0; DDR2 (the
// type for anything but DDR) 3.0, 4.0, 5.0 for codes 1 to 3.
void CASLatency58(CNorthBridge& bridge, CMemoryInfo& memory) {
    static constexpr float kDDR[] = {0.0f, 2.0f, 2.5f, 3.0f};
    static constexpr float kDDR2[] = {0.0f, 3.0f, 4.0f, 5.0f};
    if (memory.m_iMemoryType != MEMORY_TYPE_DDR) memory.m_iMemoryType = MEMORY_TYPE_DDR2;
    const uint32_t code = Bits(bridge.ReadConfig(0x58), 2, 0);
    const float* latencies = memory.m_iMemoryType == MEMORY_TYPE_DDR ? kDDR : kDDR2;
    if (code >= 1 && code <= 3) memory.m_fCASLatency = latencies[code];
}

// Register 0x59: tRAS bits 3:0 + 4 (up to 11), tRCD bits 5:4 + 2, tRP bits 7:6 + 2.
void Timings59(CNorthBridge& bridge, CMemoryInfo& memory) {
    const uint32_t timing = bridge.ReadConfig(0x59);
    if (Bits(timing, 3, 0) <= 11) memory.m_iCycleTime = static_cast<int>(Bits(timing, 3, 0)) + 4;
    memory.m_iRASToCASDelay = static_cast<int>(Bits(timing, 5, 4)) + 2;
    memory.m_iRASPrecharge = static_cast<int>(Bits(timing, 7, 6)) + 2;
}

// Clocks in units of 100/3 MHz (133.33 MHz = 4) of the 662's codes.
int SiS662BusUnits(uint32_t code) {
    switch (code) {
    case 0x29: return 4;
    case 0x2D: return 5;
    case 0x2F:
    case 0x30: return 6;
    default: return 0;
    }
}

} // namespace

void DecodeSiS645(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) DecodeSiS645Generation(*bridge, 3, *memory);
}

void DecodeSiS735(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) DecodeSiS645Generation(*bridge, 4, *memory);
}

void DecodeSiS648(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    struct FixedRatio {
        uint32_t code;
        int bus, dram;
    };
    static constexpr FixedRatio kRatios[] = {{0, 1, 1}, {1, 1, 2}, {2, 2, 3}, {4, 3, 4},
                                             {5, 3, 5}, {6, 4, 5}, {10, 3, 2}, {15, 6, 5}};
    const uint32_t code = Bits(bridge->ReadConfig(0x76), 5, 2);
    for (const FixedRatio& ratio : kRatios)
        if (ratio.code == code) decoder_fields::SetRatio(*memory, ratio.bus, ratio.dram);
    static constexpr int kRAS[] = {6, 7, 5, 4, 8, 9, -1, -1};
    SetIfListed(memory->m_iCycleTime, kRAS, Bits(bridge->ReadConfig(0x57), 2, 0));
    static constexpr int kRPAndRCD[] = {3, 2, 4, 5};
    const uint32_t timing = bridge->ReadConfig(0x58);
    SetIfListed(memory->m_iRASToCASDelay, kRPAndRCD, Bits(timing, 3, 2));
    SetIfListed(memory->m_iRASPrecharge, kRPAndRCD, Bits(timing, 5, 4));
    static constexpr float kCAS[] = {0.0f, 2.0f, 2.5f, 3.0f};
    const uint32_t cas = Bits(bridge->ReadConfig(0x59), 5, 4);
    if (cas) memory->m_fCASLatency = kCAS[cas];
}

void DecodeSiS649(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    DDROrDDR2(*bridge, *memory);
    const RatioParts parts = RatioOf40(*bridge);
    decoder_fields::SetRatioAsWritten(*memory, parts.bus, parts.dram);
    CASLatency58(*bridge, *memory);
    Timings59(*bridge, *memory);
}

// Bus code in register 0xBA, DRAM code in bits 2:0 of register 0x41
// (133.33 to 400 MHz); a low byte 0x10 of register 0x40 means 1:1.
void DecodeSiS662(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    DDROrDDR2(*bridge, *memory);
    if ((bridge->ReadConfig(0x40) & 0xFF) == 0x10) {
        decoder_fields::SetRatio(*memory, 1, 1);
    } else {
        static constexpr int kDRAMUnits[] = {4, 5, 6, 8, 10, 12, 0, 0};
        const int bus = SiS662BusUnits(bridge->ReadConfig(0xBA) & 0xFF);
        const int dram = kDRAMUnits[Bits(bridge->ReadConfig(0x41), 2, 0)];
        if (bus && dram) decoder_fields::SetReducedRatio(*memory, bus, dram);
    }
    CASLatency58(*bridge, *memory);
    Timings59(*bridge, *memory);
}

// The 672 is told from the 671 by bit 3 of register 0x80 of the graphics
// device 01:00.0. Where no function answers there, its all-ones reads say
// nothing, and the bridge keeps the 671 name.
void DecodeSiS671(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    memory->m_iChannels = 1;
    const bool graphicsPresent = (decoder_fields::ReadFunction(1, 0, 0, 0x00) & 0xFFFF) != 0xFFFF;
    const bool sis672 = graphicsPresent && Bit(decoder_fields::ReadFunction(1, 0, 0, 0x80), 3);
    FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", sis672 ? "672" : "671/FX/DX/MX");
    const RatioParts parts = RatioOf40(*bridge);
    decoder_fields::SetRatio(*memory, parts.bus, parts.dram);
    static constexpr float kCAS[] = {0.0f, 3.0f, 4.0f, 5.0f};
    const uint32_t cas = Bits(bridge->ReadConfig(0x58), 2, 0);
    if (cas >= 1 && cas <= 3) memory->m_fCASLatency = kCAS[cas];
    Timings59(*bridge, *memory);
}
