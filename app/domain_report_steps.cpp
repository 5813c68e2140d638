// The report bodies' calls into the detection domains: each domain writes
// its own section. Every domain named below is not part of this build yet;
// see domain_steps.h for why these bodies do nothing.
#include "app/domain_steps.h"

namespace domain_steps {

// Waits for the hardware-monitoring domain (Dump with registers, Dump2
// without).
void DumpHardwareMonitor(CHardwareMonitorInterface*, CReportGenerator*, bool) {}

} // namespace domain_steps
