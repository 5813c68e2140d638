// The DRAM controllers of the K15 (two controllers behind the controller
// select of F1x10C, DDR3 or, on the 0x1572 node, DDR4) and the K16 (one
// DDR3 controller). Their timings sit in F2x200/F2x204 of the selected
// controller.
#include "sdk/chipset/amd_node_window.h"
#include "sdk/chipset/amd_northbridges.h"
#include "sdk/chipset/memory_decoding.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"

namespace {

constexpr uint32_t kAddressMapFunction = 1;
constexpr uint32_t kDramFunction = 2;
constexpr uint32_t kExtendedControlFunction = 5;
constexpr uint32_t kControllerSelect = 0x10C;  // of function 1: bits 2:0
constexpr uint32_t kConfigHigh = 0x94;
constexpr uint32_t kTiming0 = 0x200;
constexpr uint32_t kTiming1 = 0x204;
constexpr uint32_t kDramType = 0x78;  // of function 2 on the 0x1572 node
constexpr uint32_t kNbClock = 0x174;  // of function 5: NbFid bits 8:3, NbDid bit 9
constexpr unsigned kInterfaceDisabledBit = 14;
constexpr uint16_t kOrochi = 0x141C;  // controllers 0 and 3
constexpr uint16_t kCarrizo = 0x1572;
constexpr uint16_t kKaveri = 0x1602;

constexpr RatioCode kK15Ratios[] = {{4, 3, 10},  {6, 1, 4},   {10, 3, 16}, {14, 3, 20}, {18, 1, 8},
                                    {22, 3, 28}, {25, 2, 21}, {26, 3, 32}, {31, 1, 12}};
constexpr RatioCode kKaveriRatios[] = {{4, 3, 5},  {6, 1, 2},   {10, 3, 8},  {14, 3, 10},
                                       {18, 1, 4}, {22, 3, 14}, {26, 3, 16}, {31, 1, 6}};

struct Controller {
    bool active = false;
    uint32_t configHigh = 0;
    uint32_t timing0 = 0;
    uint32_t timing1 = 0;
};

Controller ReadSelectedController(AMDNodeWindow& window, uint32_t configHigh) {
    Controller controller;
    controller.active = !BitSet(configHigh, kInterfaceDisabledBit);
    if (!controller.active) return controller;
    controller.configHigh = configHigh;
    controller.timing0 = window.Read(kDramFunction, kTiming0);
    controller.timing1 = window.Read(kDramFunction, kTiming1);
    return controller;
}

void DecodeTimings(const Controller& controller, unsigned tRCHighBit, CMemoryInfo& memory) {
    memory.m_fCASLatency = static_cast<float>(FieldBits(controller.timing0, 4, 0));
    memory.m_iRASToCASDelay = static_cast<int>(FieldBits(controller.timing0, 12, 8));
    memory.m_iRASPrecharge = static_cast<int>(FieldBits(controller.timing0, 20, 16));
    memory.m_iCycleTime = static_cast<int>(FieldBits(controller.timing0, 29, 24));
    memory.m_iBankCycleTime = static_cast<int>(FieldBits(controller.timing1, tRCHighBit, 0));
}

void SetUncoreRatio(AMDNodeWindow& window, CMemoryInfo& memory) {
    const uint32_t clock = window.Read(kExtendedControlFunction, kNbClock);
    memory.m_fUncoreRatio = AMDUncoreRatio(FieldBits(clock, 8, 3), BitSet(clock, 9));
}

} // namespace

void DecodeAMDK15(CNorthBridge* bridge, CMemoryInfo* memory) {
    AMDNodeWindow window(*bridge);
    if (!window.IsOpen()) return;
    const uint16_t device = bridge->GetDeviceID();
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    if (device == kCarrizo && FieldBits(window.Read(kDramFunction, kDramType), 2, 0) == 2)
        memory->m_iMemoryType = MEMORY_TYPE_DDR4;

    // The select goes back as found, whatever was read in between; a
    // select that does not read is not written at all.
    const uint32_t kept = window.Read(kAddressMapFunction, kControllerSelect);
    const bool selectable = kept != 0xFFFFFFFF;
    if (selectable) window.Write(kAddressMapFunction, kControllerSelect, kept & ~7u);
    Controller first = ReadSelectedController(window, bridge->ReadConfig(kConfigHigh));
    Controller second;
    if (selectable) {
        const uint32_t select = window.Read(kAddressMapFunction, kControllerSelect);
        const uint32_t other = device == kOrochi ? (select & ~4u) | 3u : (select & ~6u) | 1u;
        window.Write(kAddressMapFunction, kControllerSelect, other);
        second = ReadSelectedController(window, window.Read(kDramFunction, kConfigHigh));
        window.Write(kAddressMapFunction, kControllerSelect, kept);
    }

    if (!first.active && !second.active) return;
    memory->m_iChannels = first.active && second.active ? 2 : 1;
    const Controller& used = second.active ? second : first;
    DecodeTimings(used, device == kCarrizo ? 6 : 5, *memory);
    const uint32_t clockCode = FieldBits(used.configHigh, 4, 0);
    if (device == kKaveri) SetRatioByCode(*memory, kKaveriRatios, clockCode);
    else SetRatioByCode(*memory, kK15Ratios, clockCode);
    SetUncoreRatio(window, *memory);
}

void DecodeAMDK16(CNorthBridge* bridge, CMemoryInfo* memory) {
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    AMDNodeWindow window(*bridge);
    if (!window.IsOpen()) return;
    memory->m_iChannels = 1;
    Controller controller;
    controller.timing0 = window.Read(kDramFunction, kTiming0);
    controller.timing1 = window.Read(kDramFunction, kTiming1);
    DecodeTimings(controller, 5, *memory);
    SetRatioByCode(*memory, kK15Ratios, FieldBits(bridge->ReadConfig(kConfigHigh), 4, 0));
    SetUncoreRatio(window, *memory);
}
