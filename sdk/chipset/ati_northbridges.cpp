#include "sdk/chipset/ati_northbridges.h"

#include <cstdint>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/chipset_lookups.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_header.h"

namespace {

constexpr uint16_t kATI = 0x1002;
constexpr uint16_t kSB700Family = 0x439D;
constexpr uint8_t kSB800Revision = 0x40;

using Action = void (*)(CChipsetInterface&, CNorthBridge&);

void SetModel(CNorthBridge& bridge, const char* model) {
    FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", model);
}

// The 770 with an SB800-generation southbridge is an 870; some boards
// carry either.
void Name770(CChipsetInterface&, CNorthBridge& bridge) {
    CPCIDevice* southBridge = FirstPCIDevice(kATI, kSB700Family);
    if (southBridge && southBridge->m_pCommonHeader->m_byRevisionID == kSB800Revision) SetModel(bridge, "870");
    if (BaseboardProductContains({"870-C45 (MS-7599)", "870A Fuzion (MS-7660)", "870-G45 (MS-7599)"}))
        SetModel(bridge, "770/870");
}

void NameRS690(CChipsetInterface&, CNorthBridge& bridge) {
    if (PCIDeviceCount(kATI, 0x791E) > 0) SetModel(bridge, "Radeon X1250");
    else if (AnyPCIDevice(kATI, {0x796E, 0x796F})) SetModel(bridge, "Radeon 2100");
    else SetModel(bridge, "RS690/RS690M");
}

template <void (*Decoder)(CNorthBridge*, CMemoryInfo*)>
void Decode(CChipsetInterface& chipset, CNorthBridge& bridge) {
    Decoder(&bridge, chipset.m_pMemoryInfo);
}

struct ATIBridge {
    uint16_t first;
    uint16_t last;
    bool amd;  // the vendor text is "AMD"
    const char* model;
    Action then = nullptr;
};

constexpr ATIBridge kBridges[] = {
    {0x5830, 0x5832, false, "RS300/RS300M"},
    {0x5950, 0x5950, false, "Xpress 200 (RS480)"},
    {0x5951, 0x5951, false, "Xpress 200P (RX480)"},
    {0x5952, 0x5952, false, "Xpress 3200 (RD580)"},
    {0x5953, 0x5953, false, "Xpress 3200P (RX580)"},
    {0x5954, 0x5954, false, "RS482"},
    {0x5955, 0x5955, false, "RS480"},
    {0x5956, 0x5956, true, "790FX"},
    {0x5957, 0x5957, true, "770", Name770},
    {0x5958, 0x5958, true, "790X"},
    {0x5A10, 0x5A10, true, "SR5690"},
    {0x5A11, 0x5A11, true, "890FX"},
    {0x5A12, 0x5A12, true, "SR5670"},
    {0x5A13, 0x5A13, true, "SR5650"},
    {0x5A14, 0x5A14, true, "RD9x0"},
    {0x5A30, 0x5A33, false, "RS400/RC400/RC410", Decode<DecodeATIRS400>},
    {0x7830, 0x7833, false, "RS350"},
    {0x7900, 0x7901, false, "RC610/RC610M"},
    {0x7910, 0x7911, false, nullptr, NameRS690},
    {0x7920, 0x7921, false, "RS700/RS700M"},
    {0x7930, 0x7931, false, "Xpress 1250 (RS600)", Decode<DecodeATIRS600>},
    {0x7950, 0x7950, false, "SC710"},
    {0xCAB0, 0xCAB0, false, "RS100/RS100M", Decode<DecodeATIRS200>},
    {0xCAB2, 0xCAB2, false, "RS200/RS200M", Decode<DecodeATIRS200>},
    {0xCBB2, 0xCBB2, false, "RS200/RS200M", Decode<DecodeATIRS200>},
    {0xCAB3, 0xCAB3, false, "RS250/RS250M", Decode<DecodeATIRS200>},
};

} // namespace

int IdentifyATINorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge) {
    if (!chipset || !bridge) return 0;
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "ATI");
    const uint16_t device = bridge->GetDeviceID();
    for (const ATIBridge& entry : kBridges) {
        if (device < entry.first || device > entry.last) continue;
        if (entry.amd) FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "AMD");
        if (entry.model) SetModel(*bridge, entry.model);
        if (entry.then) entry.then(*chipset, *bridge);
        return 1;
    }
    return 0;
}
