// The Intel controllers of the Pentium II/III era whose DRAM type and
// timings sit in the host bridge's own configuration space: i440FX, LX and
// BX (with MX and GX), the i810 and i815 with their SDRAM, and the RDRAM
// controllers of the i840, i850 and i860. The SDRAM controllers run their
// memory at the bus clock or at a fixed step from it.
#include "sdk/chipset/intel_northbridges.h"

#include "sdk/chipset/intel_mc_registers.h"
#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_processor.h"

using namespace intel_mchbar;
using namespace intel_mc;

namespace {

constexpr int kSetGives2[] = {3, 2};        // a bit: clear 3 clocks, set 2
constexpr float kSetGivesCL2[] = {3.0f, 2.0f};

// The i810 and i815 SDRAM timing byte 0x53; their tRAS/tRC pairs differ.
constexpr int k810RAS[] = {5, 6}, k810RC[] = {7, 8};
constexpr int k815RAS[] = {5, 7}, k815RC[] = {7, 9};
constexpr TimingFields k810Timings{{2, 2, kSetGivesCL2}, {1, 1, kSetGives2}, {0, 0, kSetGives2}, {4, 4, k810RAS},
                                   {4, 4, k810RC}, {}};
constexpr TimingFields k815Timings{{2, 2, kSetGivesCL2}, {1, 1, kSetGives2}, {0, 0, kSetGives2}, {4, 4, k815RAS},
                                   {4, 4, k815RC}, {}};

// The RDRAM decoders' row-to-column delay and total CAS, byte 0xBE.
void DecodeRDRAMTimings(CNorthBridge& bridge, CMemoryInfo& memory) {
    const uint32_t timing = BridgeRegister(bridge, 0xBE);
    static constexpr int kRowToColumn[] = {-1, 7, 9};
    SetIfListed(memory.m_iRowToColumnDelay, CodeValue(kRowToColumn, Bits(timing, 7, 6)));
    memory.m_iTotalCAS = static_cast<int>(Bits(timing, 4, 0));
}

void SetSDRAMOnBusClock(CMemoryInfo& memory) { SetRatio(memory, {1, 1}); }

// The external clock of the first SMBIOS processor structure, MHz; -1.0
// without the table or the structure.
float FirmwareBusClock() {
    CDMIInterface* dmi = GetSDK()->m_pDMI;
    CDMIStructure* structure = dmi ? dmi->GetStructure(DMI_TYPE_PROCESSOR) : nullptr;
    return structure ? static_cast<CDMI_Processor*>(structure)->m_fExternalClock : -1.0f;
}

} // namespace

void DecodeIntel440FX(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    SetSDRAMOnBusClock(*memory);
    static constexpr int kTypes[] = {MEMORY_TYPE_FPG, MEMORY_TYPE_EDO, MEMORY_TYPE_EDO};
    SetIfListed(memory->m_iMemoryType, CodeValue(kTypes, Bits(BridgeRegister(*bridge, 0x55), 1, 0)));
}

void DecodeIntel440LX(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    SetSDRAMOnBusClock(*memory);
    static constexpr int kTypes[] = {MEMORY_TYPE_EDO, -1, MEMORY_TYPE_SDRAM};
    SetIfListed(memory->m_iMemoryType, CodeValue(kTypes, Bits(BridgeRegister(*bridge, 0x55), 1, 0)));
    if (memory->m_iMemoryType != MEMORY_TYPE_SDRAM) return;
    static constexpr TimingFields kTimings{{6, 6, kSetGivesCL2}, {7, 7, kSetGives2}, {5, 5, kSetGives2}, {}, {}, {}};
    ApplyTimings(*memory, BridgeRegister(*bridge, 0x58), kTimings);
}

void DecodeIntel440BX(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    SetSDRAMOnBusClock(*memory);
    static constexpr int kTypes[] = {MEMORY_TYPE_EDO, MEMORY_TYPE_SDRAM, MEMORY_TYPE_SDRAM};
    SetIfListed(memory->m_iMemoryType, CodeValue(kTypes, Bits(BridgeRegister(*bridge, 0x57), 4, 3)));
    static constexpr TimingFields kTimings{{2, 2, kSetGivesCL2}, {1, 1, kSetGives2}, {0, 0, kSetGives2}, {}, {}, {}};
    ApplyTimings(*memory, BridgeRegister(*bridge, 0x76), kTimings);
    static constexpr int kIdle[] = {0, 2, 4, 8, 10, 12, 16, 32};
    ApplyField(memory->m_iDRAMIdleTimer, BridgeRegister(*bridge, 0x78), {3, 0, kIdle});
}

void DecodeIntel810(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_SDRAM;
    ApplyTimings(*memory, BridgeRegister(*bridge, 0x53), k810Timings);
}

void DecodeIntel815(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_SDRAM;
    if (BridgeRegister(*bridge, 0x50) & (1u << 2)) {
        SetSDRAMOnBusClock(*memory);
    } else {
        // The DRAM runs at 100 or 133 MHz whatever the bus: the ratio
        // follows the bus clock the firmware reports.
        const float bus = FirmwareBusClock();
        if (bus > 0.0f) SetRatio(*memory, bus <= 98.0f ? Ratio{2, 3} : bus <= 130.0f ? Ratio{1, 1} : Ratio{4, 3});
    }
    ApplyTimings(*memory, BridgeRegister(*bridge, 0x53), k815Timings);
}

void DecodeIntel840(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_RDRAM;
    memory->m_iChannels = 2;
    const uint32_t clocks = BridgeRegister(*bridge, 0x50);
    const int a = (clocks & (1u << 13)) ? 16 : 12;
    const int b = (clocks & (1u << 11)) ? 12 : 9;
    SetRatioText(*memory, a, b, static_cast<float>(b) * 4.0f / static_cast<float>(a));
    DecodeRDRAMTimings(*bridge, *memory);
}

void DecodeIntel850(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    if (bridge->GetDeviceID() == 0x2530)
        FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s",
                     (BridgeRegister(*bridge, 0xFE) & (1u << 9)) ? "i850E" : "i850");
    memory->m_iMemoryType = MEMORY_TYPE_RDRAM;
    memory->m_iChannels = 2;
    if (BridgeRegister(*bridge, 0x50) & (1u << 11))
        SetRatioText(*memory, 1, 1, 4.0f);
    else
        SetRatioText(*memory, 4, 3, 3.0f);
    DecodeRDRAMTimings(*bridge, *memory);
}
