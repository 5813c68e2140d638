// The host-bridge and southbridge records.
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/south_bridge.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

namespace {

template <typename Bridge>
void NameByIDs(Bridge& bridge, CPCIDevice* device) {
    if (!device) return;
    FormatString(bridge.m_szVendor, sizeof bridge.m_szVendor, "ID%04X", device->GetVendorID());
    FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "ID%04X", device->GetDeviceID());
    FormatString(bridge.m_szRevision, sizeof bridge.m_szRevision, "%02X", device->m_pCommonHeader->m_byRevisionID);
}

} // namespace

CNorthBridge::CNorthBridge(CPCIDevice* device) : m_pDevice(device) { NameByIDs(*this, device); }

uint32_t CNorthBridge::ReadConfig(uint32_t reg) {
    uint32_t value = 0xFFFFFFFF;
    if (!m_pDevice || !m_pDevice->ReadConfigDword(static_cast<int32_t>(reg), &value)) return 0xFFFFFFFF;
    return value;
}

int CNorthBridge::WriteConfig(uint32_t reg, uint32_t value) {
    return m_pDevice ? static_cast<int>(m_pDevice->WriteConfigDword(static_cast<int32_t>(reg), value)) : 0;
}

uint16_t CNorthBridge::GetVendorID() const { return m_pDevice ? m_pDevice->GetVendorID() : 0xFFFF; }

uint16_t CNorthBridge::GetDeviceID() const { return m_pDevice ? m_pDevice->GetDeviceID() : 0xFFFF; }

CSouthBridge::CSouthBridge(CPCIDevice* device) : m_pDevice(device) { NameByIDs(*this, device); }

uint32_t CSouthBridge::ReadConfig(uint32_t reg) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    uint32_t value = 0xFFFFFFFF;
    if (!m_pDevice || !pci ||
        !pci->ReadConfig(m_pDevice->m_byBus, m_pDevice->m_byDevice, m_pDevice->m_byFunction, static_cast<int32_t>(reg),
                         &value))
        return 0xFFFFFFFF;
    return value;
}
