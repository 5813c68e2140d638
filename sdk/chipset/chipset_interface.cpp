// The chipset domain's lifecycle: finding the bridges, the periodic
// refresh, the DRAM clock and shut-down.
#include "sdk/chipset/chipset_interface.h"

#include "sdk/chipset/intel_northbridges.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint16_t kIntelVendor = 0x8086;
constexpr uint8_t kBridgeClass = 0x06;
constexpr int32_t kHostBridgeSubclass = 0x00;
constexpr int32_t kISABridgeSubclass = 0x01;

bool IsMainBridgeLocation(const CPCIDevice& device) {
    return device.m_byBus == 0 && device.m_byDevice == 0 && device.m_byFunction == 0;
}

} // namespace

CChipsetInterface::CChipsetInterface()
    : CInterface(INTERFACE_CHIPSET), m_pNorthBridges(new CTList<CNorthBridge>), m_pMemoryInfo(new CMemoryInfo) {}

CChipsetInterface::~CChipsetInterface() {
    m_pNorthBridges->DeleteAll();
    delete m_pNorthBridges;
    delete m_pBoardCache;
    delete m_pMemoryInfo;
    delete m_pSouthBridge;
}

// The Intel i865/i875 device 6 that identification showed is hidden again.
void CChipsetInterface::Close() {
    CTListIterator<CNorthBridge> it(m_pNorthBridges);
    for (CNorthBridge* bridge = it.GetFirst(); bridge; bridge = it.GetNext())
        if (bridge->GetVendorID() == kIntelVendor) RestoreIntelNorthBridge(this, bridge);
}

int CChipsetInterface::Detect() {
    if (!GetSDK()->m_pPCI) return 0;
    FindSouthBridge();
    FindNorthBridges();
    UpdateDRAMFrequency();
    return 1;
}

int CChipsetInterface::Refresh() {
    CTListIterator<CNorthBridge> it(m_pNorthBridges);
    for (CNorthBridge* bridge = it.GetFirst(); bridge; bridge = it.GetNext()) IdentifyNorthBridge(bridge);
    UpdateDRAMFrequency();
    return 1;
}

void CChipsetInterface::UpdateDRAMFrequency() {
    if (m_pMemoryInfo) m_pMemoryInfo->m_fDRAMFrequency = m_pMemoryInfo->GetDRAMFrequency(GetBusClock(), GetMultiplier());
}

// The first ISA/LPC bridge function; the others are not looked at.
void CChipsetInterface::FindSouthBridge() {
    CTList<CDevice> bridges;
    GetSDK()->m_pPCI->FindDevicesByClass(kBridgeClass, kISABridgeSubclass, &bridges);
    CTListIterator<CDevice> it(&bridges);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        if (!(device->m_dwKind & DEVICE_PCI)) continue;
        m_pSouthBridge = new CSouthBridge(static_cast<CPCIDevice*>(device));
        IdentifySouthBridge(m_pSouthBridge);
        return;
    }
}

// Every host bridge function in PCI scan order; the one at 00:00.0 is the
// main bridge. Without a host bridge there, whatever function sits at
// 00:00.0 serves as the main bridge.
void CChipsetInterface::FindNorthBridges() {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    CTList<CDevice> bridges;
    pci->FindDevicesByClass(kBridgeClass, kHostBridgeSubclass, &bridges);
    CTListIterator<CDevice> it(&bridges);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_PCI) AddNorthBridge(new CNorthBridge(static_cast<CPCIDevice*>(device)));
    if (m_pNorthBridge) return;
    if (CPCIDevice* first = pci->FindDevice(0, 0, 0)) AddNorthBridge(new CNorthBridge(first));
}

void CChipsetInterface::AddNorthBridge(CNorthBridge* bridge) {
    IdentifyNorthBridge(bridge);
    if (bridge->m_pDevice && IsMainBridgeLocation(*bridge->m_pDevice)) m_pNorthBridge = bridge;
    m_pNorthBridges->AddTail(bridge);
}

float CChipsetInterface::GetBusClock() {
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    return cpu ? cpu->m_fBusClock : -1.0f;
}

float CChipsetInterface::GetMultiplier() {
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    CProcessor* processor = cpu ? cpu->GetProcessor(0) : nullptr;
    return processor ? processor->GetCoreMultiplier(0) : -1.0f;
}
