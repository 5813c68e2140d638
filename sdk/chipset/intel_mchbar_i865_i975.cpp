// The memory controllers of the i865/i875 (window in the hidden device 6),
// the i915/i925 (window at register 0x44, enabled by bit 28 of 0x54) and
// the i945/i955/i975 (window and enable bit at register 0x44).
#include "sdk/chipset/intel_northbridges.h"

#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_interface.h"

using namespace intel_mchbar;

namespace {

constexpr uint16_t kIntel = 0x8086;

// ---- i865 / i875 ----
constexpr uint8_t k865Device6 = 6;
constexpr uint32_t k865ClockRegister = 0xC4;    // the word at 0xC6 is bits 31:16
constexpr uint32_t k865WindowBase = 0x10;       // of device 6
constexpr uint32_t k865WindowBaseMask = 0xFFFFF000;
constexpr uint32_t k865WindowSize = 256;
constexpr uint32_t k865Mode = 0x40;             // of device 6
constexpr uint32_t k865Timing = 0x60;
constexpr uint32_t k865Control = 0x68;
constexpr uint32_t k865RowBoundaries = 8;
constexpr uint32_t kCommandRegister = 0x04;
constexpr uint32_t kMemorySpaceEnable = 1u << 1;

// [DRAM code][bus code]
constexpr Ratio k865Ratios[4][4] = {
    {{1, 1}, {1, 1}, {3, 2}, {5, 4}},
    {{3, 4}, {4, 5}, {5, 4}, {1, 1}},
    {{1, 1}, {2, 3}, {1, 1}, {1, 1}},
    {{1, 1}, {}, {}, {}},
};
constexpr int k865TRAS[] = {10, 9, 8, 7, 6, 5};
constexpr float k865CL[] = {2.5f, 2.0f, 3.0f};
constexpr int k865TRCDorTRP[] = {4, 3, 2};

// ---- i915 to i975X ----
constexpr uint32_t kWindowBaseRegister = 0x44;
constexpr uint32_t kWindowBaseMask = 0xFFFFC000;
constexpr uint32_t kWindowSize = 4096;
constexpr uint32_t k915EnableRegister = 0x54;
constexpr uint32_t k915WindowEnable = 1u << 28;
constexpr uint32_t k945WindowEnable = 1u << 0;
constexpr uint32_t kClockConfig = 0xC00;  // CLKCFG
constexpr uint32_t kChannelARanks = 0x108, kChannelBRanks = 0x188;
constexpr uint32_t kChannelATiming = 0x114, kChannelBTiming = 0x194;
constexpr uint32_t kChannelAControl = 0x120, kChannelBControl = 0x1A0;

constexpr uint16_t k915P = 0x2580, k925X = 0x2584, k915GM = 0x2590, k915GMGraphics = 0x2591;
constexpr uint16_t k945P = 0x2770, k945GM = 0x27A0, k945GME = 0x27AC;

constexpr float k915DDR2CL[] = {5.0f, 4.0f, 3.0f};
constexpr float k915DDRCL[] = {3.0f, 2.5f, 2.0f};
constexpr int k915TRCDorTRP[] = {2, 3, 4, 5};
constexpr float k945CL[] = {5.0f, 4.0f, 3.0f, 6.0f};
constexpr int k945TRCDorTRP[] = {2, 3, 4, 5, 6};

// [bus code][DRAM code - 1]; bus codes 0 and 4 to 7 share the last row.
constexpr Ratio k945Ratios[4][4] = {
    {{}, {2, 3}, {1, 2}, {2, 5}},
    {{1, 1}, {3, 4}, {3, 5}, {1, 2}},
    {{}, {5, 6}, {5, 8}, {1, 2}},
    {{4, 3}, {1, 1}, {4, 5}, {2, 3}},
};
// [bus code][DRAM code]; bus codes 0 and 5 to 7 share the last row.
constexpr Ratio k975Ratios[5][5] = {
    {{4, 5}, {2, 3}, {1, 2}, {}, {}},
    {{}, {1, 1}, {3, 4}, {3, 5}, {1, 2}},
    {{}, {}, {}, {}, {}},
    {{}, {5, 3}, {5, 4}, {1, 1}, {5, 6}},
    {{}, {4, 3}, {1, 1}, {4, 5}, {2, 3}},
};

template <size_t N>
float FloatCode(const float (&table)[N], uint32_t code) {
    return code < N ? table[code] : -1.0f;
}

bool RanksPopulated(WindowReader& window, uint32_t offset) {
    constexpr uint8_t kRankBits = 0x77;  // bits 2:0 and 6:4
    return (window.Byte(offset) & kRankBits) || (window.Byte(offset + 1) & kRankBits);
}

// Which channel's registers to read: A's when it is populated, else B's;
// the channel count as the population gives it.
struct ChannelChoice {
    bool channelA;
    int channels;
};
ChannelChoice ChooseChannel(WindowReader& window) {
    const bool a = RanksPopulated(window, kChannelARanks);
    const bool b = RanksPopulated(window, kChannelBRanks);
    if (a) return {true, b ? 2 : 1};
    return {false, 1};
}

void Decode945Timing(uint32_t timing, CMemoryInfo& memory) {
    memory.m_iCycleTime = static_cast<int>(Bits(timing, 23, 19));
    SetIfListed(memory.m_fCASLatency, FloatCode(k945CL, Bits(timing, 9, 8)));
    SetIfListed(memory.m_iRASToCASDelay, CodeValue(k945TRCDorTRP, Bits(timing, 6, 4)));
    SetIfListed(memory.m_iRASPrecharge, CodeValue(k945TRCDorTRP, Bits(timing, 2, 0)));
    const uint32_t tRC = Bits(timing, 30, 26);
    if (tRC) memory.m_iBankCycleTime = static_cast<int>(tRC);
    else if (memory.m_iRASPrecharge != -1 && memory.m_iCycleTime != -1)
        memory.m_iBankCycleTime = memory.m_iRASPrecharge + memory.m_iCycleTime;
}

// Channels and timings of the i945 and i975X, from an attached window.
void Decode945Window(CIOSpace* mchbar, CMemoryInfo& memory) {
    WindowReader window(mchbar);
    const ChannelChoice choice = ChooseChannel(window);
    memory.m_iChannels = choice.channels;
    Decode945Timing(window.Dword(choice.channelA ? kChannelATiming : kChannelBTiming), memory);
}

void Name945(CNorthBridge& bridge) {
    const uint32_t capabilities = bridge.ReadConfig(0xE4);
    const uint32_t capabilities2 = bridge.ReadConfig(0xE8);
    const uint8_t revision = static_cast<uint8_t>(bridge.ReadConfig(0x08));
    const auto model = [&](const char* text) { FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", text); };
    switch (bridge.GetDeviceID()) {
    case k945P: {
        const bool pOnly = capabilities & (1u << 6);
        const bool reduced = capabilities2 & 1u;
        if (pOnly) model(reduced ? "i945PL" : "i945P");
        else if (reduced) model((capabilities & (1u << 5)) ? "i945GZ" : "i945G");
        const char* stepping = revision == 0x02 || revision == 0x82 ? "A2" : revision == 0x81 ? "A1" : nullptr;
        if (stepping) FormatString(bridge.m_szRevision, sizeof bridge.m_szRevision, "%s", stepping);
        break;
    }
    case k945GM: {
        static constexpr const char* kNames[8] = {nullptr, "i945GM", "i945GMS/GU", "i945PM",
                                                  nullptr, "i945GT", "i943/940GML", nullptr};
        if (const char* name = kNames[Bits(capabilities, 30, 28)]) model(name);
        break;
    }
    case k945GME:
        if (Bits(capabilities, 30, 28) == 2) model("i945GSE");
        break;
    default: break;
    }
}

// Switches the window at register 0x44 on (bit 0) and attaches it; null
// for a base of 0 or all ones, or a window that does not answer.
CIOSpace* AttachAt44(CNorthBridge& bridge, EnableBitSwitch& enable) {
    const uint32_t reg = bridge.ReadConfig(kWindowBaseRegister);
    const uint32_t base = reg & kWindowBaseMask;
    if (!UsableBase(base, kWindowBaseMask)) return nullptr;
    enable.SwitchOn(reg);
    CIOSpace* window = AttachWindow(bridge, base, kWindowSize);
    return WindowReader(window).Answers() ? window : nullptr;
}

// The i945 to i975X: DDR2, the window at 0x44 switched on for the pass,
// channels and timings, and the ratio the family's table gives for the
// bus and DRAM codes of CLKCFG.
template <typename RatioOf>
void Decode945Family(CNorthBridge& bridge, CMemoryInfo& memory, RatioOf ratioOf) {
    memory.m_iMemoryType = MEMORY_TYPE_DDR2;
    EnableBitSwitch enable(bridge, {&bridge, 0, 0, kWindowBaseRegister}, k945WindowEnable);
    CIOSpace* mchbar = AttachAt44(bridge, enable);
    if (!mchbar) return;
    Decode945Window(mchbar, memory);
    const uint32_t clock = WindowReader(mchbar).Dword(kClockConfig);
    SetRatio(memory, ratioOf(Bits(clock, 2, 0), Bits(clock, 6, 4)));
}

} // namespace

void DecodeIntel865(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    const uint32_t clock = bridge->ReadConfig(k865ClockRegister) >> 16;
    bridge->m_iFSBCode = static_cast<int>(Bits(clock, 1, 0));
    SetRatio(*memory, RatioAt(k865Ratios, Bits(clock, 11, 10), Bits(clock, 1, 0)));

    // Device 6 holds the window; it does not answer while it is hidden.
    const ConfigRegister device6Id{nullptr, k865Device6, 0, 0};
    if (static_cast<uint16_t>(device6Id.Read()) != kIntel) return;
    const uint32_t base = ConfigRegister{nullptr, k865Device6, 0, k865WindowBase}.Read() & k865WindowBaseMask;
    if (!UsableBase(base, k865WindowBaseMask)) return;
    const ConfigRegister command{nullptr, k865Device6, 0, kCommandRegister};
    EnableBitSwitch decoding(*bridge, command, kMemorySpaceEnable);
    decoding.SwitchOn(command.Read());
    CIOSpace* mchbar = AttachWindow(*bridge, base, k865WindowSize);

    const uint32_t mode = Bits(ConfigRegister{nullptr, k865Device6, 0, k865Mode}.Read(), 1, 0);
    WindowReader window(mchbar);
    if (!window.Answers()) return;
    const uint32_t timing = window.Dword(k865Timing);
    SetIfListed(memory->m_iCycleTime, CodeValue(k865TRAS, Bits(timing, 9, 7)));
    SetIfListed(memory->m_fCASLatency, FloatCode(k865CL, Bits(timing, 6, 5)));
    SetIfListed(memory->m_iRASToCASDelay, CodeValue(k865TRCDorTRP, Bits(timing, 3, 2)));
    SetIfListed(memory->m_iRASPrecharge, CodeValue(k865TRCDorTRP, Bits(timing, 1, 0)));
    const uint32_t control = window.Dword(k865Control);
    const uint32_t channels = Bits(control, 22, 21);
    if (channels == 0) memory->m_iChannels = 1;
    else if (channels <= 2) memory->m_iChannels = 2;

    // The DRAM row boundaries, in units of 64 MB, at the window's start.
    int rows = 0;
    uint8_t boundaries[k865RowBoundaries] = {};
    CKMDriver* driver = GetSDK()->m_pDriver;
    if (driver && driver->ReadPhysicalMemory(0, base, sizeof boundaries, boundaries)) {
        uint32_t previous = 0;
        for (uint8_t boundary : boundaries) {
            if (boundary * 64u > previous) ++rows;
            previous = boundary * 64u;
        }
    }
    const int fastMode = static_cast<int>(Bits(control, 14, 14));
    if (mode == 1) bridge->m_iPerformanceMode = 0;
    else if (bridge->m_iFSBCode == 2) bridge->m_iPerformanceMode = rows >= 4 ? !fastMode : fastMode;
    else bridge->m_iPerformanceMode = fastMode;
}

void DecodeIntel915(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    const uint16_t id = bridge->GetDeviceID();
    if (id == k915GM) {
        CPCIInterface* pci = GetSDK()->m_pPCI;
        const bool graphics = pci && pci->FindDevicesByID(kIntel, k915GMGraphics, nullptr) > 0;
        FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", graphics ? "i915PM/GM" : "i915GMS/i910GML");
    }
    const uint32_t base = bridge->ReadConfig(kWindowBaseRegister) & kWindowBaseMask;
    if (!UsableBase(base, kWindowBaseMask)) return;
    const ConfigRegister enableRegister{bridge, 0, 0, k915EnableRegister};
    EnableBitSwitch enable(*bridge, enableRegister, k915WindowEnable);
    enable.SwitchOn(enableRegister.Read());
    WindowReader window(AttachWindow(*bridge, base, kWindowSize));
    if (!window.Answers()) return;

    const ChannelChoice choice = ChooseChannel(window);
    memory->m_iChannels = choice.channels;
    const uint32_t timing = window.Dword(choice.channelA ? kChannelATiming : kChannelBTiming);
    const uint32_t control = window.Dword(choice.channelA ? kChannelAControl : kChannelBControl);
    if (id == k925X) {
        memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    } else {
        static constexpr int kTypes[] = {-1, MEMORY_TYPE_DDR, MEMORY_TYPE_DDR2, -1};
        SetIfListed(memory->m_iMemoryType, kTypes[Bits(control, 1, 0)]);
    }
    if (memory->m_iMemoryType != -1) {
        memory->m_iCycleTime = static_cast<int>(Bits(timing, 23, 20));
        const uint32_t cl = Bits(timing, 9, 8);
        SetIfListed(memory->m_fCASLatency,
                    memory->m_iMemoryType == MEMORY_TYPE_DDR2 ? FloatCode(k915DDR2CL, cl) : FloatCode(k915DDRCL, cl));
        SetIfListed(memory->m_iRASToCASDelay, CodeValue(k915TRCDorTRP, Bits(timing, 6, 4)));
        SetIfListed(memory->m_iRASPrecharge, CodeValue(k915TRCDorTRP, Bits(timing, 2, 0)));
    }

    const uint32_t clock = window.Dword(kClockConfig);
    const uint32_t dram = Bits(clock, 5, 4);
    const bool mobile = id == k915GM;
    if (clock & 1u) {
        static constexpr Ratio kDesktop[] = {{1, 1}, {5, 4}, {1, 1}, {1, 2}};
        static constexpr Ratio kMobile[] = {{1, 1}, {4, 5}, {2, 3}, {1, 2}};
        SetRatio(*memory, mobile ? kMobile[dram] : kDesktop[dram]);
    } else if (clock & (1u << 2)) {
        SetRatio(*memory, dram == 2 ? Ratio{4, 3} : Ratio{1, 1});
    } else {
        static constexpr Ratio kDesktop[] = {{1, 1}, {5, 4}, {1, 1}, {3, 4}};
        static constexpr Ratio kMobile[] = {{1, 1}, {3, 5}, {1, 1}, {3, 4}};
        SetRatio(*memory, mobile ? kMobile[dram] : kDesktop[dram]);
    }
}

void DecodeIntel945(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    Name945(*bridge);
    Decode945Family(*bridge, *memory, [](uint32_t bus, uint32_t dram) {
        const uint32_t row = bus >= 1 && bus <= 3 ? bus - 1 : 3;
        return dram >= 1 ? RatioAt(k945Ratios, row, dram - 1) : Ratio{};
    });
}

void DecodeIntel975X(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    Decode945Family(*bridge, *memory, [](uint32_t bus, uint32_t dram) {
        return RatioAt(k975Ratios, bus >= 1 && bus <= 4 ? bus - 1 : 4, dram);
    });
}
