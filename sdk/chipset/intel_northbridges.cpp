// Intel host bridges: the model and stepping of each PCI device id, and
// what identification does with it (a memory-controller decoder, a memory
// type of its own, the board cache of the oldest chipsets, or nothing).
#include "sdk/chipset/intel_northbridges.h"

#include <algorithm>
#include <span>

#include "platform/threads.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

// The i865/i875 device-6 state before the program changed it: -1 until
// such a bridge was identified, then 0 (hidden) or 1 (visible).
int g_iSavedDevice6Enable = -1;

namespace {

constexpr uint16_t kIntel = 0x8086;
constexpr uint32_t kDevice6Register = 0xF4;
constexpr uint32_t kDevice6Enable = 1u << 1;
constexpr uint32_t kDevice6SettleMs = 100;
constexpr uint32_t kSettlePollMs = 1;

struct Identification {
    CChipsetInterface& chipset;
    CNorthBridge& bridge;
    CMemoryInfo& memory;
};
using Action = void (*)(Identification&);

// A stepping text for a revision id, and the model text it brings when
// that revision is a model of its own.
struct Stepping {
    uint8_t revision;
    const char* stepping;
    const char* model = nullptr;
};

// One row per device id range: the model text (null keeps the "ID%04X"
// text), the steppings, and what identification then does.
struct IntelBridge {
    uint16_t first;
    uint16_t last;
    const char* model;
    std::span<const Stepping> steppings;
    Action then;
};

template <void (*Decoder)(CNorthBridge*, CMemoryInfo*)>
void Decode(Identification& id) {
    Decoder(&id.bridge, &id.memory);
}

template <int Type>
void SetMemoryType(Identification& id) {
    id.memory.m_iMemoryType = Type;
}

void Nothing(Identification&) {}

// The mainboard cache: a new descriptor replaces the interface's when the
// decoder found a size; otherwise the old one stays.
template <void (*Decoder)(CNorthBridge*, CMemoryInfo*, CCacheDescriptor*)>
void BoardCache(Identification& id) {
    auto* cache = new CCacheDescriptor;
    Decoder(&id.bridge, &id.memory, cache);
    if (cache->m_iSize == -1) {
        delete cache;
        return;
    }
    delete id.chipset.m_pBoardCache;
    id.chipset.m_pBoardCache = cache;
}

void SetModel(CNorthBridge& bridge, const char* model) {
    FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", model);
}

void I845(Identification& id) {
    if (static_cast<uint8_t>(id.bridge.ReadConfig(0x08)) == 0x11) {
        DecodeIntel845E(&id.bridge, &id.memory);
        return;
    }
    DecodeIntel845(&id.bridge, &id.memory);
    SetModel(id.bridge, id.memory.m_iMemoryType == MEMORY_TYPE_DDR ? "i845D" : "i845");
}

// The i865/i875 keep the memory controller's window in device 6, which the
// firmware usually hides: it is shown (once the state before is kept) and
// the bus rescanned so that the decoder finds it. Rescanning keeps the
// device objects already listed, which the bridges hold.
void I865(Identification& id) {
    const int visible = GetIntel865Device6Enable(&id.bridge);
    if (g_iSavedDevice6Enable == -1) g_iSavedDevice6Enable = visible;
    if (!visible && SetIntel865Device6Enable(&id.bridge, 1))
        if (CPCIInterface* pci = GetSDK()->m_pPCI) pci->ScanBus();
    DecodeIntel865(&id.bridge, &id.memory);
}

void G45(Identification& id) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (pci && pci->FindDevicesByID(kIntel, 0x2E22, nullptr) >= 1) SetModel(id.bridge, "G45/G43");
    DecodeIntelP35(&id.bridge, &id.memory);
}

constexpr Stepping k815[] = {{0x00, "A0"}, {0x01, "A1"}, {0x02, "A2"}, {0x04, "B"},
                             {0x10, "A0", "i815EM"}, {0x11, "A1", "i815EM"}};
constexpr Stepping k840[] = {{0x00, "A0"}};
constexpr Stepping k845[] = {{0x03, "A3"}, {0x11, "E0", "i845E"}};
constexpr Stepping k820[] = {{0x03, "B1"}, {0x04, "B2"}};
constexpr Stepping k850[] = {{0x02, "A2"}, {0x04, "A3"}};
constexpr Stepping kA3[] = {{0x04, "A3"}};
constexpr Stepping kE7500[] = {{0x02, "A2"}, {0x03, "A3"}};
constexpr Stepping kA1[] = {{0x01, "A1"}};
constexpr Stepping kB0[] = {{0x03, "B0"}};
constexpr Stepping k845G[] = {{0x01, "A1"}, {0x02, "B0"}, {0x03, "B1"}};
constexpr Stepping kA2[] = {{0x02, "A2"}};
constexpr Stepping k915[] = {{0x04, "B1"}, {0x05, "B2"}};
constexpr Stepping k925X[] = {{0x04, "B1"}, {0x05, "B2"}, {0x0E, "C2", "i925XE"}};
constexpr Stepping kA0[] = {{0x00, "A0"}};
constexpr Stepping kG45[] = {{0x02, "A2"}, {0x03, "A3"}};
constexpr Stepping kRevA3[] = {{0x03, "A3"}};
constexpr Stepping k855PM[] = {{0x03, "A3"}, {0x21, "B1"}};
constexpr Stepping k830MP[] = {{0x00, "A0"}, {0x02, "A4"}, {0x03, "A5"}, {0x04, "A6"}};
constexpr Stepping k852GM[] = {{0x01, "A1", "i852GM"}, {0x02, "A2", "i855GM/GME"}};
constexpr Stepping kE7520[] = {{0x09, "C1"}, {0x0A, "C2"}, {0x0C, "C4"}};
constexpr Stepping k5400[] = {{0x20, "C0"}};
constexpr Stepping k810[] = {{0x02, "A2"}, {0x03, "A3"}};
constexpr Stepping k810E[] = {{0x03, "A3"}};
constexpr Stepping k440BX[] = {{0x02, "B1"}, {0x03, "C1"}};

constexpr IntelBridge kBridges[] = {
    {0x0040, 0x0040, "Havendale/Clarkdale Host Bridge", {}, Decode<DecodeIntelClarkdale>},
    {0x0044, 0x0045, "Havendale/Clarkdale Host Bridge", {}, Decode<DecodeIntelClarkdale>},
    {0x0100, 0x0100, "Sandy Bridge", {}, Decode<DecodeIntelSandyBridge>},
    {0x0104, 0x0104, "Sandy Bridge", {}, Decode<DecodeIntelSandyBridge>},
    {0x0108, 0x0108, "Sandy Bridge-WS", {}, Decode<DecodeIntelSandyBridge>},
    {0x0150, 0x0150, "Ivy Bridge", {}, Decode<DecodeIntelIvyBridge>},
    {0x0154, 0x0154, "Ivy Bridge", {}, Decode<DecodeIntelIvyBridge>},
    {0x0158, 0x0158, "Ivy Bridge", {}, Decode<DecodeIntelIvyBridge>},
    {0x04A3, 0x04A3, "i430LX", {}, BoardCache<DecodeIntel430LX>},
    {0x08C0, 0x08C0, "Atom Host Bridge", {}, Decode<DecodeIntelAtom08C0>},
    {0x0A04, 0x0A04, "Haswell-ULT", {}, Decode<DecodeIntelHaswell>},
    {0x0BF2, 0x0BF2, "Atom Host Bridge", {}, Decode<DecodeIntelAtom0BF2>},
    {0x0BF5, 0x0BF5, "Atom Host Bridge", {}, Decode<DecodeIntelAtom0BF2>},
    {0x0C00, 0x0C00, "Haswell", {}, Decode<DecodeIntelHaswell>},
    {0x0C04, 0x0C04, "Haswell", {}, Decode<DecodeIntelHaswell>},
    {0x0C08, 0x0C08, "Haswell-WS", {}, Decode<DecodeIntelHaswell>},
    {0x0D00, 0x0D00, "Crystal Well", {}, Decode<DecodeIntelHaswell>},
    {0x0D04, 0x0D04, "Crystal Well", {}, Decode<DecodeIntelHaswell>},
    {0x0E00, 0x0E00, "Ivy Bridge-E", {}, Decode<DecodeIntelIvyBridgeE>},
    {0x0F00, 0x0F03, "Bay Trail Host Bridge", {}, Decode<DecodeIntelBayTrail>},
    {0x1130, 0x1130, "i815/E/EP", k815, Decode<DecodeIntel815>},
    {0x122D, 0x122D, "i430FX", {}, Nothing},
    {0x1237, 0x1237, "i440FX", {}, Decode<DecodeIntel440FX>},
    {0x1250, 0x1250, "i430HX", {}, Nothing},
    {0x1604, 0x1604, "Broadwell-U", {}, Decode<DecodeIntelHaswell>},
    {0x190C, 0x190C, "Skylake-U", {}, Decode<DecodeIntelHaswell>},
    {0x1A21, 0x1A21, "i840", k840, Decode<DecodeIntel840>},
    {0x1A30, 0x1A30, "i845", k845, I845},
    {0x2500, 0x2500, "i820", k820, Nothing},
    {0x2530, 0x2530, "i850/i850E", k850, Decode<DecodeIntel850>},
    {0x2531, 0x2531, "i860", kA3, Decode<DecodeIntel850>},
    {0x2540, 0x2540, "E7500", kE7500, Decode<DecodeIntelE7500>},
    {0x254C, 0x254C, "E7501", kA1, Decode<DecodeIntelE7500>},
    {0x2550, 0x2550, "E7505", kB0, SetMemoryType<MEMORY_TYPE_DDR>},
    {0x255D, 0x255D, "E7205", kB0, Decode<DecodeIntelE7205>},
    {0x2560, 0x2560, "i845G", k845G, Decode<DecodeIntel845G>},
    {0x2570, 0x2570, "i865P/PE/G/i848P", kA2, I865},
    {0x2578, 0x2578, "i875P", kA2, I865},
    {0x2580, 0x2580, "i915P/i915G", k915, Decode<DecodeIntel915>},
    {0x2584, 0x2584, "i925X", k925X, Decode<DecodeIntel915>},
    {0x2588, 0x2588, "E7221", {}, Nothing},
    {0x2590, 0x2590, "i915PM/GM/GMS", k915, Decode<DecodeIntel915>},
    {0x25C0, 0x25C0, "5000X", {}, Decode<DecodeIntel5000>},
    {0x25D0, 0x25D0, "5000Z", {}, Decode<DecodeIntel5000>},
    {0x25D4, 0x25D4, "5000V", {}, Decode<DecodeIntel5000>},
    {0x25D8, 0x25D8, "5000P", {}, Decode<DecodeIntel5000>},
    {0x2600, 0x2600, "E8500", {}, SetMemoryType<MEMORY_TYPE_DDR2>},
    {0x2770, 0x2770, "i945P/PL/G/GZ", {}, Decode<DecodeIntel945>},
    {0x2774, 0x2774, "i955X", {}, Decode<DecodeIntel945>},
    {0x2778, 0x2778, "E7230", {}, Decode<DecodeIntel945>},
    {0x277C, 0x277C, "i975X", kA0, Decode<DecodeIntel975X>},
    {0x27A0, 0x27A0, "i945PM/GM/GT/i940GML", {}, Decode<DecodeIntel945>},
    {0x27AC, 0x27AC, "i945GME", {}, Decode<DecodeIntel945>},
    {0x2970, 0x2970, "P965/Q965/G965", {}, Decode<DecodeIntel965>},
    {0x2980, 0x2980, "P965/Q965/G965", {}, Decode<DecodeIntel965>},
    {0x2990, 0x2990, "P965/Q965/G965", {}, Decode<DecodeIntel965>},
    {0x29A0, 0x29A0, "P965/Q965/G965", {}, Decode<DecodeIntel965>},
    {0x29B0, 0x29B0, "P35/G33", kA2, Decode<DecodeIntelP35>},
    {0x29C0, 0x29C0, "P35/G33", kA2, Decode<DecodeIntelP35>},
    {0x29D0, 0x29D0, "P35/G33", kA2, Decode<DecodeIntelP35>},
    {0x29E0, 0x29E0, "P35/G33", kA2, Decode<DecodeIntelP35>},
    {0x29F0, 0x29F0, "S3200/S3210", {}, Nothing},
    {0x2A00, 0x2A00, "GL960/GM965/PM965", {}, Decode<DecodeIntelGM965>},
    {0x2A10, 0x2A10, "GL960/GM965/PM965", {}, Decode<DecodeIntelGM965>},
    {0x2A40, 0x2A40, "GL40/GM45/GS45/PM45", {}, Decode<DecodeIntelGM965>},
    {0x2C1C, 0x2C1C, nullptr, {}, Decode<DecodeIntelNehalem>},
    {0x2C61, 0x2C61, nullptr, {}, Decode<DecodeIntelNehalemUncore>},
    {0x2C9C, 0x2C9C, nullptr, {}, Decode<DecodeIntelNehalem>},
    {0x2D9C, 0x2D9C, nullptr, {}, Decode<DecodeIntelNehalem>},
    {0x2E10, 0x2E10, "Q45/Q43", {}, Decode<DecodeIntelP35>},
    {0x2E20, 0x2E20, "P45/P43/G45/G43", kG45, G45},
    {0x2E30, 0x2E30, "G41", kRevA3, Decode<DecodeIntelP35>},
    {0x2E40, 0x2E40, "B43", {}, Decode<DecodeIntelP35>},
    {0x2F00, 0x2F00, "Haswell-E", {}, Decode<DecodeIntelHaswellE>},
    {0x3340, 0x3340, "i855PM", k855PM, Decode<DecodeIntel855PM>},
    {0x3400, 0x3400, "X58", {}, Nothing},
    {0x3403, 0x3403, "5500", {}, Nothing},
    {0x3405, 0x3405, "X58", {}, Nothing},
    {0x3406, 0x3406, "5520", {}, Nothing},
    {0x3407, 0x3407, "7500", {}, Nothing},
    {0x3575, 0x3575, "i830MP", k830MP, SetMemoryType<MEMORY_TYPE_SDRAM>},
    {0x3580, 0x3580, "i852GM/i855GM", k852GM, Decode<DecodeIntel852GM>},
    {0x358C, 0x358C, "i854", {}, Decode<DecodeIntel852GM>},
    {0x3590, 0x3590, "E7520", kE7520, Decode<DecodeIntelE7520>},
    {0x3592, 0x3592, "E7320", {}, Decode<DecodeIntelE7520>},
    {0x359E, 0x359E, "E7525", {}, Decode<DecodeIntelE7520>},
    {0x35B0, 0x35B0, "3100", {}, Decode<DecodeIntelE7520>},
    {0x3600, 0x3600, "7300", {}, Decode<DecodeIntel5400>},
    {0x3C00, 0x3C00, "Sandy Bridge-E", {}, Decode<DecodeIntelSandyBridgeE>},
    {0x4001, 0x4001, "5400", k5400, Decode<DecodeIntel5400>},
    {0x4003, 0x4003, "5400", k5400, Decode<DecodeIntel5400>},
    {0x65C0, 0x65C0, "5100", {}, Decode<DecodeIntel5100>},
    {0x7030, 0x7030, "i430VX", {}, Nothing},
    {0x7100, 0x7100, "i430TX", {}, BoardCache<DecodeIntel430TX>},
    {0x7120, 0x7120, "i810", k810, Decode<DecodeIntel810>},
    {0x7122, 0x7122, "i810", k810, Decode<DecodeIntel810>},
    {0x7124, 0x7125, "i810E", k810E, Decode<DecodeIntel810>},
    {0x7180, 0x7180, "i440LX", {}, Decode<DecodeIntel440LX>},
    {0x7190, 0x7190, "i440BX/ZX", k440BX, Decode<DecodeIntel440BX>},
    {0x7192, 0x7192, "i440BX/ZX", k440BX, Decode<DecodeIntel440BX>},
    {0x7194, 0x7194, "i440MX", {}, Decode<DecodeIntel440BX>},
    {0x71A0, 0x71A0, "i440GX", {}, Decode<DecodeIntel440BX>},
    {0x71A2, 0x71A2, "i440GX", {}, Decode<DecodeIntel440BX>},
    {0x8100, 0x8100, "US15W", {}, Decode<DecodeIntelUS15W>},
    {0x8101, 0x8101, "UL11L/US15L", {}, Decode<DecodeIntelUS15W>},
    {0x8102, 0x8107, "US15W", {}, Decode<DecodeIntelUS15W>},
    {0x84CA, 0x84CA, "i450NX", {}, SetMemoryType<MEMORY_TYPE_EDO>},
    {0xA000, 0xA000, "Atom Host Bridge", {}, Decode<DecodeIntelP35>},
    {0xA010, 0xA010, "Atom Host Bridge", {}, Decode<DecodeIntelP35>},
    {0xD130, 0xD132, "DMI Host Bridge", {}, Nothing},
    {0xD134, 0xD134, "DMI Host Bridge", {}, Nothing},
};

constexpr bool SortedWithoutOverlap() {
    for (size_t i = 0; i < std::size(kBridges); ++i) {
        if (kBridges[i].first > kBridges[i].last) return false;
        if (i > 0 && kBridges[i - 1].last >= kBridges[i].first) return false;
    }
    return true;
}
static_assert(SortedWithoutOverlap(), "the Intel bridge rows are sorted by device id and do not overlap");

const IntelBridge* FindBridge(uint16_t device) {
    const auto* row = std::lower_bound(std::begin(kBridges), std::end(kBridges), device,
                                       [](const IntelBridge& bridge, uint16_t id) { return bridge.last < id; });
    return row != std::end(kBridges) && row->first <= device ? row : nullptr;
}

// Waits up to `boundMs` for the device-6 bit to read `wanted`.
bool Device6Takes(CNorthBridge& bridge, bool wanted, uint32_t boundMs) {
    for (uint32_t waited = 0;; waited += kSettlePollMs) {
        if (((bridge.ReadConfig(kDevice6Register) & kDevice6Enable) != 0) == wanted) return true;
        if (waited >= boundMs) return false;
        Sleep(kSettlePollMs);
    }
}

} // namespace

int IdentifyIntelNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge) {
    if (!chipset || !bridge || !bridge->m_pDevice) return 1;
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "%s", "Intel");
    const IntelBridge* row = FindBridge(bridge->GetDeviceID());
    if (!row) return 1;
    if (row->model) SetModel(*bridge, row->model);
    const uint8_t revision = bridge->m_pDevice->m_pCommonHeader->m_byRevisionID;
    for (const Stepping& stepping : row->steppings) {
        if (stepping.revision != revision) continue;
        FormatString(bridge->m_szRevision, sizeof bridge->m_szRevision, "%s", stepping.stepping);
        if (stepping.model) SetModel(*bridge, stepping.model);
    }
    if (chipset->m_pMemoryInfo) {
        Identification id{*chipset, *bridge, *chipset->m_pMemoryInfo};
        row->then(id);
    }
    return 1;
}

void RestoreIntelNorthBridge(CChipsetInterface*, CNorthBridge* bridge) {
    if (!bridge || g_iSavedDevice6Enable == -1) return;
    const uint16_t device = bridge->GetDeviceID();
    if (device == 0x2570 || device == 0x2578) SetIntel865Device6Enable(bridge, g_iSavedDevice6Enable);
}

int GetIntel865Device6Enable(CNorthBridge* bridge) {
    return bridge && (bridge->ReadConfig(kDevice6Register) & kDevice6Enable) ? 1 : 0;
}

int SetIntel865Device6Enable(CNorthBridge* bridge, int enable) {
    if (!bridge) return 0;
    const uint32_t value = bridge->ReadConfig(kDevice6Register);
    bridge->WriteConfig(kDevice6Register, enable ? value | kDevice6Enable : value & ~kDevice6Enable);
    return Device6Takes(*bridge, enable != 0, kDevice6SettleMs) ? 1 : 0;
}

void DecodeIntel430LX(CNorthBridge* bridge, CMemoryInfo*, CCacheDescriptor* cache) {
    if (!bridge || !cache) return;
    static constexpr int kSizes[] = {-1, -1, 256, 512};
    const int size = kSizes[(bridge->ReadConfig(0x50) >> 22) & 3];  // bits 7:6 of register 0x52
    if (size != -1) cache->m_iSize = size;
}

void DecodeIntel430TX(CNorthBridge* bridge, CMemoryInfo* memory, CCacheDescriptor* cache) {
    if (!bridge) return;
    static constexpr int kSizes[] = {-1, 256, 512, -1};
    const int size = kSizes[(bridge->ReadConfig(0x50) >> 22) & 3];  // bits 7:6 of register 0x52
    if (cache && size != -1) cache->m_iSize = size;
    if (!memory) return;
    const uint32_t rowType = bridge->ReadConfig(0x68);
    static constexpr int kTypes[] = {MEMORY_TYPE_FPG, MEMORY_TYPE_EDO, MEMORY_TYPE_SDRAM, -1};
    const int type = kTypes[((rowType >> 3) & 2) | (rowType & 1)];
    if (type != -1) memory->m_iMemoryType = type;
}
