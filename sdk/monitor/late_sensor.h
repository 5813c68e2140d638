// Sensors that a monitor creates on the first reading that delivers them.
#pragma once

#include <cstdint>

#include "sdk/core/helpers.h"
#include "sdk/monitor/hardware_monitor.h"

class CSensor;

// The sensor in `slot`; on first use a new `Sensor` with that index and
// name, added to the monitor (and its owner device), and with `label` the
// monitor's label tables applied again.
template <typename Sensor>
CSensor* MaterialiseSensor(CHardwareMonitor& monitor, CSensor*& slot, uint8_t index, const char* name,
                           bool label = false) {
    if (slot) return slot;
    slot = new Sensor(index);
    FormatString(slot->m_szName, sizeof slot->m_szName, "%s", name);
    monitor.AddSensor(slot);
    if (label) monitor.ApplySensorLabels();
    return slot;
}
