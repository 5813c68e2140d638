#include "sdk/display/display_interface.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api.h"
#include "sdk/display/display_api_creation.h"
#include "sdk/display/edid.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint8_t kDisplayControllerClass = 0x03;

struct BoardVendor {
    uint16_t subsystemVendor;
    const char* name;
};

const BoardVendor BoardVendorTable[] = {
    {0x0721, "Sapphire, Inc."},
    {0x1002, "Advanced Micro Devices Inc. (AMD)"},
    {0x1022, "Advanced Micro Devices Inc. (AMD)"},
    {0x1043, "ASUSTeK Computer Inc."},
    {0x1092, "Diamond"},
    {0x10B0, "CardExpert Technology"},
    {0x10DE, "NVIDIA Corporation"},
    {0x1179, "Toshiba"},
    {0x1458, "GIGABYTE Technology"},
    {0x1462, "Micro-Star International Co., Ltd. (MSI)"},
    {0x148C, "PowerColor"},
    {0x1545, "Visiontek"},
    {0x1554, "Prolink Microsystems Corp."},
    {0x1558, "Clevo"},
    {0x1569, "Palit Microsystems"},
    {0x1682, "XFX Pine Group Inc."},
    {0x16F3, "Jetway"},
    {0x1775, "General Electric"},
    {0x1787, "Hightech Information System Ltd. (HIS)"},
    {0x17AA, "Lenovo"},
    {0x1849, "ASRock Inc."},
    {0x18BC, "GeCube"},
    {0x196D, "Club 3D"},
    {0x19DA, "ZOTAC International Ltd."},
    {0x1B0A, "Pegatron"},
    {0x2A15, "3D Vision"},
    {0x3842, "EVGA Corp."},
    {0x8086, "Intel Corporation"},
};

void NameBoardVendor(CDisplayAdapter* adapter, CPCIDevice* pci) {
    const unsigned subVendor = unsigned(pci->GetSubVendorID()) & 0xFFFF;
    const unsigned subSystem = unsigned(pci->GetSubSystemID()) & 0xFFFF;
    FormatString(adapter->BoardVendor, sizeof adapter->BoardVendor, "0x%04X (0x%04X)", subVendor, subSystem);
    for (const BoardVendor& row : BoardVendorTable)
        if (row.subsystemVendor == subVendor)
            FormatString(adapter->BoardVendor, sizeof adapter->BoardVendor, "%s", row.name);
}

} // namespace

CDisplayInterface::CDisplayInterface(uint32_t flags)
    : CInterface(INTERFACE_DISPLAY), Adapters(new CTList<CDevice>), APIs(new CTList<CDisplayAPI>), Flags(flags),
      Monitors(new CTList<_EDID_INFOS>) {}

CDisplayInterface::~CDisplayInterface() {
    delete Adapters;
    APIs->DeleteAll();
    delete APIs;
    Monitors->FreeAll();
    delete Monitors;
}

void CDisplayInterface::DropAdapters() {
    CTListIterator<CDevice> it(Adapters);
    for (CDevice* adapter = it.GetFirst(); adapter; adapter = it.GetNext()) GetSDK()->RemoveDevice(adapter);
    Adapters->DeleteAll();
}

void CDisplayInterface::DropAPIs() {
    CTListIterator<CDisplayAPI> it(APIs);
    for (CDisplayAPI* api = it.GetFirst(); api; api = it.GetNext()) api->Release();
    APIs->DeleteAll();
}

// One adapter per PCI display controller, in the order of the device list.
void CDisplayInterface::CreateAdapters() {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    CDisplayAPI generic(DISPLAY_API_GENERIC);
    CTList<CDevice> functions;
    pci->FindDevicesByClass(kDisplayControllerClass, -1, &functions);
    CTListIterator<CDevice> it(&functions);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* function = static_cast<CPCIDevice*>(device);
        auto* adapter = new CDisplayAdapter;
        adapter->AddChild(function);
        generic.FindDisplayDevice(function->GetVendorID(), function->GetDeviceID(), adapter);
        adapter->FamilyCode = GPUFamilyOfVendor(function->GetVendorID());
        NameBoardVendor(adapter, function);
        AddAdapter(adapter);
    }
    functions.RemoveAll();
}

int CDisplayInterface::Init() {
    DropAdapters();
    DropAPIs();
    CreateAdapters();
    // The APIs bind in the order they are made, which every adapter's
    // binding list keeps.
    CreateDisplayAPIs(this);
    ReadMonitors();
    Refresh();
    return 1;
}

void CDisplayInterface::Close() {
    CTListIterator<CDisplayAPI> it(APIs);
    for (CDisplayAPI* api = it.GetFirst(); api; api = it.GetNext()) api->Release();
}

void CDisplayInterface::AddAdapter(CDisplayAdapter* adapter) {
    adapter->Index = int32_t(Adapters->GetCount());
    Adapters->AddTail(adapter);
    GetSDK()->m_pDevices->AddTail(adapter);
}

CDisplayAdapter* CDisplayInterface::GetAdapter(int32_t index) {
    if (index < 0) return nullptr;
    CTListIterator<CDevice> it(Adapters);
    CDevice* adapter = it.GetFirst();
    for (int32_t i = 0; adapter && i < index; ++i) adapter = it.GetNext();
    return static_cast<CDisplayAdapter*>(adapter);
}

namespace {

// The first adapter with a PCI child that satisfies `match`.
template <typename Match>
CDisplayAdapter* FindAdapter(CTList<CDevice>* adapters, Match match) {
    CTListIterator<CDevice> it(adapters);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* adapter = static_cast<CDisplayAdapter*>(device);
        CTListIterator<CDevice> children(adapter->m_pChildren);
        for (CDevice* child = children.GetFirst(); child; child = children.GetNext())
            if ((child->m_dwKind & DEVICE_PCI) && match(static_cast<CPCIDevice*>(child))) return adapter;
    }
    return nullptr;
}

} // namespace

CDisplayAdapter* CDisplayInterface::FindAdapterOfDevice(CDevice* pciDevice) {
    return FindAdapter(Adapters, [&](CPCIDevice* child) { return child == pciDevice; });
}

CDisplayAdapter* CDisplayInterface::FindAdapterByLocation(uint32_t bus, uint32_t device, uint32_t function) {
    return FindAdapter(Adapters, [&](CPCIDevice* child) {
        return child->m_byBus == bus && child->m_byDevice == device && child->m_byFunction == function;
    });
}

int32_t CDisplayInterface::FindAdaptersByID(uint16_t vendor, uint16_t device, CTList<CDevice>* list) {
    if (list) list->RemoveAll();
    int32_t count = 0;
    CTListIterator<CDevice> it(Adapters);
    for (CDevice* found = it.GetFirst(); found; found = it.GetNext()) {
        auto* adapter = static_cast<CDisplayAdapter*>(found);
        if (adapter->GetVendorID() != vendor || adapter->GetDeviceID() != device) continue;
        ++count;
        if (list) list->AddTail(adapter);
    }
    return count;
}

void CDisplayInterface::Refresh() {
    CTListIterator<CDevice> it(Adapters);
    for (CDevice* adapter = it.GetFirst(); adapter; adapter = it.GetNext())
        static_cast<CDisplayAdapter*>(adapter)->Refresh();
}
