// AMD host bridges by PCI device ID: the processor nodes' DRAM controller
// functions with their generation's decoder, the other node functions
// (named only), AMD's own chipsets and the integrated-graphics bridges of
// the 780G to 890GX, which other functions or a strap tell apart.
#include "sdk/chipset/amd_northbridges.h"

#include <cstdint>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/chipset_lookups.h"
#include "sdk/chipset/memory_decoding.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"

namespace {

constexpr uint16_t kATI = 0x1002;
constexpr uint32_t kStrapRegister = 0x88;  // bits 12:10 tell the 780G/790GX and 785G/880G/890GX apart

void DecodeK8Generation(CChipsetInterface&, CNorthBridge& bridge, CMemoryInfo& memory) {
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    CProcessor* processor = cpu ? cpu->GetProcessor(0) : nullptr;
    if (!processor) return;
    constexpr int32_t kRevisionFModel = 0x40;
    if (processor->GetExtModel() >= kRevisionFModel) DecodeAMDK8RevF(&bridge, &memory);
    else DecodeAMDK8(&bridge, &memory);
}

template <void (*Decoder)(CNorthBridge*, CMemoryInfo*)>
void Decode(CChipsetInterface&, CNorthBridge& bridge, CMemoryInfo& memory) {
    Decoder(&bridge, &memory);
}

template <void (*Decoder)(CNorthBridge*, CMemoryInfo*)>
void NameRevisionAndDecode(CChipsetInterface&, CNorthBridge& bridge, CMemoryInfo& memory) {
    NameAMD76xRevision(&bridge);
    Decoder(&bridge, &memory);
}

void SetModel(CNorthBridge& bridge, const char* model) {
    FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", model);
}

void Name780G(CChipsetInterface&, CNorthBridge& bridge, CMemoryInfo&) {
    SetModel(bridge, FieldBits(bridge.ReadConfig(kStrapRegister), 12, 10) == 4 ? "790GX" : "780G");
    if (PCIDeviceCount(kATI, 0x9614) > 0) SetModel(bridge, "790GX");
}

void Name785G(CChipsetInterface&, CNorthBridge& bridge, CMemoryInfo&) {
    SetModel(bridge, "785GX");
    if (PCIDeviceCount(kATI, 0x9710) > 0) return SetModel(bridge, "785G");
    if (PCIDeviceCount(kATI, 0x9714) > 0) return SetModel(bridge, "890GX");
    if (PCIDeviceCount(kATI, 0x9715) > 0) return SetModel(bridge, "880G");
    switch (FieldBits(bridge.ReadConfig(kStrapRegister), 12, 10)) {
    case 0: SetModel(bridge, "785G"); break;
    case 4: SetModel(bridge, "890GX"); break;
    case 5: SetModel(bridge, "880G"); break;
    default: break;
    }
}

using Action = void (*)(CChipsetInterface&, CNorthBridge&, CMemoryInfo&);

struct AMDBridge {
    uint16_t device;
    const char* model;  // null: the action names it
    Action then = nullptr;
};

constexpr AMDBridge kBridges[] = {
    {0x1100, "K8 Bridge"},
    {0x1101, "K8 Bridge"},
    {0x1102, "K8 Bridge", DecodeK8Generation},
    {0x1103, "K8 Bridge"},
    {0x1200, "K10 Bridge"},
    {0x1201, "K10 Bridge"},
    {0x1202, "K10 Bridge", Decode<DecodeAMDK10>},
    {0x1203, "K10 Bridge"},
    {0x1204, "K10 Bridge"},
    {0x1302, "K11 Bridge", Decode<DecodeAMDK11>},
    {0x1402, "K15 Bridge", Decode<DecodeAMDK15>},
    {0x141C, "K15 Bridge", Decode<DecodeAMDK15>},
    {0x1572, "K15 Bridge", Decode<DecodeAMDK15>},
    {0x1602, "K15 Bridge", Decode<DecodeAMDK15>},
    {0x1410, "K15 IMC"},
    {0x1422, "K15 IMC"},
    {0x1576, "K15 IMC"},
    {0x1510, "K12 IMC"},
    {0x1532, "K16 Bridge", Decode<DecodeAMDK16>},
    {0x1582, "K16 Bridge", Decode<DecodeAMDK16>},
    {0x1536, "K16 IMC"},
    {0x1566, "K16 IMC"},
    {0x1702, "K12/K14 Bridge", Decode<DecodeAMDK12>},
    {0x1705, "K12 Bridge"},
    {0x7006, "AMD-751", NameRevisionAndDecode<DecodeAMD751>},
    {0x700C, "AMD-762", NameRevisionAndDecode<DecodeAMD761>},
    {0x700E, "AMD-761", NameRevisionAndDecode<DecodeAMD761>},
    {0x7454, "AMD-8151"},
    {0x9600, nullptr, Name780G},
    {0x9601, nullptr, Name785G},
};

} // namespace

int IdentifyAMDNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge) {
    if (!chipset || !bridge) return 1;
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "AMD");
    const uint16_t device = bridge->GetDeviceID();
    for (const AMDBridge& entry : kBridges) {
        if (entry.device != device) continue;
        if (entry.model) SetModel(*bridge, entry.model);
        if (entry.then) entry.then(*chipset, *bridge, *chipset->m_pMemoryInfo);
        break;
    }
    return 1;
}
