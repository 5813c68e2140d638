// VIA memory controllers of the PT880 and later chipsets, read from
// functions 2 (bus clock) and 3 (memory controller) of the host device.
// Bus and DRAM clocks are whole multiples of 100/3 MHz; the ratio text is
// the two clocks in those units reduced to lowest terms, bus first. The
// bus-clock code derived from function 2 is kept in the bridge's
// m_iFSBCode and read back from there.
#include <cstdint>
#include <iterator>

#include "sdk/chipset/decoder_fields.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/via_northbridges.h"
#include "sdk/core/helpers.h"

using decoder_fields::Bit;
using decoder_fields::Bits;

namespace {

// Clocks in units of 100/3 MHz.
constexpr int k100 = 3, k133 = 4, k166 = 5, k200 = 6, k266 = 8, k333 = 10, k400 = 12, k533 = 16, k666 = 20,
              k800 = 24;

// The bus clock of each m_iFSBCode: 100, 133.33, 200, 166.67, 266.67, 333.33 MHz.
constexpr int kBusUnits[] = {k100, k133, k200, k166, k266, k333};

uint32_t F2(uint32_t reg) { return decoder_fields::ReadFunction(0, 0, 2, reg); }
uint32_t F3(uint32_t reg) { return decoder_fields::ReadFunction(0, 0, 3, reg); }

// The bus clock of the bridge's code in units; 0 when the code is unknown.
int BusUnits(const CNorthBridge& bridge) {
    const int code = bridge.m_iFSBCode;
    return code >= 0 && code < static_cast<int>(std::size(kBusUnits)) ? kBusUnits[code] : 0;
}

// A raw code through its table to m_iFSBCode; a raw value the table does
// not list leaves it.
template <size_t N>
void SetFSBCode(CNorthBridge& bridge, uint32_t raw, const int (&codes)[N]) {
    if (raw < N && codes[raw] != -1) bridge.m_iFSBCode = codes[raw];
}

// F2 0x54 bits 7:5, the raw value itself for 0 to 4.
void BusCodeA(CNorthBridge& bridge) {
    static constexpr int kCodes[] = {0, 1, 2, 3, 4};
    SetFSBCode(bridge, Bits(F2(0x54), 7, 5), kCodes);
}

// F2 0x54 bits 7:5 with 166.67 and 200 MHz the other way round.
void BusCodeB(CNorthBridge& bridge) {
    static constexpr int kCodes[] = {0, 1, 3, 2, 4};
    SetFSBCode(bridge, Bits(F2(0x54), 7, 5), kCodes);
}

// Which (bus clock, DRAM code) pairs a decoder's table leaves without an
// entry.
using NoEntry = bool (*)(int busUnits, uint32_t dramCode);
bool EveryPairListed(int, uint32_t) { return false; }
bool NoneAt100(int bus, uint32_t) { return bus == k100; }

// The DRAM clock of a code in units; 0 for a code the table does not list.
template <size_t N>
int UnitsOf(uint32_t code, const int (&units)[N]) {
    return code < N ? units[code] : 0;
}

// The ratio of the bridge's bus clock and the DRAM clock `dram` of `code`;
// an unknown clock or a pair without an entry leaves the ratio and its text.
void Ratio(const CNorthBridge& bridge, uint32_t code, int dram, NoEntry noEntry, CMemoryInfo& memory) {
    const int bus = BusUnits(bridge);
    if (!bus || !dram || noEntry(bus, code)) return;
    decoder_fields::SetReducedRatio(memory, bus, dram);
}

// DRAM codes 0 to 5 (0 to 6 on the VX800) of F3 0x90 bits 2:0.
constexpr int kDRAMUnits90[] = {k100, k133, k166, k200, k266, k333, k400};
constexpr uint32_t kCode333 = 5;
constexpr uint32_t kCode400 = 6;

void RatioOf90(const CNorthBridge& bridge, uint32_t lastCode, NoEntry noEntry, CMemoryInfo& memory) {
    const uint32_t code = Bits(F3(0x90), 2, 0);
    if (code <= lastCode) Ratio(bridge, code, UnitsOf(code, kDRAMUnits90), noEntry, memory);
}

void TypeA(CMemoryInfo& memory) { memory.m_iMemoryType = Bit(F3(0x6C), 6) ? MEMORY_TYPE_DDR2 : MEMORY_TYPE_DDR; }

void Interleave(CMemoryInfo& memory) {
    static constexpr int kWays[] = {0, 2, 4, 8};
    memory.m_iInterleave = kWays[Bits(F3(0x69), 7, 6)];
}

// CAS latency (bits 2:0) and tRAS (bits 7:4 + 5) of F3 0x62; with
// `upTo6` DDR2 codes 4 to 7 give 6.
void TimingA(CMemoryInfo& memory, bool upTo6 = false) {
    static constexpr float kDDR[] = {1.5f, 2.0f, 2.5f, 3.0f};
    static constexpr float kDDR2[] = {2.0f, 3.0f, 4.0f, 5.0f};
    const uint32_t timing = F3(0x62);
    const uint32_t code = Bits(timing, 2, 0);
    if (memory.m_iMemoryType == MEMORY_TYPE_DDR && code < 4) memory.m_fCASLatency = kDDR[code];
    if (memory.m_iMemoryType == MEMORY_TYPE_DDR2) {
        if (code < 4)
            memory.m_fCASLatency = kDDR2[code];
        else if (upTo6)
            memory.m_fCASLatency = 6.0f;
    }
    memory.m_iCycleTime = static_cast<int>(Bits(timing, 7, 4)) + 5;
}

// tRCD bits 7:6 + 2, tRP bits 3:2 + 2 of F3 0x64.
void TimingB2(CMemoryInfo& memory) {
    const uint32_t timing = F3(0x64);
    memory.m_iRASToCASDelay = static_cast<int>(Bits(timing, 7, 6)) + 2;
    memory.m_iRASPrecharge = static_cast<int>(Bits(timing, 3, 2)) + 2;
}

// tRCD bits 7:5, tRP bits 3:1 of F3 0x64, + 2 for values 0 to 4.
void TimingB3(CMemoryInfo& memory) {
    const uint32_t timing = F3(0x64);
    const uint32_t rcd = Bits(timing, 7, 5);
    const uint32_t rp = Bits(timing, 3, 1);
    if (rcd <= 4) memory.m_iRASToCASDelay = static_cast<int>(rcd) + 2;
    if (rp <= 4) memory.m_iRASPrecharge = static_cast<int>(rp) + 2;
}

// Every rank's 1T bit of F3 0x50: all clear 2T, all set 1T, mixed leaves it.
void CommandRate(CMemoryInfo& memory) {
    const uint32_t bits = F3(0x50) & 0x1111;
    if (bits == 0) memory.m_iCommandRate = 2;
    if (bits == 0x1111) memory.m_iCommandRate = 1;
}

// The steps the P4M900, CX700 and VX800 share after their own.
void P4M900Steps(CNorthBridge& bridge, CMemoryInfo& memory, void (*timingB)(CMemoryInfo&), uint32_t lastCode,
                 NoEntry noEntry) {
    TimingA(memory, true);
    timingB(memory);
    CommandRate(memory);
    BusCodeB(bridge);
    RatioOf90(bridge, lastCode, noEntry, memory);
}

bool No333At100(int bus, uint32_t code) { return bus == k100 && code == kCode333; }

// VX900 and VN1000 after their own type step: interleave, tRFC, CAS, tRAS,
// tRCD and tRP from F3 0xC0 to 0xC5, bus code B, and the ratio of the DRAM
// code of F3 0x90 bits 3:0, whose code 0 means one of two clocks by bit 5
// of F3 0x6C.
void VX900Steps(CNorthBridge& bridge, CMemoryInfo& memory, const int (&units)[16], int code0Clear, int code0Set,
                NoEntry noEntry) {
    Interleave(memory);
    memory.m_iRowRefreshCycleTime = static_cast<int>(Bits(F3(0xC5), 5, 0)) + (Bit(F3(0xC4), 7) ? 30 : 10);
    const bool ddr2 = memory.m_iMemoryType == MEMORY_TYPE_DDR2;
    const bool ddr3 = memory.m_iMemoryType == MEMORY_TYPE_DDR3;
    const int add = ddr2 ? 2 : 4;
    if (ddr2 || ddr3) memory.m_fCASLatency = static_cast<float>(static_cast<int>(Bits(F3(0xC0), 2, 0)) + add);
    memory.m_iCycleTime = static_cast<int>(Bits(F3(0xC2), 7, 4)) + (ddr2 ? 5 : 15);
    if (ddr2 || ddr3) {
        const uint32_t timing = F3(0xC1);
        memory.m_iRASToCASDelay = static_cast<int>(Bits(timing, 6, 4)) + add;
        memory.m_iRASPrecharge = static_cast<int>(Bits(timing, 2, 0)) + add;
    }
    BusCodeB(bridge);
    const uint32_t code = Bits(F3(0x90), 3, 0);
    const int dram = code ? units[code] : Bit(F3(0x6C), 5) ? code0Set : code0Clear;
    Ratio(bridge, code, dram, noEntry, memory);
}

// The PT880's own table of ratio texts (bus part, DRAM part) by DRAM code
// and m_iFSBCode (100, 133.33, 200, 166.67, 266.67 MHz); {0, 0} has none.
struct Pair {
    int bus, dram;
};
constexpr Pair kPT880Ratios[15][5] = {
    /* 0 */ {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {2, 1}},
    /* 1 */ {{3, 4}, {4, 5}, {}, {5, 6}, {}},
    /* 2 */ {{}, {}, {6, 5}, {5, 4}, {4, 3}},
    /* 3 */ {}, /* 4 */ {},
    /* 5 */ {{3, 5}, {2, 3}, {}, {}, {}},
    /* 6 */ {{}, {}, {3, 2}, {}, {8, 5}},
    /* 7 */ {}, /* 8 */ {},
    /* 9 */ {{1, 2}, {}, {}, {}, {}},
    /* 10 */ {{}, {}, {}, {}, {2, 1}},
    /* 11 */ {}, /* 12 */ {}, /* 13 */ {},
    /* 14 */ {{}, {}, {}, {}, {8, 3}},
};

void PT880Ratio(const CNorthBridge& bridge, CMemoryInfo& memory) {
    const uint32_t code = Bits(F3(0x68), 3, 0);
    const int fsb = bridge.m_iFSBCode;
    Pair pair{};
    if (code == 0 && (fsb < 0 || fsb >= 5)) pair = {1, 1};
    else if (code < std::size(kPT880Ratios) && fsb >= 0 && fsb < 5) pair = kPT880Ratios[code][fsb];
    if (pair.bus) decoder_fields::SetRatio(memory, pair.bus, pair.dram);
}

} // namespace

void DecodeVIAPT880(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    Interleave(*memory);
    BusCodeA(*bridge);
    PT880Ratio(*bridge, *memory);
    const uint32_t timing = F3(0x56);
    static constexpr float kLatencies[] = {1.5f, 2.0f, 2.5f, 3.0f};
    memory->m_iRASToCASDelay = static_cast<int>(Bits(timing, 3, 2)) + 2;
    memory->m_fCASLatency = kLatencies[Bits(timing, 5, 4)];
    memory->m_iCycleTime = static_cast<int>(Bits(timing, 7, 6)) + 6;
    memory->m_iRASPrecharge = static_cast<int>(Bits(timing, 1, 0)) + 2;
    CommandRate(*memory);
    memory->m_iChannels = Bit(F3(0x6C), 3) ? 2 : 1;
}

bool NoPT880ProEntry(int bus, uint32_t code) { return code == kCode333 && (bus == k100 || bus == k133); }

void DecodeVIAPT880Pro(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    BusCodeA(*bridge);
    const uint32_t control = F3(0x6C);
    memory->m_iMemoryType = Bit(control, 6) ? MEMORY_TYPE_DDR2 : MEMORY_TYPE_DDR;
    memory->m_iChannels = Bit(control, 5) ? 2 : 1;
    Interleave(*memory);
    TimingA(*memory);
    TimingB2(*memory);
    CommandRate(*memory);
    RatioOf90(*bridge, kCode333, NoPT880ProEntry, *memory);
}

void DecodeVIAP4M800(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    memory->m_iChannels = 1;
}

bool NoP4M800ProEntry(int bus, uint32_t code) { return code == kCode333 && (bus == k200 || bus == k266); }

void DecodeVIAP4M800Pro(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iChannels = 1;
    TypeA(*memory);
    Interleave(*memory);
    TimingA(*memory);
    TimingB2(*memory);
    CommandRate(*memory);
    BusCodeB(*bridge);
    RatioOf90(*bridge, kCode333, NoP4M800ProEntry, *memory);
}

void DecodeVIAP4M890(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iChannels = 1;
    BusCodeB(*bridge);
    TypeA(*memory);
    Interleave(*memory);
    TimingA(*memory);
    TimingB2(*memory);
    CommandRate(*memory);
    RatioOf90(*bridge, 4, EveryPairListed, *memory);
}

void DecodeVIAP4M900(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iChannels = 1;
    TypeA(*memory);
    Interleave(*memory);
    P4M900Steps(*bridge, *memory, TimingB3, kCode333, No333At100);
}

void DecodeVIACX700(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    TypeA(*memory);
    Interleave(*memory);
    P4M900Steps(*bridge, *memory, TimingB2, kCode333, No333At100);
}

bool NoVX800Entry(int bus, uint32_t code) { return bus == k100 && (code == kCode333 || code == kCode400); }

void DecodeVIAVX800(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    TypeA(*memory);
    Interleave(*memory);
    memory->m_iRowRefreshCycleTime = static_cast<int>(Bits(F3(0x61), 5, 0)) + 8;
    P4M900Steps(*bridge, *memory, TimingB3, kCode400, NoVX800Entry);
}

void DecodeVIAVX11(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    switch (Bits(F3(0xE1), 7, 6)) {
    case 1: memory->m_iMemoryType = MEMORY_TYPE_DDR2; break;
    case 2: memory->m_iMemoryType = MEMORY_TYPE_DDR3; break;
    default: break;
    }
    if (memory->m_iMemoryType == MEMORY_TYPE_DDR3) {
        const uint32_t timing = F3(0x90);
        memory->m_fCASLatency = static_cast<float>(Bits(timing, 2, 0) + 4);
        memory->m_iRASPrecharge = static_cast<int>(Bits(timing, 10, 8)) + 4;
        memory->m_iRASToCASDelay = static_cast<int>(Bits(timing, 14, 12)) + 4;
        memory->m_iCycleTime = static_cast<int>(Bits(timing, 23, 20)) + 15;
    }
    static constexpr int kCodes[] = {-1, 0, 1, 3, 2, 4, 5, -1};
    SetFSBCode(*bridge, Bits(F2(0x40), 6, 4), kCodes);
    static constexpr int kUnits[16] = {0, 0, 0, 0, k400, k533, 0, 0, 0, k666, 0, 0, 0, k800, 0, 0};
    const uint32_t code = Bits(F3(0xE2), 3, 0);
    Ratio(*bridge, code, kUnits[code], NoneAt100, *memory);
}

bool NoVX900Entry(int bus, uint32_t code) { return bus == k100 && code != 6 && code != 7; }

void DecodeVIAVX900(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    switch (Bits(F3(0x6C), 7, 6)) {
    case 1: memory->m_iMemoryType = MEMORY_TYPE_DDR2; break;
    case 2: memory->m_iMemoryType = MEMORY_TYPE_DDR3; break;
    default: break;
    }
    static constexpr int kUnits[16] = {0, 0, 0, 0, k266, k333, k400, k533, 0, 0, 0, 0, 0, 0, 0, 0};
    VX900Steps(*bridge, *memory, kUnits, k266, k400, NoVX900Entry);
}

void DecodeVIAVN1000(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = Bit(F3(0x6C), 5) ? MEMORY_TYPE_DDR3 : MEMORY_TYPE_DDR2;
    static constexpr int kUnits[16] = {0, 0, 0, 0, 0, k333, k400, k533, k666, k800, 0, 0, 0, 0, 0, 0};
    VX900Steps(*bridge, *memory, kUnits, k333, k400, NoneAt100);
}
