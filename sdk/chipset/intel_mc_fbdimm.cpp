// The FB-DIMM server chipsets: 5000 series, 5100, 5400 and 7300. The
// controller (bus 0, device 16) gives the FSB:DRAM ratio and the channel
// geometry; the DRAM timings sit in the advanced memory buffer of each
// FB-DIMM, reached through the memory window AMBASE names, in which the
// buffer of DIMM j of channel i starts at i x 0x8000 + j x 0x800.
#include "sdk/chipset/intel_northbridges.h"

#include <algorithm>

#include "sdk/chipset/intel_mc_registers.h"
#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"

using namespace intel_mchbar;
using intel_mc::FunctionValue;

namespace {

constexpr uint32_t kController = 16;
constexpr uint32_t kRatioRegister = 0x56;      // function 1
constexpr uint32_t kGeometryRegister = 0x56;   // function 0: channels, DIMMs per channel
constexpr uint32_t kWindowInUse = 0x50;        // function 0: 0 when no buffer is mapped
constexpr uint32_t kWindowBaseLow = 0x48;      // function 0 (AMBASE)
constexpr uint32_t kWindowBaseHigh = 0x4C;
constexpr uint32_t kWindowBaseLowMask = ~0x1FFFFu;
constexpr uint32_t kWindowSize = 0xFFFFFFFF;
constexpr uint32_t kChannelStride = 0x8000;
constexpr uint32_t kDimmStride = 0x800;
// The controllers have at most four channels, and a channel's buffers
// end where the next channel's begin; geometry fields beyond that (an
// absent function reads all ones) are not walked.
constexpr uint32_t kMaxChannels = 4;
constexpr uint32_t kMaxDimmsPerChannel = kChannelStride / kDimmStride;
constexpr uint32_t kBufferTimings = 0x378;
constexpr uint32_t kBufferCL = 0x37C;

// The shared window of the buffers: the root's space at that base, or a
// new one added to the root's list.
CIOSpace* BufferWindow(uint32_t high, uint32_t low) {
    BRENIKSDK* sdk = GetSDK();
    if (CIOSpace* found = sdk->FindIOSpace(high, low, IOSPACE_MEMORY)) return found;
    if (!sdk->m_pIOSpaces) return nullptr;
    auto* window = new CMemoryIOSpace(high, low, kWindowSize);
    sdk->m_pIOSpaces->AddTail(window);
    return window;
}

// The first buffer that answers: its offset in the window.
bool FirstBuffer(CIOSpace& window, uint32_t channels, uint32_t dimms, uint32_t& offset) {
    for (uint32_t i = 0; i < std::min(channels, kMaxChannels); ++i)
        for (uint32_t j = 0; j < std::min(dimms, kMaxDimmsPerChannel); ++j) {
            uint32_t value = 0xFFFFFFFF;
            const uint32_t at = i * kChannelStride + j * kDimmStride;
            if (window.ReadDword(at, &value) && value != 0xFFFFFFFF) {
                offset = at;
                return true;
            }
        }
    return false;
}

void ReadBufferTimings(CIOSpace& window, uint32_t o, CMemoryInfo& memory) {
    uint32_t value = 0;
    if (window.ReadDword(o + kBufferTimings, &value)) {
        memory.m_iRASToCASDelay = 6 - static_cast<int>(Bits(value, 11, 10));
        memory.m_iRASPrecharge = 6 - static_cast<int>(Bits(value, 9, 8));
        static constexpr int kRAS[] = {18, 15, 12};
        SetIfListed(memory.m_iCycleTime, CodeValue(kRAS, Bits(value, 30, 29)));
        memory.m_iBankCycleTime = 26 - static_cast<int>(Bits(value, 15, 12));
    }
    if (window.ReadDword(o + kBufferCL, &value)) memory.m_fCASLatency = static_cast<float>(Bits(value, 3, 0));
}

// The geometry and the buffers' timings, shared by the 5000 and the 5400.
void DecodeBuffers(CMemoryInfo& memory) {
    const uint32_t geometry = FunctionValue(0, kController, 0, kGeometryRegister);
    const uint32_t channels = Bits(geometry, 7, 0);
    const uint32_t dimms = Bits(geometry, 15, 8);
    if (FunctionValue(0, kController, 0, kWindowInUse) == 0) return;
    const uint32_t low = FunctionValue(0, kController, 0, kWindowBaseLow) & kWindowBaseLowMask;
    const uint32_t high = Bits(FunctionValue(0, kController, 0, kWindowBaseHigh), 7, 0);
    if (low == 0 && high == 0) return;
    CIOSpace* window = BufferWindow(high, low);
    uint32_t offset = 0;
    if (window && FirstBuffer(*window, channels, dimms, offset)) ReadBufferTimings(*window, offset, memory);
}

} // namespace

void DecodeIntel5100(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) memory->m_iMemoryType = MEMORY_TYPE_FB_DDR2;
}

void DecodeIntel5000(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_FB_DDR2;
    static constexpr Ratio kRatios[] = {{1, 1}, {}, {4, 5}, {5, 4}};
    SetRatio(*memory, kRatios[Bits(FunctionValue(0, kController, 1, kRatioRegister), 1, 0)]);
    DecodeBuffers(*memory);
}

void DecodeIntel5400(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    const uint16_t device = bridge->GetDeviceID();
    if (device == 0x4001) FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", "5400A");
    if (device == 0x4003) FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", "5400B");
    memory->m_iMemoryType = MEMORY_TYPE_FB_DDR2;
    static constexpr Ratio kRatios[] = {{1, 1}, {1, 1}, {4, 5}, {5, 4}, {1, 1}, {}, {}, {5, 4}};
    SetRatio(*memory, kRatios[Bits(FunctionValue(0, kController, 1, kRatioRegister), 2, 0)]);
    DecodeBuffers(*memory);
}
