// The memory controllers inside the processor, through the window at the
// host bridge's register 0x48: Havendale/Clarkdale, Sandy Bridge, Ivy
// Bridge and Haswell to Skylake-U. The Clarkdale window is switched on for
// the pass when the firmware left it off; from Sandy Bridge on the window
// is read as configured.
#include "sdk/chipset/intel_northbridges.h"

#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

using namespace intel_mchbar;

namespace {

constexpr uint32_t kClarkdaleWindowSize = 4096;
constexpr uint32_t kCoreWindowSize = 0x4C00;

// ---- Clarkdale ----
struct ClarkdaleTiming {
    uint32_t cl, clFallback;
    SharedTimingRegisters shared;
};
constexpr ClarkdaleTiming kClarkdaleA{0x240, 0x265, {0x25D, 0x252, 0x258, 0x220}};
constexpr ClarkdaleTiming kClarkdaleB{0x640, 0x665, {0x65D, 0x652, 0x658, 0x620}};
constexpr uint32_t kClarkdaleRanksA = 0x260, kClarkdaleRanksB = 0x660;
constexpr uint32_t kClarkdaleChannelModeByte = 0x111;
constexpr uint32_t kClarkdaleRatio = 0x2C20;

// ---- Sandy Bridge and later ----
constexpr uint32_t kChannelSizeA = 0x5004, kChannelSizeB = 0x5008;
constexpr uint32_t kChannelStride = 0x400;
constexpr uint32_t kSandyTiming = 0x4000, kSandyCommandRate = 0x4004;
constexpr uint32_t kHaswellTiming = 0x4000, kHaswellCL = 0x4014, kHaswellRefresh = 0x4298;
constexpr uint32_t kRatioLow = 0x5E00, kRatio = 0x5E04;
constexpr uint32_t kUncoreRatioMSR = 0x621;
// The DRAM ratio counts in steps of 133.33 MHz unless the controller runs
// its 100 MHz reference (Ivy Bridge bit 8 of 0x5E04, Haswell bit 4 of 0x5E00).
constexpr double kStep133 = static_cast<double>(1.3334f);

void SetCoreRatio(CMemoryInfo& memory, uint32_t n, bool reference100) {
    memory.m_fFSBDRAMRatio = static_cast<float>(static_cast<double>(n) * (reference100 ? 1.0 : kStep133));
    FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "1:%d", static_cast<int>(n));
}

int CommandRate(uint32_t code) { return code ? static_cast<int>(code) : 1; }

// Channel population from the channel size fields: the channel whose
// timings to read (0 for A when populated, else 1 for B) and the count.
uint32_t ChooseChannel(bool a, bool b, CMemoryInfo& memory) {
    memory.m_iChannels = a && b ? 2 : 1;
    return a ? 0 : 1;
}

// Sandy Bridge and Ivy Bridge; the ratio step differs.
void DecodeSandyBridgeWindow(CNorthBridge& bridge, CMemoryInfo& memory, bool ivyBridge) {
    memory.m_iMemoryType = MEMORY_TYPE_DDR3;
    WindowReader window(AttachWindowAt48(bridge, nullptr, kCoreWindowSize));
    if (!bridge.m_pMCHBAR) return;
    const bool a = (window.Dword(kChannelSizeA) & 0xFFFF) != 0;
    const bool b = (window.Dword(kChannelSizeB) & 0xFFFF) != 0;
    const uint32_t k = ChooseChannel(a, b, memory);
    uint32_t value = 0;
    if (window.TryDword(kSandyTiming + k * kChannelStride, value)) {
        memory.m_fCASLatency = static_cast<float>(Bits(value, 11, 8));
        memory.m_iRASToCASDelay = static_cast<int>(Bits(value, 3, 0));
        memory.m_iRASPrecharge = static_cast<int>(Bits(value, 7, 4));
        memory.m_iCycleTime = static_cast<int>(Bits(value, 23, 16));
    }
    if (window.TryDword(kSandyCommandRate + k * kChannelStride, value))
        memory.m_iCommandRate = CommandRate(Bits(value, 31, 30));
    if (window.TryDword(kRatio, value)) SetCoreRatio(memory, Bits(value, 4, 0), ivyBridge && (value & (1u << 8)));
}

} // namespace

void DecodeIntelClarkdale(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    EnableBitSwitch enable(*bridge, {bridge, 0, 0, kWindowRegister48}, kWindowEnable48);
    CIOSpace* mchbar = AttachWindowAt48(*bridge, &enable, kClarkdaleWindowSize);
    if (!mchbar) return;
    WindowReader window(mchbar);
    const bool a = Bits(window.Dword(kClarkdaleRanksA), 23, 20) != 0;
    const bool b = Bits(window.Dword(kClarkdaleRanksB), 23, 20) != 0;
    const ClarkdaleTiming& t = ChooseChannel(a, b, *memory) == 0 ? kClarkdaleA : kClarkdaleB;
    memory->m_iChannelMode = (window.Byte(kClarkdaleChannelModeByte) & (1u << 1)) ? MEMORY_CHANNELS_ASYMMETRIC
                                                                                  : MEMORY_CHANNELS_SYMMETRIC;
    const uint32_t cl = Bits(window.Dword(t.cl), 3, 0);
    memory->m_fCASLatency = cl ? static_cast<float>(cl) + 3.0f
                               : static_cast<float>(Bits(window.Dword(t.clFallback), 13, 8)) - 5.0f;
    ReadSharedTimings(window, t.shared, *memory);
    uint32_t ratio = 0;
    if (window.TryDword(kClarkdaleRatio, ratio)) {
        const uint32_t n = Bits(ratio, 4, 0);
        memory->m_fFSBDRAMRatio = static_cast<float>(n) * 0.25f;
        FormatString(memory->m_szRatio, sizeof memory->m_szRatio, "4:%d", static_cast<int>(n));
    }
}

void DecodeIntelSandyBridge(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) DecodeSandyBridgeWindow(*bridge, *memory, false);
}

void DecodeIntelIvyBridge(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) DecodeSandyBridgeWindow(*bridge, *memory, true);
}

void DecodeIntelHaswell(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    WindowReader window(AttachWindowAt48(*bridge, nullptr, kCoreWindowSize));
    if (bridge->m_pMCHBAR) {
        uint32_t low = 0, high = 0;
        const bool sizes = window.TryQword(kChannelSizeA, low, high);
        const uint32_t k = ChooseChannel(sizes && (low & 0xFFFF), sizes && (high & 0xFFFF), *memory);
        if (window.TryQword(kHaswellTiming + k * kChannelStride, low, high)) {
            memory->m_iRASToCASDelay = static_cast<int>(Bits(low, 4, 0));
            memory->m_iRASPrecharge = static_cast<int>(Bits(low, 9, 5));
            memory->m_iCycleTime = static_cast<int>(Bits(low, 15, 10));
            memory->m_iCommandRate = CommandRate(Bits(high, 31, 30));
        }
        uint32_t value = 0;
        if (window.TryDword(kHaswellCL + k * kChannelStride, value))
            memory->m_fCASLatency = static_cast<float>(Bits(value, 4, 0));
        if (window.TryDword(kHaswellRefresh + k * kChannelStride, value))
            memory->m_iRowRefreshCycleTime = static_cast<int>(Bits(value, 24, 16));
        if (window.TryQword(kRatioLow, low, high)) SetCoreRatio(*memory, Bits(high, 4, 0), low & (1u << 4));
    }
    CKMDriver* driver = GetSDK()->m_pDriver;
    uint32_t high = 0, low = 0;
    if (driver && driver->ReadMSR(kUncoreRatioMSR, &high, &low))
        memory->m_fUncoreRatio = static_cast<float>(Bits(low, 6, 0));
}
