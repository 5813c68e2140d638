// How the chip monitors make their sensors: a sensor is created the first
// time its register gives an acceptable reading, named after its index
// ("VIN%d", "TMPIN%d", "FANIN%d") unless the class gives a fixed name,
// handed to the monitor's lists and never removed. The monitor keeps a
// reference per input in a slot.
#pragma once

#include <cstdint>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/hardware_monitor.h"

inline constexpr const char* kVoltageInputName = "VIN%d";
inline constexpr const char* kTemperatureInputName = "TMPIN%d";
inline constexpr const char* kFanInputName = "FANIN%d";

// A new sensor of index `index`, named by `nameFormat` (which may take the
// index), added to the monitor.
template <typename Sensor>
Sensor* AddNamedSensor(CHardwareMonitor& monitor, uint8_t index, const char* nameFormat) {
    auto* sensor = new Sensor(index);
    FormatString(sensor->m_szName, sizeof sensor->m_szName, nameFormat, int(index));
    monitor.AddSensor(sensor);
    return sensor;
}

// The sensor of a slot, created when the slot is empty; a sensor created
// while the monitor is already running gets its label at once.
template <typename Sensor>
Sensor* SensorInSlot(CHardwareMonitor& monitor, Sensor*& slot, uint8_t index, const char* nameFormat,
                     bool labelAtOnce = true) {
    if (slot) return slot;
    slot = AddNamedSensor<Sensor>(monitor, index, nameFormat);
    if (labelAtOnce) monitor.ApplySensorLabels();
    return slot;
}

// A fan sensor in its slot; a new one counts with `divisor`.
inline CFanSensor* FanInSlot(CHardwareMonitor& monitor, CFanSensor*& slot, uint8_t index, uint32_t divisor,
                             const char* nameFormat = kFanInputName) {
    if (slot) return slot;
    slot = AddNamedSensor<CFanSensor>(monitor, index, nameFormat);
    slot->m_dwDivisor = divisor;
    monitor.ApplySensorLabels();
    return slot;
}

// A voltage reading: the register value and the value at the chip's pin.
inline void SetVoltageReading(CSensor* sensor, uint32_t raw, float volts) {
    sensor->m_dwRawValue = raw;
    sensor->m_fUnconvertedValue = volts;
}

// A fan that is there but not turning shows a count of 0.
inline void StopFan(CSensor* fan) {
    if (fan) fan->m_dwRawValue = 0;
}
