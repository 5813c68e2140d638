// The query layer's calls into the hardware-monitoring domain.
#include "app/domain_steps.h"
#include "sdk/monitor/hardware_monitor_interface.h"

namespace domain_steps {

void UpdateHardwareMonitor(CHardwareMonitorInterface* monitor) {
    if (monitor) monitor->Update();
}

void DumpHardwareMonitor(CHardwareMonitorInterface* monitor, CReportGenerator* report, bool registers) {
    if (!monitor) return;
    if (registers) monitor->Dump(report);
    else monitor->Dump2(report);
}

} // namespace domain_steps
