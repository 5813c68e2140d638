// The scan's, refresh's and shut-down's calls into the detection domains.
// Every domain named below is not part of this build yet; see
// domain_steps.h for why these bodies do nothing.
#include "app/domain_steps.h"

namespace domain_steps {

// Waits for the display domain (NVAPI_DisplayAPI::PrePCIScan).
void ProbeNVIDIADriverAPI() {}

// Waits for the hardware-monitoring domain.
void UpdateHardwareMonitor(CHardwareMonitorInterface*) {}

} // namespace domain_steps
