// The scan's, refresh's and shut-down's calls into the detection domains.
// Every domain named below is not part of this build yet; see
// domain_steps.h for why these bodies do nothing.
#include "app/domain_steps.h"

namespace domain_steps {

// Waits for the software domain.
int VirtualMachineKind(CSoftwareInterface*) { return 0; }

// Waits for the display domain (NVAPI_DisplayAPI::PrePCIScan).
void ProbeNVIDIADriverAPI() {}

// Wait for the SPD domain.
CSPDInterface* CreateSPDInterface() { return nullptr; }
void DeleteSPDInterface(CSPDInterface*) {}
void LimitSPDSlots(CSPDInterface*, int) {}
void ScanAndDecodeModules(CSPDInterface*, uint32_t, void (*)()) {}
std::vector<int> ModuleSizesMB(CSPDInterface*) { return {}; }

// Waits for the chipset domain.
void SetChipsetMemorySize(CChipsetInterface*, int) {}

// Waits for the storage domain.
CStorageInterface* AsStorageInterface(CInterface*) { return nullptr; }

// Waits for the chipset domain.
void RefreshChipset(CChipsetInterface*) {}
// Waits for the display domain.
void RefreshDisplay(CDisplayInterface*) {}
// Waits for the hardware-monitoring domain.
void UpdateHardwareMonitor(CHardwareMonitorInterface*) {}

} // namespace domain_steps
