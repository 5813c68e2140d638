// The fan and up to twelve temperatures of ThinkPad notebooks in the
// embedded controller, each read twice until two readings agree, under the
// named mutex other programs take for the same controller.
#pragma once

#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/platform_monitor_support.h"

class Thinkpad_T43_HardwareMonitor : public CHardwareMonitor {
public:
    Thinkpad_T43_HardwareMonitor();

    // Creates the sensors once; later calls return 1 at once.
    int CreateSensors() override;
    // Reads the existing sensors; creates none.
    int Update() override;

private:
    SharedControllerMutex m_Mutex;
    bool m_bCreated = false;
};
