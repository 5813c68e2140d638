// The memory controllers of processors that keep them in PCI functions of
// an uncore bus: Nehalem (the non-core bridges of bus 0xFF or 0xFE, the
// channel control functions in devices 4 to 6), Sandy Bridge-E and Ivy
// Bridge-E (the uncore bus named by the I/O hub, channel functions in
// devices 16 and 30) and Haswell-E (bus 255, DDR4).
#include "sdk/chipset/intel_northbridges.h"

#include <initializer_list>

#include "sdk/chipset/intel_mc_registers.h"
#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"

using intel_mchbar::Bits;
using namespace intel_mc;

namespace {

constexpr uint32_t kUncoreRatioRegister = 0xC0;
constexpr uint32_t kUncoreRatioMSR = 0x621;
// The DRAM ratio of the uncore-bus controllers counts in steps of 0.6667
// of the bus clock (taken in single precision), or of 0.5 where Haswell-E
// runs its other reference.
constexpr double kStep133 = static_cast<double>(0.6667f);

void ReadUncoreRatio(uint32_t bus, CMemoryInfo& memory) {
    uint32_t value = 0;
    if (ReadFunction(bus, 0, 0, kUncoreRatioRegister, value))
        memory.m_fUncoreRatio = static_cast<float>(Bits(value, 6, 0));
}

void ReadUncoreRatioMSR(CMemoryInfo& memory) {
    uint32_t low = 0;
    if (ReadMSRLow(kUncoreRatioMSR, low)) memory.m_fUncoreRatio = static_cast<float>(Bits(low, 6, 0));
}

int CommandRate(uint32_t code) { return code ? static_cast<int>(code) : 1; }

// Neither 0 nor all ones: a populated channel function that exists.
bool Answers(uint32_t value) { return value != 0 && value != 0xFFFFFFFF; }

// The DRAM ratio "1:n", n steps of `step` times the bus clock.
void SetDRAMStepRatio(CMemoryInfo& memory, uint32_t n, double step) {
    SetRatioText(memory, 1, static_cast<int>(n), static_cast<float>(static_cast<double>(n) * step));
}

// ---- Nehalem ----

// The CL of the timing register's field at DRAM ratio r (in 66.67 MHz
// steps); 0 for ratios that field is not defined at.
int NehalemCLOffset(uint32_t r) {
    switch (r) {
    case 6: return 5;
    case 8: return 6;
    case 10: return 7;
    case 12: return 8;
    default: return 0;
    }
}

// ---- Sandy Bridge-E, Ivy Bridge-E ----

struct ChannelFunction {
    uint32_t device = 0;
    uint32_t function = 0;
    bool found = false;
};

// Counts the channel functions of these devices that answer at register
// 0x400 (functions 1, 0, 5, 4 of each); the last one answering is where
// the timings are read.
ChannelFunction CountChannelFunctions(uint32_t bus, std::initializer_list<uint32_t> devices, CMemoryInfo& memory) {
    ChannelFunction timing;
    for (uint32_t device : devices)
        for (uint32_t function : {1u, 0u, 5u, 4u})
            if (Answers(FunctionValue(bus, device, function, 0x400))) {
                ++memory.m_iChannels;
                timing = {device, function, true};
            }
    return timing;
}

void DecodeUncoreBusE(CMemoryInfo& memory, std::initializer_list<uint32_t> channelDevices) {
    memory.m_iMemoryType = MEMORY_TYPE_DDR3;
    memory.m_iChannels = 0;
    const uint32_t u = Bits(FunctionValue(0, 5, 0, 0x108), 15, 8);
    const ChannelFunction t = CountChannelFunctions(u, channelDevices, memory);
    uint32_t value = 0;
    if (t.found && ReadFunction(u, t.device, t.function, 0x200, value) && Bits(value, 13, 9) != 31) {
        memory.m_fCASLatency = static_cast<float>(Bits(value, 13, 9));
        memory.m_iRASToCASDelay = static_cast<int>(Bits(value, 4, 0));
        memory.m_iRASPrecharge = static_cast<int>(Bits(value, 8, 5));
        memory.m_iCycleTime = static_cast<int>(Bits(value, 24, 19));
        if (ReadFunction(u, t.device, t.function, 0x204, value)) memory.m_iCommandRate = CommandRate(Bits(value, 31, 30));
        if (ReadFunction(u, t.device, t.function, 0x214, value))
            memory.m_iRowRefreshCycleTime = static_cast<int>(Bits(value, 24, 15));
    }
    if (ReadFunction(u, 10, 1, 0x98, value)) SetDRAMStepRatio(memory, Bits(value, 5, 0), kStep133);
}

// ---- Haswell-E ----

constexpr uint32_t kHaswellEBus = 255;

struct TimingFunction {
    uint32_t device, function;
};

} // namespace

void DecodeIntelNehalemUncore(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) ReadUncoreRatio(BridgeBus(*bridge), *memory);
}

void DecodeIntelNehalem(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    const uint32_t b = BridgeBus(*bridge);
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    uint32_t value = 0;
    uint32_t r = 0;
    if (ReadFunction(b, 3, 4, 0x50, value)) {
        r = Bits(value, 4, 0);
        SetRatioText(*memory, 2, static_cast<int>(r), static_cast<float>(r) * 0.5f);
    }
    // The first channel whose control function exists and is set up.
    uint32_t d = 0;
    for (uint32_t device : {4u, 5u, 6u})
        if (Answers(FunctionValue(b, device, 0, 0x80))) {
            d = device;
            break;
        }
    if (d != 0) {
        if (ReadFunction(b, d, 0, 0x70, value) && value != 0) {
            memory->m_fCASLatency = static_cast<float>(Bits(value, 7, 4)) + 4.0f;
        } else if (ReadFunction(b, d, 0, 0x9C, value)) {
            if (const int offset = NehalemCLOffset(r))
                memory->m_fCASLatency = static_cast<float>(static_cast<int>(Bits(value, 11, 8)) + offset);
        }
        if (ReadFunction(b, d, 0, 0x88, value)) {
            memory->m_iRASPrecharge = static_cast<int>(Bits(value, 3, 0));
            memory->m_iCycleTime = static_cast<int>(Bits(value, 8, 4));
            memory->m_iRASToCASDelay = static_cast<int>(Bits(value, 12, 9));
        }
        if (ReadFunction(b, d, 0, 0x8C, value)) memory->m_iRowRefreshCycleTime = static_cast<int>(Bits(value, 8, 0));
        if (ReadFunction(b, d, 0, 0xB8, value)) memory->m_iCommandRate = (value & (1u << 3)) ? 2 : 1;
    }
    ReadUncoreRatio(b, *memory);
    if (ReadFunction(b, 3, 0, 0x48, value)) {
        const int channels = static_cast<int>(Bits(value, 8, 8) + Bits(value, 9, 9) + Bits(value, 10, 10));
        if (channels > 0) memory->m_iChannels = channels;
    }
}

void DecodeIntelSandyBridgeE(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) DecodeUncoreBusE(*memory, {16});
}

void DecodeIntelIvyBridgeE(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    DecodeUncoreBusE(*memory, {16, 30});
    ReadUncoreRatioMSR(*memory);
}

void DecodeIntelHaswellE(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    constexpr uint32_t b = kHaswellEBus;
    memory->m_iMemoryType = MEMORY_TYPE_DDR4;
    memory->m_iChannels = 0;
    // Every populated DIMM slot of every channel counts.
    for (uint32_t device : {19u, 22u})
        for (uint32_t function = 2; function <= 5; ++function)
            for (uint32_t reg : {0x80u, 0x84u, 0x88u}) {
                const uint32_t value = FunctionValue(b, device, function, reg);
                if (Answers(value) && (value & (1u << 14))) ++memory->m_iChannels;
            }
    static constexpr struct {
        TimingFunction probe, timing;
    } kTimingChoices[] = {{{20, 2}, {20, 0}}, {{20, 3}, {20, 1}}, {{21, 2}, {21, 0}}, {{21, 3}, {21, 1}}};
    // The last channel whose probe function exists and is set up gives the
    // timings; a function that does not exist reads all ones.
    TimingFunction t{20, 0};
    uint32_t value = 0;
    for (const auto& choice : kTimingChoices)
        if (ReadFunction(b, choice.probe.device, choice.probe.function, 0x8C, value) && Answers(value))
            t = choice.timing;
    if (ReadFunction(b, t.device, t.function, 0x200, value)) {
        memory->m_fCASLatency = static_cast<float>(Bits(value, 13, 9));
        memory->m_iRASToCASDelay = static_cast<int>(Bits(value, 4, 0));
        memory->m_iRASPrecharge = static_cast<int>(Bits(value, 31, 27));
        memory->m_iCycleTime = static_cast<int>(Bits(value, 24, 19));
        if (ReadFunction(b, t.device, t.function, 0x204, value)) memory->m_iCommandRate = CommandRate(Bits(value, 31, 30));
        if (ReadFunction(b, t.device, t.function, 0x208, value)) memory->m_iTCCD = static_cast<int>(Bits(value, 29, 27)) + 4;
        if (ReadFunction(b, t.device, t.function, 0x214, value))
            memory->m_iRowRefreshCycleTime = static_cast<int>(Bits(value, 24, 15));
        if (ReadFunction(b, t.device, t.function, 0x290, value))
            memory->m_iTCCD_WR = static_cast<int>(Bits(value, 29, 27)) + 4;
        if (ReadFunction(b, t.device, t.function, 0x2A0, value)) {
            memory->m_iTCCD_L = static_cast<int>(Bits(value, 18, 16)) + 4;
            memory->m_iTCCD_WR_L = static_cast<int>(Bits(value, 26, 24)) + 4;
        }
    }
    if (ReadFunction(b, 30, 1, 0x98, value)) {
        const uint32_t n = Bits(value, 5, 0);
        const uint32_t reference = Bits(value, 11, 8);
        if (reference <= 1) {
            SetDRAMStepRatio(*memory, n, reference == 0 ? kStep133 : 0.5);
        } else {
            FormatString(memory->m_szRatio, sizeof memory->m_szRatio, "1:%d", static_cast<int>(n));
        }
    }
    ReadUncoreRatioMSR(*memory);
}
