// VIA memory controllers of the Apollo VP3 to the KT600 and PT800, read
// from the host bridge's own configuration space: the bank pairs' memory
// types in register 0x60, the timings in 0x64 (or the register of the
// first bank pair of the chosen type), and the DRAM clock as the bus clock
// or an offset from it.
#include <cstdint>

#include "sdk/chipset/decoder_fields.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/via_northbridges.h"
#include "sdk/core/helpers.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/core/device.h"
#include "sdk/core/list.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

using decoder_fields::Bit;
using decoder_fields::Bits;

namespace {

constexpr int kUnknown = MEMORY_TYPE_UNKNOWN;
constexpr unsigned kBankPairs = 4;
constexpr uint32_t kBankTypes = 0x60;
constexpr uint32_t kTimings = 0x64;
constexpr uint32_t kDRAMClock = 0x69;

// The memory type of each 2-bit bank-pair code.
using BankTypes = int[4];

uint8_t Byte(CNorthBridge& bridge, uint32_t reg) { return static_cast<uint8_t>(bridge.ReadConfig(reg)); }

// The type of the first of `pairs` bank pairs whose type is not `skip`;
// `skip` itself when every pair has it. Also the index of that pair (0
// when none), whose timing register the decoder reads.
struct ChosenType {
    int type;
    unsigned pair;
};
ChosenType FirstTypeOtherThan(uint8_t codes, const BankTypes& types, int skip, unsigned pairs) {
    for (unsigned pair = 0; pair < pairs; ++pair) {
        const int type = types[Bits(codes, 2 * pair + 1, 2 * pair)];
        if (type != skip) return {type, pair};
    }
    return {skip, 0};
}

// DDR when any bank pair holds DDR, else SDRAM.
int DDROrSDRAM(uint8_t codes, const BankTypes& types) {
    for (unsigned pair = 0; pair < kBankPairs; ++pair)
        if (types[Bits(codes, 2 * pair + 1, 2 * pair)] == MEMORY_TYPE_DDR) return MEMORY_TYPE_DDR;
    return MEMORY_TYPE_SDRAM;
}

void Interleave(uint8_t timing, CMemoryInfo& memory) {
    static constexpr int kWays[] = {0, 2, 4, -1};
    const int ways = kWays[Bits(timing, 1, 0)];
    if (ways != -1) memory.m_iInterleave = ways;
}

// A CAS latency table of the four codes of bits 5:4; 0 leaves the field.
using Latencies = float[4];
constexpr Latencies kSDRAMLatencies = {1.0f, 2.0f, 3.0f, 0.0f};
constexpr Latencies kDDR266Latencies = {0.0f, 2.0f, 2.5f, 3.0f};
constexpr Latencies kDDRLatencies = {1.5f, 2.0f, 2.5f, 3.0f};

void CASLatency(uint8_t timing, const Latencies& latencies, CMemoryInfo& memory) {
    const float latency = latencies[Bits(timing, 5, 4)];
    if (latency > 0.0f) memory.m_fCASLatency = latency;
}

// The single-bit fields of the SDRAM-era timing register: tRAS bit 6 (5 or
// 6), tRCD bit 2 (2 or 3), tRP bit 7 (2 or 3); the CAS latency from its table.
void SingleBitTimings(uint8_t timing, const Latencies& latencies, CMemoryInfo& memory) {
    memory.m_iCycleTime = Bit(timing, 6) ? 6 : 5;
    CASLatency(timing, latencies, memory);
    memory.m_iRASToCASDelay = Bit(timing, 2) ? 3 : 2;
    memory.m_iRASPrecharge = Bit(timing, 7) ? 3 : 2;
}

enum class Clock { OneToOne, Plus33, Minus33, Plus66, Minus66, Nothing };

void SetClock(Clock clock, CMemoryInfo& memory) {
    struct Offset {
        const char* text;
        float megahertz;
    };
    static constexpr Offset kOffsets[] = {
        {"FSB + 33 MHz", 33.34f}, {"FSB - 33 MHz", -33.34f}, {"FSB + 66 MHz", 66.67f}, {"FSB - 66 MHz", -66.67f}};
    if (clock == Clock::Nothing) return;
    if (clock == Clock::OneToOne) {
        FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "%s", "1:1");
        memory.m_fFSBDRAMRatio = 1.0f;
        return;
    }
    const Offset& offset = kOffsets[static_cast<int>(clock) - static_cast<int>(Clock::Plus33)];
    FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "%s", offset.text);
    memory.m_fDRAMOffset = offset.megahertz;
}

uint32_t ClockCode(CNorthBridge& bridge) { return Bits(Byte(bridge, kDRAMClock), 7, 6); }

// Clock codes 0 to 3 of register 0x69: the bus clock, 33 MHz above or
// below it, or nothing.
void ClockByOffset(CNorthBridge& bridge, CMemoryInfo& memory) {
    static constexpr Clock kClocks[] = {Clock::OneToOne, Clock::Plus33, Clock::Minus33, Clock::Nothing};
    SetClock(kClocks[ClockCode(bridge)], memory);
}

// The SDRAM-era controllers that choose the type by bank pair: the
// timings of the first pair of the chosen type, for SDRAM only.
void SDRAMTimingsOfPair(CNorthBridge& bridge, const ChosenType& chosen, bool interleave, CMemoryInfo& memory) {
    memory.m_iMemoryType = chosen.type;
    if (chosen.type != MEMORY_TYPE_SDRAM) return;
    const uint8_t timing = Byte(bridge, kTimings + chosen.pair);
    if (interleave) Interleave(timing, memory);
    SingleBitTimings(timing, kSDRAMLatencies, memory);
}

// The DDR-era timing register: interleave, tRCD bits 3:2 + 2, CAS latency
// 1.5 to 3.0.
uint8_t DDRTimings(CNorthBridge& bridge, CMemoryInfo& memory) {
    const uint8_t timing = Byte(bridge, kTimings);
    Interleave(timing, memory);
    memory.m_iRASToCASDelay = static_cast<int>(Bits(timing, 3, 2)) + 2;
    CASLatency(timing, kDDRLatencies, memory);
    return timing;
}

// The Pro 266 and KT266 families: DDR when any bank pair holds it, and
// the single-bit timings of register 0x64 with the CAS latencies of that type.
void DDRSDRAMTimings(CNorthBridge& bridge, const BankTypes& types, CMemoryInfo& memory) {
    memory.m_iMemoryType = DDROrSDRAM(Byte(bridge, kBankTypes), types);
    const uint8_t timing = Byte(bridge, kTimings);
    Interleave(timing, memory);
    SingleBitTimings(timing, memory.m_iMemoryType == MEMORY_TYPE_DDR ? kDDR266Latencies : kSDRAMLatencies, memory);
}

// KN133 or KM133 by the S3 graphics beside a KL133/KM133/KN133 bridge.
void NameKT133ByGraphics(CNorthBridge& bridge) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    CTList<CDevice> adapters;
    pci->FindDevicesByClass(0x03, 0x00, &adapters);
    CTListIterator<CDevice> it(&adapters);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        if (!(device->m_dwKind & DEVICE_PCI)) continue;
        const auto* adapter = static_cast<CPCIDevice*>(device);
        if (adapter->GetVendorID() != 0x5333) continue;
        if (adapter->GetDeviceID() == 0x8A25) FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", "KM133");
        if (adapter->GetDeviceID() == 0x8D02) FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", "KN133");
    }
}

} // namespace

void DecodeVIAApolloVP3(CNorthBridge* bridge, CMemoryInfo* memory, CCacheDescriptor* cache) {
    if (!bridge || !memory) return;
    SetClock(Clock::OneToOne, *memory);
    const uint8_t cacheControl = Byte(*bridge, 0x51);
    if (cache && Bits(cacheControl, 7, 6) != 0) cache->m_iSize = 256 << Bits(cacheControl, 1, 0);
    static constexpr BankTypes kTypes = {MEMORY_TYPE_FPG, MEMORY_TYPE_EDO, MEMORY_TYPE_DDR, MEMORY_TYPE_SDRAM};
    const ChosenType chosen = FirstTypeOtherThan(Byte(*bridge, kBankTypes), kTypes, MEMORY_TYPE_FPG, 3);
    SDRAMTimingsOfPair(*bridge, chosen, false, *memory);
}

void DecodeVIAApolloPro(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    static constexpr BankTypes kTypes = {MEMORY_TYPE_FPG, MEMORY_TYPE_EDO, MEMORY_TYPE_DDR, MEMORY_TYPE_SDRAM};
    const ChosenType chosen = FirstTypeOtherThan(Byte(*bridge, kBankTypes), kTypes, MEMORY_TYPE_FPG, kBankPairs);
    SDRAMTimingsOfPair(*bridge, chosen, true, *memory);
    ClockByOffset(*bridge, *memory);
}

void DecodeVIAApolloPro266(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    static constexpr BankTypes kTypes = {MEMORY_TYPE_SDRAM, MEMORY_TYPE_SDRAM, MEMORY_TYPE_DDR, kUnknown};
    DDRSDRAMTimings(*bridge, kTypes, *memory);
    ClockByOffset(*bridge, *memory);
}

void DecodeVIAKT266(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    static constexpr BankTypes kTypes = {MEMORY_TYPE_SDRAM, kUnknown, MEMORY_TYPE_DDR, kUnknown};
    DDRSDRAMTimings(*bridge, kTypes, *memory);
    const uint8_t clock = Byte(*bridge, kDRAMClock);
    SetClock(Bit(clock, 7) ? Clock::Minus33 : Bit(clock, 6) ? Clock::Plus33 : Clock::OneToOne, *memory);
}

// The offsets of codes 2 and 3 depend on the bus clock (bits 7:6 of
// register 0x54: 100, 133 or 166 MHz).
void DecodeVIAKT400(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    const uint8_t timing = DDRTimings(*bridge, *memory);
    memory->m_iCycleTime = Bit(timing, 6) ? 7 : 6;
    memory->m_iRASPrecharge = Bit(timing, 7) ? 3 : 2;
    const bool bus166 = Bits(Byte(*bridge, 0x54), 7, 6) >= 2;
    static constexpr Clock kAt166[] = {Clock::OneToOne, Clock::Plus33, Clock::Plus33, Clock::Minus33};
    static constexpr Clock kBelow166[] = {Clock::OneToOne, Clock::Plus33, Clock::Plus66, Clock::Plus66};
    SetClock((bus166 ? kAt166 : kBelow166)[ClockCode(*bridge)], *memory);
}

// Bit 7 of register 0x67 selects the clocks below the bus clock.
void DecodeVIAKT400A(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    memory->m_iRASPrecharge = static_cast<int>(Bits(Byte(*bridge, kBankTypes), 7, 6)) + 2;
    const uint8_t timing = DDRTimings(*bridge, *memory);
    memory->m_iCycleTime = static_cast<int>(Bits(timing, 7, 6)) + 6;
    static constexpr Clock kAbove[] = {Clock::OneToOne, Clock::Plus33, Clock::Nothing, Clock::Plus66};
    static constexpr Clock kBelow[] = {Clock::Minus33, Clock::Nothing, Clock::Minus66, Clock::Nothing};
    SetClock((Bit(Byte(*bridge, 0x67), 7) ? kBelow : kAbove)[ClockCode(*bridge)], *memory);
}

void DecodeVIAPT800(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    const uint8_t timing = Byte(*bridge, kTimings);
    Interleave(timing, *memory);
    SingleBitTimings(timing, kDDRLatencies, *memory);
    const uint8_t clock = Byte(*bridge, kDRAMClock);
    SetClock(!Bit(clock, 6) ? Clock::OneToOne : Bit(clock, 7) ? Clock::Plus66 : Clock::Plus33, *memory);
}

// The type of the first bank pair whose code is not 0, which may be
// unknown (code 2).
void DecodeVIAKT133(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    if (bridge->GetDeviceID() == 0x0305) NameKT133ByGraphics(*bridge);
    static constexpr BankTypes kTypes = {MEMORY_TYPE_FPG, MEMORY_TYPE_EDO, kUnknown, MEMORY_TYPE_SDRAM};
    const uint8_t codes = Byte(*bridge, kBankTypes);
    ChosenType chosen{MEMORY_TYPE_FPG, 0};
    for (unsigned pair = 0; pair < kBankPairs; ++pair) {
        const uint32_t code = Bits(codes, 2 * pair + 1, 2 * pair);
        if (code == 0) continue;
        chosen = {kTypes[code], pair};
        break;
    }
    SDRAMTimingsOfPair(*bridge, chosen, true, *memory);
    ClockByOffset(*bridge, *memory);
}
