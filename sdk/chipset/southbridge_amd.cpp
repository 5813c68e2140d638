// ATI and AMD southbridges: the SB200 to SB950 line, the AMD-75x/76x/8111
// companions and the FCH, whose model needs the revision of its SMBus
// function and an ID byte behind the power-management registers.
#include "sdk/chipset/amd_pm_register_command.h"
#include "sdk/chipset/chipset_lookups.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/chipset/southbridges.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_header.h"

namespace {

constexpr uint16_t kATI = 0x1002;
constexpr uint16_t kAMD = 0x1022;
constexpr uint16_t kSB700Family = 0x439D;
constexpr uint16_t kSB750Sata = 0x4393;
constexpr uint16_t kFCH = 0x780E;
constexpr uint16_t kFCHSMBus = 0x780B;
constexpr uint16_t kSB910Bridge = 0x5A14;

// Bit 0 of dword 0x9C of the LPC function (00:14.3) marks the SB750/SB850.
constexpr uint32_t kLPCDevice = 20;
constexpr uint32_t kLPCFunction = 3;
constexpr uint32_t kLPCStrapRegister = 0x9C;

// The FCH ID byte: PM register 0xC8 bit 5 opens the index at 0xD8, whose
// entry 0x1E is read at 0xD9.
constexpr uint8_t kPMMiscControl = 0xC8;
constexpr uint8_t kPMMiscIndexEnable = 0x20;
constexpr uint8_t kPMMiscIndex = 0xD8;
constexpr uint8_t kPMMiscData = 0xD9;
constexpr uint8_t kFCHIdEntry = 0x1E;
constexpr uint8_t kLastA55Revision = 0x14;

constexpr SouthBridgeModel kATIModels[] = {
    {0x434C, "SB200"}, {0x436C, "SB300"}, {0x4377, "SB400"}, {0x438D, "SB600"}};

constexpr SouthBridgeModel kAMDModels[] = {
    {0x2080, "CS5536"},  {0x7400, "AMD-755"},  {0x7408, "AMD-756"},   {0x7410, "AMD-766"},
    {0x7440, "AMD-768"}, {0x7468, "AMD-8111"}, {0x790E, "Carrizo FCH"}};

struct FCHModel {
    uint8_t id;
    const char* model;
};
constexpr FCHModel kFCHModels[] = {
    {0x00, "Kabini FCH"}, {0x0A, "A55 FCH"},  {0x0B, "A75 FCH"},  {0x0C, "A85X FCH"},  {0x21, "A76M FCH"},
    {0x22, "A78 FCH"},    {0x23, "A88X FCH"}, {0x25, "A58 FCH"},  {0x26, "A77E FCH"},  {0x27, "A68H FCH"}};

bool LPCStrapSet() {
    uint32_t value = 0;
    ReadPCIConfigAt(0, kLPCDevice, kLPCFunction, kLPCStrapRegister, &value);
    return value & 1;
}

// The SB700 family by the PCI revision ID: 0x3x SB700/SB750, 0x4x
// SB800/SB850, others SB700.
void NameBySB700Revision(CSouthBridge* bridge) {
    SetSouthBridgeModel(bridge, "SB700");
    const uint8_t revision = SouthBridgeRevisionID(bridge);
    if (revision >= 0x30 && revision < 0x40) {
        if (LPCStrapSet() || PCIDeviceCount(kATI, kSB750Sata) > 0) SetSouthBridgeModel(bridge, "SB750");
    } else if (revision >= 0x40 && revision < 0x50) {
        SetSouthBridgeModel(bridge, LPCStrapSet() ? "SB850" : "SB800");
    }
}

// An ATI 0x439D: the revision rule, then the chipsets that carry the same
// LPC function (later rules win).
void NameATISB700Family(CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "AMD");
    NameBySB700Revision(bridge);
    if (AnyPCIDevice(kATI, {0x9802, 0x9803, 0x9804, 0x9805})) SetSouthBridgeModel(bridge, "A40/A50 Series FCH");
    if (PCIDeviceCount(kATI, kSB910Bridge) > 0)
        SetSouthBridgeModel(bridge, BaseboardProductContains({"SABERTOOTH 990FX"}) ? "SB950" : "SB910/950");
    if (AnyPCIDevice(kATI, {0x5A10, 0x5A12, 0x5A13})) SetSouthBridgeModel(bridge, "SP 5100");
}

// Switches the ID index on and selects the ID entry; both changes are
// commands of the root, put back at close.
uint8_t ReadFCHIdByte() {
    BRENIKSDK* sdk = GetSDK();
    auto* indexEnable = new AMD_PM_RegisterCommand(kPMMiscControl, 0xFF, kPMMiscIndexEnable);
    auto* indexSelect = new AMD_PM_RegisterCommand(kPMMiscIndex, 0x00, kFCHIdEntry);
    sdk->m_pCommands->AddTail(indexEnable);
    sdk->m_pCommands->AddTail(indexSelect);
    indexEnable->Save();
    indexEnable->Enable();
    indexSelect->Save();
    indexSelect->Enable();
    uint8_t id = 0xFF;
    AMD_PM_RegisterCommand::ReadRegister(kPMMiscData, &id);
    return id;
}

void NameFCH(CSouthBridge* bridge) {
    SetSouthBridgeModel(bridge, "A5x/A6x/A7x/A8x FCH");
    CPCIDevice* smbus = FirstPCIDevice(kAMD, kFCHSMBus);
    if (!smbus) return;
    const uint8_t revision = smbus->m_pCommonHeader->m_byRevisionID;
    FormatString(bridge->m_szRevision, sizeof bridge->m_szRevision, "%X.%X", revision >> 3, revision & 7);
    SetSouthBridgeModel(bridge, revision <= kLastA55Revision ? "A55/A75/A85X FCH" : "A58/A76/A77/A88X FCH");
    if (!GetSDK()->m_pDriver) return;
    const uint8_t id = ReadFCHIdByte();
    for (const FCHModel& entry : kFCHModels)
        if (entry.id == id) return SetSouthBridgeModel(bridge, entry.model);
    char model[CSouthBridge::kNameSize];
    FormatString(model, sizeof model, "AMD %02X FCH", id);
    SetSouthBridgeModel(bridge, model);
}

} // namespace

void NameATISouthBridge(CChipsetInterface*, CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "ATI");
    NameSouthBridgeByTable(bridge, kATIModels);
    if (SouthBridgeDeviceID(bridge) == kSB700Family) NameATISB700Family(bridge);
}

void NameAMDSouthBridge(CChipsetInterface*, CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "AMD");
    NameSouthBridgeByTable(bridge, kAMDModels);
    switch (SouthBridgeDeviceID(bridge)) {
    case kSB700Family:
        NameBySB700Revision(bridge);
        if (BaseboardProductContains({"870-C45 (MS-7599)", "870A Fuzion (MS-7660)", "870-G45 (MS-7599)"}))
            SetSouthBridgeModel(bridge, "SB710");
        break;
    case kFCH: NameFCH(bridge); break;
    default: break;
    }
}
