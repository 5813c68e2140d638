// The K8's DRAM controller (function 2 of the node): DDR before revision F,
// DDR2 from revision F on. The DRAM clock is the core clock divided by a
// divisor that the memory-clock code and the current multiplier give.
#include <cmath>

#include "sdk/chipset/amd_northbridges.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_decoding.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/amd_k8.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"

namespace {

constexpr uint32_t kTimingLow = 0x88;
constexpr uint32_t kConfigLow = 0x90;
constexpr uint32_t kConfigHigh = 0x94;
constexpr int kMinimumDivisor = 5;
constexpr int32_t kCommandRateRevision = 10;
constexpr int32_t kOddDivisorRevision = 32;

// The divisor of a code as a fraction of the multiplier: numerator x M /
// denominator.
struct DivisorFraction {
    int numerator;
    int denominator;
};
constexpr DivisorFraction kDDRDivisors[] = {{2, 1},  {8, 5}, {3, 2}, {7, 5}, {4, 3},  {6, 5},
                                            {12, 11}, {1, 1}, {12, 13}, {6, 7}, {4, 5}, {3, 4}};
// Revision F: codes 8 to 12.
constexpr int kFirstDDR2Code = 8;
constexpr DivisorFraction kDDR2Divisors[] = {{1, 1}, {3, 4}, {3, 5}, {3, 6}, {3, 7}};

int Divisor(DivisorFraction fraction, float multiplier) {
    const float value = static_cast<float>(fraction.numerator) * multiplier / static_cast<float>(fraction.denominator);
    const int divisor = static_cast<int>(std::ceil(value));
    return divisor < kMinimumDivisor ? kMinimumDivisor : divisor;
}

// Processor 0's K8 revision code, -1 when it is no K8.
int32_t ProcessorRevision() {
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    CProcessor* processor = cpu ? cpu->GetProcessor(0) : nullptr;
    if (!processor || !processor->HasClassFlags(CPU_CLASS_AMD_K8)) return -1;
    return AMD_K8_Infos::GetRevision(processor->GetExtModel(), processor->GetStepping());
}

// The divisor, the DRAM clock it gives and its "CPU/%d" text.
void SetDivisor(CMemoryInfo& memory, int divisor, float multiplier) {
    if (divisor <= 0) return;
    memory.m_iCPUDivisor = divisor;
    memory.m_fDRAMFrequency = CChipsetInterface::GetBusClock() * multiplier / static_cast<float>(divisor);
    FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "CPU/%d", divisor);
}

constexpr float kDDRCASLatency[] = {1.5f, 2.0f, 3.0f, -1.0f, 5.0f, 2.5f, 3.5f, -1.0f};
constexpr int kIdleTimer[] = {0, 4, 8, 16, 32, 64, 128, 256};
constexpr float kDDR2CASLatency[] = {2.0f, 2.5f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f};

int InRangeOrUnlisted(uint32_t value) { return value >= 2 && value <= 6 ? static_cast<int>(value) : -1; }

} // namespace

int AMDK8ClockDivisor(int memClkCode, float multiplier, bool oddDivisorRounding) {
    if (!(multiplier > 0) || memClkCode < 0 || memClkCode >= static_cast<int>(std::size(kDDRDivisors))) return -1;
    int divisor = Divisor(kDDRDivisors[memClkCode], multiplier);
    if (oddDivisorRounding && (divisor & 1)) ++divisor;
    return divisor;
}

int AMDK8RevFClockDivisor(int memClkCode, float multiplier) {
    const int index = memClkCode - kFirstDDR2Code;
    if (!(multiplier > 0) || index < 0 || index >= static_cast<int>(std::size(kDDR2Divisors))) return -1;
    return Divisor(kDDR2Divisors[index], multiplier);
}

void DecodeAMDK8(CNorthBridge* bridge, CMemoryInfo* memory) {
    const uint32_t timing = bridge->ReadConfig(kTimingLow);
    if (!timing) return;
    const int32_t revision = ProcessorRevision();
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    SetIfListed(memory->m_fCASLatency, CodeValue(kDDRCASLatency, FieldBits(timing, 2, 0)));
    memory->m_iBankCycleTime = static_cast<int>(FieldBits(timing, 7, 4)) + 7;
    SetIfListed(memory->m_iRASToCASDelay, InRangeOrUnlisted(FieldBits(timing, 14, 12)));
    memory->m_iCycleTime = static_cast<int>(FieldBits(timing, 23, 20));
    SetIfListed(memory->m_iRASPrecharge, InRangeOrUnlisted(FieldBits(timing, 26, 24)));
    const uint32_t configLow = bridge->ReadConfig(kConfigLow);
    if (revision >= kCommandRateRevision) memory->m_iCommandRate = BitSet(configLow, 28) ? 2 : 1;
    memory->m_iChannels = BitSet(configLow, 16) ? 2 : 1;
    const uint32_t configHigh = bridge->ReadConfig(kConfigHigh);
    memory->m_iDRAMIdleTimer = kIdleTimer[FieldBits(configHigh, 18, 16)];
    memory->m_iMemClkCode = static_cast<int>(FieldBits(configHigh, 23, 20));
    const bool oddRounding = revision >= kOddDivisorRevision && BitSet(configHigh, 31);
    const float multiplier = CChipsetInterface::GetMultiplier();
    SetDivisor(*memory, AMDK8ClockDivisor(memory->m_iMemClkCode, multiplier, oddRounding), multiplier);
}

void DecodeAMDK8RevF(CNorthBridge* bridge, CMemoryInfo* memory) {
    const uint32_t timing = bridge->ReadConfig(kTimingLow);
    if (!timing) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    memory->m_iChannels = BitSet(bridge->ReadConfig(kConfigLow), 11) ? 2 : 1;
    memory->m_fCASLatency = kDDR2CASLatency[FieldBits(timing, 2, 0)];
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 5, 4)) + 3;
    memory->m_iRASPrecharge = static_cast<int>(FieldBits(timing, 9, 8)) + 3;
    memory->m_iCycleTime = static_cast<int>(FieldBits(timing, 15, 12)) + 3;
    memory->m_iBankCycleTime = static_cast<int>(FieldBits(timing, 19, 16)) + 11;
    const uint32_t configHigh = bridge->ReadConfig(kConfigHigh);
    memory->m_iCommandRate = BitSet(configHigh, 20) ? 2 : 1;
    memory->m_iMemClkCode = static_cast<int>(FieldBits(configHigh, 3, 0));
    const float multiplier = CChipsetInterface::GetMultiplier();
    SetDivisor(*memory, AMDK8RevFClockDivisor(memory->m_iMemClkCode, multiplier), multiplier);
}
