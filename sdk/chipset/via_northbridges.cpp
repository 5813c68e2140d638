// VIA host bridges: the model of each PCI device id and its decoder. The
// KT133 family and the KT400 family tell their members apart by revision
// id (and the KT600 by its newer southbridge); the PM880 and P4M800 Pro
// are named CN400 and CN700 beside a VIA C3 or C7 processor.
#include "sdk/chipset/via_northbridges.h"

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/decoder_fields.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/hw/pci_device.h"

namespace {

struct Identification {
    CChipsetInterface& chipset;
    CNorthBridge& bridge;
    CMemoryInfo& memory;
};
using Action = void (*)(Identification&);

// One device id: the model text and what identification then does.
struct VIABridge {
    uint16_t device;
    const char* model;
    Action then;
};

void SetModel(CNorthBridge& bridge, const char* model) {
    FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", model);
}

uint8_t Revision(const CNorthBridge& bridge) { return bridge.m_pDevice->m_pCommonHeader->m_byRevisionID; }

void Nothing(Identification&) {}

template <void (*Decoder)(CNorthBridge*, CMemoryInfo*)>
void Decode(Identification& id) {
    Decoder(&id.bridge, &id.memory);
}

// The mainboard cache: a new descriptor replaces the interface's when the
// decoder found a size; otherwise the old one stays.
void ApolloVP3(Identification& id) {
    auto* cache = new CCacheDescriptor;
    DecodeVIAApolloVP3(&id.bridge, &id.memory, cache);
    if (cache->m_iSize == -1) {
        delete cache;
        return;
    }
    delete id.chipset.m_pBoardCache;
    id.chipset.m_pBoardCache = cache;
}

// Processor 0 is a VIA C3 or C7.
bool ViaC3OrC7() {
    constexpr uint32_t kC3 = 0x8000800;
    constexpr uint32_t kC7 = 0x8001000;
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    CProcessor* processor = cpu ? cpu->GetProcessor(0) : nullptr;
    return processor && (processor->HasClassFlags(kC3) || processor->HasClassFlags(kC7));
}

void PM880(Identification& id) {
    if (ViaC3OrC7()) SetModel(id.bridge, "CN400");
    DecodeVIAPT880(&id.bridge, &id.memory);
}

void P4M800Pro(Identification& id) {
    if (ViaC3OrC7()) SetModel(id.bridge, "CN700");
    DecodeVIAP4M800Pro(&id.bridge, &id.memory);
}

// The integrated-graphics members carry revisions 0x8x; among the others
// the KT133 has a low nibble below 3.
void KT133(Identification& id) {
    const uint8_t revision = Revision(id.bridge);
    if ((revision >> 4) == 8)
        SetModel(id.bridge, "KL133/KM133/KN133");
    else if ((revision & 0x0F) < 3)
        SetModel(id.bridge, "KT133");
    else
        SetModel(id.bridge, "KT133A");
    DecodeVIAKT133(&id.bridge, &id.memory);
}

// The KT400 (before revision 0x80) and its successors on the same device
// id: a VT8237 or later southbridge makes a KT600 of the KT400A.
void KT400(Identification& id) {
    constexpr uint16_t kVT8237 = 0x3227;
    if (Revision(id.bridge) < 0x80) {
        SetModel(id.bridge, "KT400 (VT8377)");
        DecodeVIAKT400(&id.bridge, &id.memory);
        return;
    }
    const CSouthBridge* south = id.chipset.m_pSouthBridge;
    const bool newSouthBridge = south && south->m_pDevice && south->m_pDevice->GetDeviceID() >= kVT8237;
    SetModel(id.bridge, newSouthBridge ? "KT600" : "KT400A");
    DecodeVIAKT400A(&id.bridge, &id.memory);
}

constexpr VIABridge kBridges[] = {
    {0x0204, "K8M400 (VT8380)", Nothing},
    {0x0238, "K8T890", Nothing},
    {0x0258, "PT880", Decode<DecodeVIAPT880>},
    {0x0259, "PM880", PM880},
    {0x0269, "KT880", Decode<DecodeVIAPT880>},
    {0x0282, "K8T800 Pro", Nothing},
    {0x0296, "P4M800", Decode<DecodeVIAP4M800>},
    {0x0305, "KT133", KT133},
    {0x0308, "PT880 Pro", Decode<DecodeVIAPT880Pro>},
    {0x0314, "P4M800 Pro/P4M800 CE/VN800/CN700", P4M800Pro},
    {0x0324, "CX700/VX700 Series SP", Decode<DecodeVIACX700>},
    {0x0327, "P4M890", Decode<DecodeVIAP4M890>},
    {0x0336, "K8M890CE", Nothing},
    {0x0351, "K8T900", Nothing},
    {0x0353, "MSP VX800/VX820", Decode<DecodeVIAVX800>},
    {0x0364, "P4M900/CN896/VN896/PT890", Decode<DecodeVIAP4M900>},
    {0x0391, "KX133", Decode<DecodeVIAKT133>},
    {0x0409, "MSP VX855/VX875", Decode<DecodeVIAVX800>},
    {0x0410, "MSP VX900/VX900M", Decode<DecodeVIAVX900>},
    {0x0419, "MSP VN1000/VN1000M", Decode<DecodeVIAVN1000>},
    {0x0501, "Apollo MVP4 (VT8501)", Nothing},
    {0x0585, "VPX", Nothing},
    {0x0597, "Apollo VP3", ApolloVP3},
    {0x0598, "Apollo MVP3", ApolloVP3},
    {0x0601, "Apollo PLE133 (VT8601)", Nothing},
    {0x0605, "Apollo Pro133Z/PM133", Nothing},
    {0x0691, "Apollo Pro", Decode<DecodeVIAApolloPro>},
    {0x0693, "Apollo Pro +", Decode<DecodeVIAApolloPro>},
    {0x3091, "Apollo Pro 266 (VT8633)", Decode<DecodeVIAApolloPro266>},
    {0x3099, "KT266/333", Decode<DecodeVIAKT266>},
    {0x3101, "Apollo Pro 266T (VT8653)", Decode<DecodeVIAApolloPro266>},
    {0x3102, "Apollo KLE133 (VT8361)", Decode<DecodeVIAKT133>},
    {0x3112, "Apollo KLE133 (VT8361)", Decode<DecodeVIAKT133>},
    {0x3116, "P4M266/KM266 (VT8375)", Decode<DecodeVIAKT266>},
    {0x3122, "KN133 (VT8362)", Decode<DecodeVIAKT133>},
    {0x3123, "CLE266 (VT8623)", Nothing},
    {0x3128, "P4X266 (VT8753)", Decode<DecodeVIAKT266>},
    {0x3148, "P4M266 (VT8751)", Decode<DecodeVIAKT266>},
    {0x3156, "P4N266/KN266 (VT8372)", Decode<DecodeVIAKT266>},
    {0x3158, "P4N266", Decode<DecodeVIAKT266>},
    {0x3168, "PT800 (VT8754)", Decode<DecodeVIAPT800>},
    {0x3188, "K8T800 (VT8383)", Nothing},
    {0x3189, "KT400 (VT8377)", KT400},
    {0x3202, "K8N400", Nothing},
    {0x3204, "K8M400 (VT8380)", Nothing},
    {0x3205, "KM400", Decode<DecodeVIAKT400>},
    {0x3456, "VX11", Decode<DecodeVIAVX11>},
    {0xA208, "PT890", Decode<DecodeVIAPT880>},
};

static_assert(decoder_fields::SortedByDevice(kBridges), "the VIA bridge rows are sorted by device id");

} // namespace

int IdentifyVIANorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge) {
    if (!chipset || !bridge || !bridge->m_pDevice) return 0;
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "%s", "VIA");
    const VIABridge* row = decoder_fields::FindByDevice(kBridges, bridge->GetDeviceID());
    if (!row) return 0;
    SetModel(*bridge, row->model);
    if (chipset->m_pMemoryInfo) {
        Identification id{*chipset, *bridge, *chipset->m_pMemoryInfo};
        row->then(id);
    }
    return 1;
}
