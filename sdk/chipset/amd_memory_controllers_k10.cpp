// The DRAM controllers of the K10 (two controllers, DDR2 or DDR3), the K11
// (DDR2) and the K12/K14 (DDR3). Controller 1's registers sit 0x100 above
// controller 0's in function 2 and are read through the node's extended
// configuration space.
#include "sdk/chipset/amd_node_window.h"
#include "sdk/chipset/amd_northbridges.h"
#include "sdk/chipset/memory_decoding.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/cpu/amd_shared_bodies.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint32_t kDramFunction = 2;
constexpr uint32_t kTimingLow = 0x88;
constexpr uint32_t kConfigHigh = 0x94;
constexpr uint32_t kController1Offset = 0x100;
constexpr uint32_t kGangingRegister = 0x110;
constexpr uint32_t kClockControl0 = 0xD4;  // of function 3: NbFid in bits 4:0
constexpr unsigned kInterfaceDisabledBit = 14;
constexpr unsigned kDDR3Bit = 8;
constexpr unsigned kSlowAccessBit = 20;
constexpr uint32_t kDDR2Code533 = 4;
constexpr unsigned kNbDidBit = 22;  // of MSR 0xC0010071's low dword

constexpr RatioCode kDDR2Ratios[] = {{0, 1, 1}, {1, 3, 4}, {2, 3, 5}, {3, 1, 2}, {4, 3, 8}};
constexpr RatioCode kDDR3Ratios[] = {{2, 3, 5}, {3, 1, 2}, {4, 3, 8}, {5, 3, 10}, {6, 1, 4}};
constexpr RatioCode kK12Ratios[] = {{6, 1, 4}, {10, 3, 16}, {14, 3, 20}, {18, 1, 8}, {22, 3, 28}};

// The timing low layouts: DDR2 (tRCD 5:4 + 3, tRP 9:8 + 3, tRAS 15:12 + 3,
// tRC 19:16 + 11) and DDR3 (6:4 + 5, 9:7 + 5, 15:12 + 15, 20:16 + 11).
void DecodeDDR2Timings(uint32_t timing, CMemoryInfo& memory) {
    memory.m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 5, 4)) + 3;
    memory.m_iRASPrecharge = static_cast<int>(FieldBits(timing, 9, 8)) + 3;
    memory.m_iCycleTime = static_cast<int>(FieldBits(timing, 15, 12)) + 3;
    memory.m_iBankCycleTime = static_cast<int>(FieldBits(timing, 19, 16)) + 11;
}

void DecodeDDR3Timings(uint32_t timing, CMemoryInfo& memory) {
    memory.m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 6, 4)) + 5;
    memory.m_iRASPrecharge = static_cast<int>(FieldBits(timing, 9, 7)) + 5;
    memory.m_iCycleTime = static_cast<int>(FieldBits(timing, 15, 12)) + 15;
    memory.m_iBankCycleTime = static_cast<int>(FieldBits(timing, 20, 16)) + 11;
}

bool ControllerActive(uint32_t configHigh) { return !BitSet(configHigh, kInterfaceDisabledBit); }

// Register `reg` of function 3, read as the PCI domain reads it.
bool ReadFunction3(AMDNodeWindow& window, uint32_t reg, uint32_t* value) {
    *value = 0xFFFFFFFF;
    return window.m_pFunction3 && window.m_pFunction3->ReadConfigDword(static_cast<int32_t>(reg), value);
}

} // namespace

void DecodeAMDK10(CNorthBridge* bridge, CMemoryInfo* memory) {
    AMDNodeWindow window(*bridge);
    if (!window.IsOpen()) return;
    const uint32_t configHigh0 = bridge->ReadConfig(kConfigHigh);
    const uint32_t configHigh1 = window.Read(kDramFunction, kConfigHigh + kController1Offset);
    const bool active0 = ControllerActive(configHigh0);
    const bool active1 = ControllerActive(configHigh1);
    if (!active0 && !active1) return;
    memory->m_iChannels = active0 && active1 ? 2 : 1;
    const uint32_t timing =
        active0 ? bridge->ReadConfig(kTimingLow) : window.Read(kDramFunction, kTimingLow + kController1Offset);
    const uint32_t configHigh = active0 ? configHigh0 : configHigh1;
    const bool ddr3 = BitSet(configHigh, kDDR3Bit);
    const uint32_t clockCode = FieldBits(configHigh, 2, 0);
    memory->m_iMemoryType = ddr3 ? MEMORY_TYPE_DDR3 : MEMORY_TYPE_DDR2;
    memory->m_fCASLatency = static_cast<float>(FieldBits(timing, 3, 0) + (ddr3 ? 4 : 1));
    if (ddr3 || clockCode == kDDR2Code533) DecodeDDR3Timings(timing, *memory);
    else DecodeDDR2Timings(timing, *memory);
    memory->m_iCommandRate = static_cast<int>(BitSet(configHigh, kSlowAccessBit)) + 1;
    if (ddr3) SetRatioByCode(*memory, kDDR3Ratios, clockCode);
    else SetRatioByCode(*memory, kDDR2Ratios, clockCode);
    uint32_t clockControl = 0;
    MSR_Register cofvid(amd_msr::kCOFVIDStatus);
    if (ReadFunction3(window, kClockControl0, &clockControl) && cofvid.Read())
        memory->m_fUncoreRatio = AMDUncoreRatio(FieldBits(clockControl, 4, 0), BitSet(cofvid.m_dwLow, kNbDidBit));
    memory->m_iChannelMode =
        MEMORY_CHANNELS_AMD + static_cast<int>(BitSet(window.Read(kDramFunction, kGangingRegister), 4));
}

void DecodeAMDK11(CNorthBridge* bridge, CMemoryInfo* memory) {
    AMDNodeWindow window(*bridge);
    memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    const uint32_t timing = bridge->ReadConfig(kTimingLow);
    memory->m_fCASLatency = static_cast<float>(FieldBits(timing, 3, 0) + 1);
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 6, 4)) + 3;
    memory->m_iRASPrecharge = static_cast<int>(FieldBits(timing, 9, 8)) + 3;
    memory->m_iCycleTime = static_cast<int>(FieldBits(timing, 15, 12)) + 3;
    memory->m_iBankCycleTime = static_cast<int>(FieldBits(timing, 19, 16)) + 11;
    const uint32_t configHigh = bridge->ReadConfig(kConfigHigh);
    memory->m_iCommandRate = static_cast<int>(BitSet(configHigh, kSlowAccessBit)) + 1;
    SetRatioByCode(*memory, kDDR2Ratios, FieldBits(configHigh, 2, 0));
    uint32_t clockControl = 0;
    if (ReadFunction3(window, kClockControl0, &clockControl))
        memory->m_fUncoreRatio = static_cast<float>(FieldBits(clockControl, 4, 0) + 4) * 0.5f;
}

// Timing 0 of the K12/K14 sits behind the controller's additional-data
// index (0xF0) and data (0xF4) registers; the index is put back after.
void DecodeAMDK12(CNorthBridge* bridge, CMemoryInfo* memory) {
    constexpr uint32_t kDataIndex = 0xF0;
    constexpr uint32_t kDataPort = 0xF4;
    constexpr uint32_t kTiming0Index = 0x40;
    AMDNodeWindow window(*bridge);
    if (!window.IsOpen()) return;
    const bool controller0 = ControllerActive(bridge->ReadConfig(kConfigHigh));
    const uint32_t offset = controller0 ? 0 : kController1Offset;
    auto read = [&](uint32_t reg) {
        return controller0 ? bridge->ReadConfig(reg) : window.Read(kDramFunction, reg + offset);
    };
    auto write = [&](uint32_t reg, uint32_t value) {
        if (controller0) bridge->WriteConfig(reg, value);
        else window.Write(kDramFunction, reg + offset, value);
    };
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    memory->m_fCASLatency = static_cast<float>(FieldBits(read(kTimingLow), 3, 0) + 4);
    const uint32_t savedIndex = read(kDataIndex);
    write(kDataIndex, kTiming0Index);
    const uint32_t timing0 = read(kDataPort);
    if (savedIndex != 0xFFFFFFFF) write(kDataIndex, savedIndex);
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing0, 3, 0)) + 5;
    memory->m_iRASPrecharge = static_cast<int>(FieldBits(timing0, 11, 8)) + 5;
    memory->m_iCycleTime = static_cast<int>(FieldBits(timing0, 20, 16)) + 15;
    memory->m_iBankCycleTime = static_cast<int>(FieldBits(timing0, 29, 24)) + 16;
    SetRatioByCode(*memory, kK12Ratios, FieldBits(read(kConfigHigh), 4, 0));
}
