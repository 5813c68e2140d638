// The creators of the detection domains, in the order the application calls
// them. A domain this build does not contain stays absent: its creator
// reports failure and leaves its pointer null.
#include "sdk/core/sdk.h"

#include "sdk/cpu/cpu_interface.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/system/acpi_interface.h"
#include "sdk/system/dmi_interface.h"

int BRENIKSDK::CreateSoftwareInterface() { return 0; }

int BRENIKSDK::CreateWMIInterface() { return 0; }

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

int BRENIKSDK::CreateChipsetInterface() { return 0; }

int BRENIKSDK::CreateSMBusInterface() { return 0; }

int BRENIKSDK::CreateStorageInterface(uint32_t, uint32_t, uint32_t) { return 0; }

int BRENIKSDK::CreateDisplayInterface(uint32_t) { return 0; }

int BRENIKSDK::CreateHardwareMonitorInterface(uint32_t, uint32_t, uint32_t) { return 0; }
