#include "sdk/chipset/chipset_lookups.h"

#include <cstring>

#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"

namespace {

// The product name of the first SMBIOS structure of that type; null
// without the DMI domain or the structure.
const char* ProductName(uint32_t type) {
    CDMIInterface* dmi = GetSDK()->m_pDMI;
    CDMIStructure* structure = dmi ? dmi->GetStructure(type) : nullptr;
    if (!structure || structure->m_dwType != type) return nullptr;
    if (type == DMI_TYPE_SYSTEM) return static_cast<CDMI_System*>(structure)->m_Product.Get();
    return static_cast<CDMI_Baseboard*>(structure)->m_Product.Get();
}

bool Contains(const char* text, std::initializer_list<const char*> parts) {
    if (!text || !text[0]) return false;
    for (const char* part : parts)
        if (std::strstr(text, part)) return true;
    return false;
}

} // namespace

int32_t PCIDeviceCount(uint16_t vendor, uint16_t device) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci ? pci->FindDevicesByID(vendor, device, nullptr) : 0;
}

bool AnyPCIDeviceInRange(uint16_t vendor, uint16_t first, uint16_t last) {
    for (uint32_t device = first; device <= last; ++device)
        if (PCIDeviceCount(vendor, static_cast<uint16_t>(device)) > 0) return true;
    return false;
}

bool AnyPCIDevice(uint16_t vendor, std::initializer_list<uint16_t> devices) {
    for (uint16_t device : devices)
        if (PCIDeviceCount(vendor, device) > 0) return true;
    return false;
}

CPCIDevice* FirstPCIDevice(uint16_t vendor, uint16_t device) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return nullptr;
    CTList<CDevice> found;
    pci->FindDevicesByID(vendor, device, &found);
    CTListIterator<CDevice> it(&found);
    CDevice* first = it.GetFirst();
    found.RemoveAll();
    return first && (first->m_dwKind & DEVICE_PCI) ? static_cast<CPCIDevice*>(first) : nullptr;
}

bool ReadPCIConfigAt(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t* value) {
    *value = 0xFFFFFFFF;
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci && pci->ReadConfig(static_cast<int32_t>(bus), static_cast<int32_t>(device),
                                  static_cast<int32_t>(function), static_cast<int32_t>(reg), value);
}

bool BaseboardProductContains(std::initializer_list<const char*> parts) {
    return Contains(ProductName(DMI_TYPE_BASEBOARD), parts);
}

bool SystemProductContains(std::initializer_list<const char*> parts) {
    return Contains(ProductName(DMI_TYPE_SYSTEM), parts);
}
