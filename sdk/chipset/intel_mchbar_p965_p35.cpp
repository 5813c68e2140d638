// The memory controllers of the front-side-bus chipsets whose window is
// configured at register 0x48: the P965/G965 family, the mobile GM965 and
// GM45 families, and the P35/X38/G4x family with the Atom host bridges
// 0xA000 and 0xA010. Each switches the window on for its pass when the
// firmware left it off, and off again at the end of the pass.
#include "sdk/chipset/intel_northbridges.h"

#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"

using namespace intel_mchbar;

namespace {

constexpr uint32_t kWindowSize = 4096;
constexpr uint32_t kClockConfig = 0xC00;  // CLKCFG
constexpr uint32_t kCapabilities = 0xE4, kCapabilities2 = 0xE8;
constexpr uint32_t kRevisionRegister = 0x08;

// The controller's two channels: population and the offsets of the
// registers each decoder reads, channel A's and channel B's.
struct ChannelRegisters {
    uint32_t ranksA, ranksB;  // populated when bits 23:20 are not 0
};
constexpr ChannelRegisters kDesktopChannels{0x260, 0x660};
constexpr ChannelRegisters kMobileChannels{0x1200, 0x1300};
constexpr uint32_t kChannelModeByte = 0x111;  // bit 1 set: asymmetric
constexpr uint32_t kMobileChannelMode = 0x200;

// The channel whose registers to read (A when populated, else B) and the
// channel count.
bool ReadChannels(WindowReader& window, const ChannelRegisters& channels, CMemoryInfo& memory) {
    const bool a = Bits(window.Dword(channels.ranksA), 23, 20) != 0;
    const bool b = Bits(window.Dword(channels.ranksB), 23, 20) != 0;
    memory.m_iChannels = a && b ? 2 : 1;
    return a;
}

void ReadDesktopChannelMode(WindowReader& window, CMemoryInfo& memory) {
    memory.m_iChannelMode = (window.Byte(kChannelModeByte) & (1u << 1)) ? MEMORY_CHANNELS_ASYMMETRIC
                                                                       : MEMORY_CHANNELS_SYMMETRIC;
}

bool ClockConfigAbsent(uint32_t clock) { return clock == 0xFFFFFFFF; }

// ---- P965 / G965 ----
struct P965Timing {
    uint32_t cl, tRAS, tRP, tRCD, commandRate;
};
constexpr P965Timing kP965A{0x29C, 0x250, 0x252, 0x258, 0x244};
constexpr P965Timing kP965B{0x69C, 0x650, 0x652, 0x658, 0x644};
// [bus code][DRAM code]; bus codes 3 and 5 to 7 have none.
constexpr Ratio kP965Ratios[5][5] = {
    {{}, {1, 1}, {4, 5}, {2, 3}, {1, 2}},
    {{}, {1, 2}, {2, 5}, {1, 3}, {}},
    {{1, 1}, {3, 4}, {3, 5}, {1, 2}, {}},
    {},
    {{}, {}, {1, 1}, {5, 6}, {}},
};

void NameP965(CNorthBridge& bridge) {
    const uint8_t revision = static_cast<uint8_t>(bridge.ReadConfig(kRevisionRegister));
    const auto set = [](char* field, size_t size, const char* text) { FormatString(field, size, "%s", text); };
    char* model = bridge.m_szModel;
    char* stepping = bridge.m_szRevision;
    switch (bridge.GetDeviceID()) {
    case 0x2970:
        set(model, sizeof bridge.m_szModel, "946PL/GZ");
        if (revision == 2) set(stepping, sizeof bridge.m_szRevision, "C1");
        break;
    case 0x2980:
        if (revision == 0) set(stepping, sizeof bridge.m_szRevision, "A0");
        if (revision == 3) set(model, sizeof bridge.m_szModel, "G35");
        break;
    case 0x2990:
        set(model, sizeof bridge.m_szModel, "Q965");
        if (revision == 2) set(stepping, sizeof bridge.m_szRevision, "C1");
        break;
    case 0x29A0:
        set(model, sizeof bridge.m_szModel, "P965/G965");
        set(stepping, sizeof bridge.m_szRevision, (bridge.ReadConfig(kCapabilities) & (1u << 3)) ? "C2" : "C1");
        break;
    default: break;
    }
}

// ---- GM965 / GM45 ----
constexpr uint32_t kGM45MemoryType = 0x1434;
constexpr uint16_t kGM45 = 0x2A40;
constexpr uint32_t kGM965CL[2] = {0x121C, 0x131C};      // channel A, B
constexpr uint32_t kGM965Timing[2] = {0x1214, 0x1314};  // channel A, B
// [bus code - 1][DRAM code - 1]; bus codes 1, 2, 3 and 6 only.
constexpr Ratio kGM965Ratios[6][6] = {
    {{4, 5}, {2, 3}, {1, 2}, {}, {}, {}},
    {{6, 5}, {1, 1}, {3, 4}, {3, 5}, {1, 2}, {}},
    {{1, 1}, {5, 6}, {5, 8}, {1, 2}, {}, {}},
    {},
    {},
    {{}, {}, {}, {4, 5}, {2, 3}, {1, 2}},
};

void NameGM965(CNorthBridge& bridge) {
    const uint32_t code = Bits(bridge.ReadConfig(kCapabilities), 12, 10);
    const char* name = nullptr;
    if (bridge.GetDeviceID() == kGM45) {
        static constexpr const char* kNames[8] = {nullptr, "GM45/GM47", nullptr, "GL40", "GS45", nullptr, nullptr, "PM45"};
        name = kNames[code];
    } else {
        static constexpr const char* kNames[8] = {nullptr, "GM965", nullptr, "GL960", nullptr, nullptr, nullptr, "PM965"};
        name = kNames[code];
        const uint8_t revision = static_cast<uint8_t>(bridge.ReadConfig(kRevisionRegister));
        if (revision == 0x03 || revision == 0x0C)
            FormatString(bridge.m_szRevision, sizeof bridge.m_szRevision, "%s", "C0");
    }
    if (name) FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", name);
}

// ---- P35 / X38 / G4x ----
struct P35Timing {
    uint32_t cl;
    SharedTimingRegisters shared;
};
constexpr P35Timing kP35A{0x265, {0x25D, 0x252, 0x258, 0x220}};
constexpr P35Timing kP35B{0x665, {0x65D, 0x652, 0x658, 0x620}};
constexpr uint32_t kG45MemoryType = 0x1A8, kAtomMemoryType = 0x224, kP35MemoryType = 0x1E8;
// [bus code][DRAM code - 1]; bus codes 0, 2, 4 and 6 only.
constexpr Ratio kP35Ratios[7][6] = {
    {{1, 1}, {4, 5}, {2, 3}, {1, 2}, {2, 5}, {}},
    {},
    {{3, 4}, {3, 5}, {1, 2}, {3, 8}, {3, 10}, {}},
    {},
    {{}, {1, 1}, {5, 6}, {5, 8}, {1, 2}, {}},
    {},
    {{}, {}, {1, 1}, {3, 4}, {3, 5}, {1, 2}},
};

bool IsG4x(uint16_t id) { return id == 0x2E10 || id == 0x2E20 || id == 0x2E30 || id == 0x2E40; }
bool IsAtom(uint16_t id) { return id == 0xA000 || id == 0xA010; }

void NameP35(CNorthBridge& bridge) {
    const char* name = nullptr;
    switch (bridge.GetDeviceID()) {
    case 0x29B0: name = "Q35"; break;
    case 0x29C0: name = "P35/G33/G31"; break;
    case 0x29D0: name = "Q33"; break;
    case 0x29E0: name = (bridge.ReadConfig(kCapabilities2) & (1u << 25)) ? "X48" : "X38"; break;
    default: break;
    }
    if (name) FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", name);
}

} // namespace

void DecodeIntel965(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    NameP965(*bridge);
    memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    EnableBitSwitch enable(*bridge, {bridge, 0, 0, kWindowRegister48}, kWindowEnable48);
    CIOSpace* mchbar = AttachWindowAt48(*bridge, &enable, kWindowSize);
    if (!mchbar) return;
    WindowReader window(mchbar);
    const uint32_t clock = window.Dword(kClockConfig);
    if (ClockConfigAbsent(clock)) return;
    const P965Timing& t = ReadChannels(window, kDesktopChannels, *memory) ? kP965A : kP965B;
    ReadDesktopChannelMode(window, *memory);
    memory->m_fCASLatency = static_cast<float>(Bits(window.Dword(t.cl), 19, 17)) + 3.0f;
    memory->m_iCycleTime = static_cast<int>(Bits(window.Dword(t.tRAS) & 0xFFFF, 15, 11));
    memory->m_iRASPrecharge = static_cast<int>(Bits(window.Dword(t.tRP), 16, 13));
    memory->m_iRASToCASDelay = static_cast<int>(Bits(window.Dword(t.tRCD), 19, 16));
    memory->m_iCommandRate = (window.Dword(t.commandRate) & (1u << 17)) ? 1 : 2;
    SetRatio(*memory, RatioAt(kP965Ratios, Bits(clock, 2, 0), Bits(clock, 6, 4)));
}

void DecodeIntelGM965(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    NameGM965(*bridge);
    EnableBitSwitch enable(*bridge, {bridge, 0, 0, kWindowRegister48}, kWindowEnable48);
    CIOSpace* mchbar = AttachWindowAt48(*bridge, &enable, kWindowSize);
    if (!mchbar) return;
    WindowReader window(mchbar);
    memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    if (bridge->GetDeviceID() == kGM45 && Bits(window.Dword(kGM45MemoryType), 1, 0) == 3)
        memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    const uint32_t clock = window.Dword(kClockConfig);
    if (ClockConfigAbsent(clock)) return;
    const int channel = ReadChannels(window, kMobileChannels, *memory) ? 0 : 1;
    memory->m_iChannelMode = static_cast<int>(Bits(window.Dword(kMobileChannelMode), 1, 1));
    memory->m_fCASLatency = static_cast<float>(Bits(window.Dword(kGM965CL[channel]), 25, 23)) + 3.0f;
    const uint32_t timing = window.Dword(kGM965Timing[channel]);
    memory->m_iCycleTime = static_cast<int>(Bits(timing, 25, 21));
    memory->m_iRASPrecharge = static_cast<int>(Bits(timing, 2, 0)) + 2;
    memory->m_iRASToCASDelay = static_cast<int>(Bits(timing, 7, 5)) + 2;
    const uint32_t bus = Bits(clock, 2, 0), dram = Bits(clock, 6, 4);
    if (bus >= 1 && dram >= 1) SetRatio(*memory, RatioAt(kGM965Ratios, bus - 1, dram - 1));
}

void DecodeIntelP35(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    NameP35(*bridge);
    EnableBitSwitch enable(*bridge, {bridge, 0, 0, kWindowRegister48}, kWindowEnable48);
    CIOSpace* mchbar = AttachWindowAt48(*bridge, &enable, kWindowSize);
    if (!mchbar) return;
    WindowReader window(mchbar);
    const uint32_t clock = window.Dword(kClockConfig);
    if (ClockConfigAbsent(clock) || clock == 0) return;
    const uint16_t id = bridge->GetDeviceID();
    if (IsG4x(id)) {
        memory->m_iMemoryType = (window.Dword(kG45MemoryType) & (1u << 2)) ? MEMORY_TYPE_DDR3 : MEMORY_TYPE_DDR2;
    } else if (IsAtom(id)) {
        static constexpr int kTypes[] = {MEMORY_TYPE_DDR2, MEMORY_TYPE_DDR3};
        SetIfListed(memory->m_iMemoryType, CodeValue(kTypes, Bits(window.Dword(kAtomMemoryType), 4, 0)));
    } else {
        memory->m_iMemoryType = (window.Dword(kP35MemoryType) & 1u) ? MEMORY_TYPE_DDR2 : MEMORY_TYPE_DDR3;
    }
    const P35Timing& t = ReadChannels(window, kDesktopChannels, *memory) ? kP35A : kP35B;
    ReadDesktopChannelMode(window, *memory);
    const float clOffset = IsG4x(id) ? 6.0f : 9.0f;
    memory->m_fCASLatency = static_cast<float>(Bits(window.Dword(t.cl), 13, 8)) - clOffset;
    ReadSharedTimings(window, t.shared, *memory);
    const uint32_t bus = Bits(clock, 2, 0), dram = Bits(clock, 6, 4);
    if (dram >= 1) SetRatio(*memory, RatioAt(kP35Ratios, bus, dram - 1));
}
