// The Intel controllers of the Pentium 4 and Pentium M era whose DRAM type,
// clock ratio and timings sit in the host bridge's configuration space
// (and, for the i852GM/i855GM, in its functions 1 and 3): i845 with its
// E and G variants, the mobile i852/i855, and the E7500, E7205 and E7520
// server controllers.
#include "sdk/chipset/intel_northbridges.h"

#include "sdk/chipset/intel_mc_registers.h"
#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/hw/pci_device.h"

using namespace intel_mchbar;
using namespace intel_mc;

namespace {

constexpr uint32_t kTimingRegister = 0x78;

// Register 0x78 of the i845, i845E and E7205: idle timer, tRAS, CL, tRCD
// and tRP; the CL codes differ between SDRAM and DDR.
constexpr int kIdle845[] = {-1, 0, 8, 16, 64};
constexpr int kRAS765[] = {7, 6, 5};
constexpr int kSetGives2[] = {3, 2};
constexpr float kCL845SDRAM[] = {-1.0f, 3.0f, 2.0f};
constexpr float kCLDDR[] = {2.5f, 2.0f};
constexpr float kCLDDRFast[] = {2.5f, 2.0f, 1.5f};
constexpr TimingFields k845DDR{{5, 4, kCLDDR}, {2, 2, kSetGives2}, {0, 0, kSetGives2}, {10, 9, kRAS765}, {},
                               {18, 16, kIdle845}};
constexpr TimingFields k845SDRAM{{5, 4, kCL845SDRAM}, {2, 2, kSetGives2}, {0, 0, kSetGives2}, {10, 9, kRAS765}, {},
                                 {18, 16, kIdle845}};

// The i845G family's register 0x78 and the i852GM's register 0x60 of
// function 1 share tRAS, tRCD and tRP codes.
constexpr int kRAS8765[] = {8, 7, 6, 5};
constexpr int kCode1Gives3[] = {-1, 3, 2};
constexpr TimingFields k845GDDR{{6, 5, kCLDDRFast}, {3, 2, kCode1Gives3}, {1, 0, kCode1Gives3}, {10, 9, kRAS8765}, {},
                                {17, 15, kIdle845}};
constexpr TimingFields k845GSDRAM{{6, 5, kCL845SDRAM}, {3, 2, kCode1Gives3}, {1, 0, kCode1Gives3}, {10, 9, kRAS8765},
                                  {}, {17, 15, kIdle845}};
constexpr TimingFields k852GM{{6, 5, kCLDDR}, {3, 2, kCode1Gives3}, {1, 0, kCode1Gives3}, {10, 9, kRAS8765}, {}, {}};

// The E7500/E7501, E7205 and i855PM: tRCD in two bits on the servers.
constexpr int kRCD5432[] = {5, 4, 3, 2};
constexpr TimingFields kE7500{{5, 4, kCLDDRFast}, {2, 1, kRCD5432}, {0, 0, kSetGives2}, {10, 9, kRAS765}, {}, {}};
constexpr TimingFields kE7205{{5, 4, kCLDDR}, {2, 1, kRCD5432}, {0, 0, kSetGives2}, {10, 9, kRAS765}, {},
                              {18, 16, kIdle845}};
constexpr TimingFields k855PM{{5, 4, kCLDDRFast}, {2, 2, kSetGives2}, {0, 0, kSetGives2}, {10, 9, kRAS765}, {}, {}};

// The i845's DRAM type from register 0x7C (SDRAM, DDR, or unknown).
void Read845Type(CNorthBridge& bridge, CMemoryInfo& memory) {
    static constexpr int kTypes[] = {MEMORY_TYPE_SDRAM, MEMORY_TYPE_DDR, MEMORY_TYPE_UNKNOWN, MEMORY_TYPE_UNKNOWN};
    memory.m_iMemoryType = kTypes[Bits(bridge.ReadConfig(0x7C), 1, 0)];
}

// Channels of the E7500 family: bit 22 of register 0x7C.
void ReadServerChannels(CNorthBridge& bridge, CMemoryInfo& memory) {
    memory.m_iChannels = (bridge.ReadConfig(0x7C) & (1u << 22)) ? 2 : 1;
}

void SetModel(CNorthBridge& bridge, const char* model) {
    FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", model);
}

// ---- E7520 ----

// The DRAM clock code (0 = 133, 1 = 166, 2 = 200 MHz) by the bus clock
// code (1 = 133, 2 = 166, 3 = 200 MHz; 0 unknown).
constexpr Ratio kE7520Ratios[3][4] = {
    {{}, {1, 1}, {5, 4}, {3, 2}},
    {{}, {4, 5}, {1, 1}, {6, 5}},
    {{}, {2, 3}, {5, 6}, {1, 1}},
};
constexpr float kCLDDR133[] = {2.5f, -1.0f, 3.0f};
constexpr float kCLDDR2[] = {-1.0f, 3.0f, 4.0f};
constexpr int kRCD23[] = {2, 3}, kRP23[] = {-1, 2, 3};
constexpr int kRCD34[] = {3, 4}, kRP34[] = {-1, 3, 4};
constexpr int kRC133[] = {-1, -1, 9}, kRC166[] = {-1, -1, 10}, kRCDDR2[] = {11, 12, 13};
constexpr TimingFields kE7520Timings[] = {
    {{3, 2, kCLDDR133}, {11, 10, kRCD23}, {9, 8, kRP23}, {}, {15, 14, kRC133}, {}},
    {{3, 2, kCLDDR133}, {11, 10, kRCD23}, {9, 8, kRP23}, {}, {15, 14, kRC166}, {}},
    {{3, 2, kCLDDR2}, {11, 10, kRCD34}, {9, 8, kRP34}, {}, {15, 14, kRCDDR2}, {}},
};

} // namespace

void DecodeIntel845(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    Read845Type(*bridge, *memory);
    const int type = memory->m_iMemoryType;
    if (type == MEMORY_TYPE_SDRAM || type == MEMORY_TYPE_DDR)
        SetRatio(*memory, (BridgeRegister(*bridge, 0xC6) & (1u << 11)) ? Ratio{3, 4} : Ratio{1, 1});
    TimingFields fields = type == MEMORY_TYPE_SDRAM ? k845SDRAM : k845DDR;
    if (type != MEMORY_TYPE_SDRAM && type != MEMORY_TYPE_DDR) fields.cl = {};
    ApplyTimings(*memory, bridge->ReadConfig(kTimingRegister), fields);
}

void DecodeIntel845E(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    static constexpr Ratio kRatios[] = {{1, 1}, {3, 4}, {4, 3}, {1, 1}};
    SetRatio(*memory, kRatios[Bits(BridgeRegister(*bridge, 0xC6), 12, 11)]);
    ApplyTimings(*memory, bridge->ReadConfig(kTimingRegister), k845DDR);
}

void DecodeIntel845G(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    const uint32_t capability = (bridge->ReadConfig(0xE8) & 0xFF) * 16 + Bits(bridge->ReadConfig(0xE4), 31, 28);
    switch (capability) {
    case 0x000:
    case 0x030: SetModel(*bridge, "i845G"); break;
    case 0x0B1: SetModel(*bridge, "i845GV"); break;
    case 0x0E1: SetModel(*bridge, "i845GL"); break;
    case 0x214: SetModel(*bridge, "i845GE"); break;
    case 0x215: SetModel(*bridge, "i845PE"); break;
    default: break;
    }
    Read845Type(*bridge, *memory);
    // Bus clock 100 or 133 MHz (bit 12) by the DRAM clock code (bits 11:10).
    static constexpr Ratio kRatios[2][4] = {{{1, 2}, {3, 5}, {3, 4}, {1, 1}}, {{2, 3}, {4, 5}, {1, 1}, {4, 3}}};
    const uint32_t clocks = BridgeRegister(*bridge, 0xC6);
    SetRatio(*memory, kRatios[Bits(clocks, 12, 12)][Bits(clocks, 11, 10)]);
    TimingFields fields = memory->m_iMemoryType == MEMORY_TYPE_SDRAM ? k845GSDRAM : k845GDDR;
    if (memory->m_iMemoryType != MEMORY_TYPE_SDRAM && memory->m_iMemoryType != MEMORY_TYPE_DDR) fields.cl = {};
    ApplyTimings(*memory, bridge->ReadConfig(kTimingRegister), fields);
}

void DecodeIntelE7500(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    SetRatio(*memory, {1, 1});
    ApplyTimings(*memory, bridge->ReadConfig(kTimingRegister), kE7500);
    ReadServerChannels(*bridge, *memory);
}

void DecodeIntelE7205(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    SetRatio(*memory, {1, 1});
    ApplyTimings(*memory, bridge->ReadConfig(kTimingRegister), kE7205);
    ReadServerChannels(*bridge, *memory);
}

void DecodeIntel852GM(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    if (bridge->m_pDevice && bridge->m_pDevice->m_pCommonHeader->m_byRevisionID == 1) {
        const uint32_t model = Bits(FunctionValue(0, 0, 3, 0x08), 7, 0);
        if (model == 1) SetModel(*bridge, "i852GM");
        if (model == 2) SetModel(*bridge, "i852GME/PM");
    }
    if (!(bridge->ReadConfig(0x54) & (1u << 0))) ApplyTimings(*memory, FunctionValue(0, 0, 1, 0x60), k852GM);
    // With bit 6 set, bit 2 hides the clock register of function 3: it is
    // cleared for the read and set back afterwards.
    const uint32_t found = bridge->ReadConfig(0x54);
    uint32_t control = found;
    if (found & (1u << 6)) {
        bridge->WriteConfig(0x54, found & ~(1u << 2));
        control = bridge->ReadConfig(0x54);
    }
    if (!(control & (1u << 2))) {
        static constexpr Ratio kRatios[] = {{3, 4}, {1, 1}, {1, 1}, {3, 4}, {1, 1}, {1, 1}, {4, 5}, {3, 5}};
        SetRatio(*memory, kRatios[Bits(FunctionValue(0, 0, 3, 0xC0), 2, 0)]);
    }
    if (control != found) bridge->WriteConfig(0x54, found);
}

void DecodeIntel855PM(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    const bool graphics = (bridge->ReadConfig(0xE4) & (1u << 31)) != 0;
    SetModel(*bridge, graphics ? "i855GM" : "i855PM");
    const uint32_t clocks = BridgeRegister(*bridge, 0xC6);
    if (graphics) {
        SetRatio(*memory, (clocks & (1u << 11)) ? Ratio{3, 4} : Ratio{1, 1});
    } else {
        static constexpr Ratio kRatios[] = {{1, 1}, {3, 5}, {3, 4}, {}};
        SetRatio(*memory, kRatios[Bits(clocks, 11, 10)]);
    }
    ApplyTimings(*memory, bridge->ReadConfig(kTimingRegister), k855PM);
}

void DecodeIntelE7520(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    const uint32_t clocks = bridge->ReadConfig(0x7C);
    const uint32_t dram = Bits(clocks, 1, 0);
    const uint32_t bus = Bits(clocks, 3, 2);
    static constexpr int kChannels[] = {-1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 2, 2, 2, 2};
    SetIfListed(memory->m_iChannels, CodeValue(kChannels, Bits(BridgeRegister(*bridge, 0x9A), 3, 0)));
    if (dram == 3) return;
    memory->m_iMemoryType = dram == 2 ? MEMORY_TYPE_DDR2 : MEMORY_TYPE_DDR;
    SetRatio(*memory, kE7520Ratios[dram][bus]);
    ApplyTimings(*memory, bridge->ReadConfig(kTimingRegister), kE7520Timings[dram]);
}
