// The sensors one display API can tell about one display adapter: GPU
// temperature, core voltage, fan speed and duty, four load figures and the
// current core and memory clocks. Each sensor appears on the first update
// whose query answers and then belongs to the root's sensor list and the
// adapter's sensors.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CDisplayAdapter;
class CDisplayAPI;
class CSensor;

class CDisplayAPIHardwareMonitor : public CHardwareMonitor {
public:
    static constexpr int kLoadDomains = 4;

    // Named after the API ("Display API" when it has no name), with the
    // API's code as id; the adapter becomes the owner device.
    CDisplayAPIHardwareMonitor(CDisplayAdapter* adapter, CDisplayAPI* api);

    // 1 when at least one query answered in this call.
    int Update() override;
    // The first update: the monitor is worth keeping when it answered.
    int CreateSensors() override;

    CSensor* m_pVoltage = nullptr;
    CSensor* m_pTemperature = nullptr;
    CSensor* m_pFan = nullptr;
    CSensor* m_pFanDuty = nullptr;
    CSensor* m_pLoad[kLoadDomains] = {};
    CSensor* m_pCoreClock = nullptr;
    CSensor* m_pMemoryClock = nullptr;
    CDisplayAPI* m_pAPI;  // not owned

private:
    CDisplayAdapter* Adapter() const;
    // Stores a reading: raw = the value truncated, value tracked.
    static void Store(CSensor* sensor, float value);
};
