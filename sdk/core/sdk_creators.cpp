// The creators of the detection domains, in the order the application calls
// them. A domain this build does not contain stays absent: its creator
// reports failure and leaves its pointer null.
#include "sdk/core/sdk.h"

#include "sdk/system/dmi_interface.h"

int BRENIKSDK::CreateSoftwareInterface() { return 0; }

int BRENIKSDK::CreateWMIInterface() { return 0; }

int BRENIKSDK::CreateDMIInterface() {
    return AdoptInterface(new CDMIInterface, &m_pDMI, false, [](CDMIInterface* dmi) { return dmi->Init(); });
}

int BRENIKSDK::CreatePCIInterface() { return 0; }

int BRENIKSDK::CreateACPIInterface(uint32_t, uint32_t, uint32_t) { return 0; }

int BRENIKSDK::CreateCPUInterface(uint32_t) { return 0; }

int BRENIKSDK::CreateChipsetInterface() { return 0; }

int BRENIKSDK::CreateSMBusInterface() { return 0; }

int BRENIKSDK::CreateStorageInterface(uint32_t, uint32_t, uint32_t) { return 0; }

int BRENIKSDK::CreateDisplayInterface(uint32_t) { return 0; }

int BRENIKSDK::CreateHardwareMonitorInterface(uint32_t, uint32_t, uint32_t) { return 0; }
