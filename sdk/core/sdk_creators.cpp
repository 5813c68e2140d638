// The creators of the detection domains, in the order the application calls
// them. A domain this build does not contain stays absent: its creator
// reports failure and leaves its pointer null.
#include "sdk/core/sdk.h"

#include "sdk/chipset/chipset_interface.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/smbus_interface.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/system/acpi_interface.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/software_interface.h"
#include "sdk/system/storage_interface.h"
#include "sdk/system/wmi_interface.h"

int BRENIKSDK::CreateSoftwareInterface() {
    return AdoptInterface(new CSoftwareInterface, &m_pSoftware, false,
                          [](CSoftwareInterface* software) { return software->Init(); });
}

int BRENIKSDK::CreateWMIInterface() {
    return AdoptInterface(new CWMIInterface, &m_pWMI, false, [](CWMIInterface* wmi) { return wmi->Init(); });
}

int BRENIKSDK::CreateDMIInterface() {
    return AdoptInterface(new CDMIInterface, &m_pDMI, false, [](CDMIInterface* dmi) { return dmi->Init(); });
}

int BRENIKSDK::CreatePCIInterface() {
    return AdoptInterface(new CPCIInterface, &m_pPCI, false, [](CPCIInterface* pci) { return pci->Init(); });
}

int BRENIKSDK::CreateACPIInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags) {
    return AdoptInterface(new CACPIInterface(boardHash, boardByteSum, flags), &m_pACPI, false,
                          [](CACPIInterface* acpi) { return acpi->Init(); });
}

int BRENIKSDK::CreateCPUInterface(uint32_t flags) {
    return AdoptInterface(new CCPUInterface(flags), &m_pCPU, false, [](CCPUInterface* cpu) { return cpu->Init(); });
}

// The chipset interface is the root's while it detects: its family code
// reaches the processor and PCI domains through the root.
int BRENIKSDK::CreateChipsetInterface() {
    return AdoptInterface(new CChipsetInterface, &m_pChipset, true,
                          [](CChipsetInterface* chipset) { return chipset->Detect(); });
}

int BRENIKSDK::CreateSMBusInterface() {
    return AdoptInterface(new CSMBusInterface, &m_pSMBus, false, [](CSMBusInterface* smbus) { return smbus->Init(); });
}

// The root keeps no member for the storage domain; FindInterface finds it.
int BRENIKSDK::CreateStorageInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags) {
    return AdoptInterface(new CStorageInterface(boardHash, boardByteSum, flags),
                          static_cast<CStorageInterface**>(nullptr), false,
                          [](CStorageInterface* storage) { return storage->Init(); });
}

// The display interface is the root's while it detects: the display APIs
// hand it the adapters they make.
int BRENIKSDK::CreateDisplayInterface(uint32_t flags) {
    return AdoptInterface(new CDisplayInterface(flags), &m_pDisplay, true,
                          [](CDisplayInterface* display) { return display->Init(); });
}

int BRENIKSDK::CreateHardwareMonitorInterface(uint32_t a, uint32_t b, uint32_t options) {
    return AdoptInterface(new CHardwareMonitorInterface(a, b, options), &m_pHardwareMonitor, false,
                          [](CHardwareMonitorInterface* monitor) { return monitor->Init(); });
}
