// What the chip monitors share about their sensors: each keeps one
// reference per input, null until the input first gives an accepted
// reading; the sensor is then made, named (after its index unless the
// class gives a fixed name), handed to the root's list and the label
// tables are applied again so that the labelled lists stay complete. A
// sensor once made is never replaced. A monitor's first pass may make its
// sensors with New... and label them all at its end.
#pragma once

#include <cstdint>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/hardware_monitor.h"

// The name prefixes of inputs without a fixed name ("VIN" 3: "VIN3").
inline constexpr const char* kVoltageInputPrefix = "VIN";
inline constexpr const char* kTemperatureInputPrefix = "TMPIN";
inline constexpr const char* kFanInputPrefix = "FANIN";

// Volts per count of the 8-bit voltage inputs of most chips.
constexpr float kEightMillivoltStep = 0.008f;

// A new sensor named `name`, added to the monitor; the labels are left to
// the caller.
template <typename Sensor>
Sensor* NewSensor(CHardwareMonitor& monitor, uint8_t index, const char* name) {
    auto* sensor = new Sensor(index);
    FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", name);
    monitor.AddSensor(sensor);
    return sensor;
}

// As above, named from `prefix` and the index.
template <typename Sensor>
Sensor* NewIndexedSensor(CHardwareMonitor& monitor, uint8_t index, const char* prefix) {
    char name[32];
    FormatString(name, sizeof name, "%s%d", prefix, index);
    return NewSensor<Sensor>(monitor, index, name);
}

// The sensor of `slot`, made with `index` and `name` when it does not exist.
template <typename Sensor>
Sensor* EnsureSensor(CHardwareMonitor& monitor, Sensor*& slot, uint8_t index, const char* name) {
    if (slot) return slot;
    slot = NewSensor<Sensor>(monitor, index, name);
    monitor.ApplySensorLabels();
    return slot;
}

// As above, named from `prefix` and the index.
template <typename Sensor>
Sensor* EnsureIndexedSensor(CHardwareMonitor& monitor, Sensor*& slot, uint8_t index, const char* prefix) {
    char name[32];
    FormatString(name, sizeof name, "%s%d", prefix, index);
    return EnsureSensor(monitor, slot, index, name);
}

// A voltage input's reading: the register count and the volts at the pin.
inline void StoreVoltage(CSensor* sensor, uint32_t count, float voltsPerCount) {
    sensor->m_dwRawValue = count;
    sensor->m_fUnconvertedValue = float(count) * voltsPerCount;
}

// A voltage reading whose volts do not follow from the raw value by one
// step (a byte shifted into a wider scale, an offset).
inline void SetVoltageReading(CSensor* sensor, uint32_t raw, float volts) {
    sensor->m_dwRawValue = raw;
    sensor->m_fUnconvertedValue = volts;
}

// A fan made on its first accepted count carries the divisor the chip's
// count already includes.
inline CFanSensor* EnsureFan(CHardwareMonitor& monitor, CFanSensor*& slot, uint8_t index, uint32_t divisor,
                             const char* prefix = kFanInputPrefix) {
    const bool made = !slot;
    CFanSensor* fan = EnsureIndexedSensor(monitor, slot, index, prefix);
    if (made) fan->m_dwDivisor = divisor;
    return fan;
}

// A fan whose count says "no fan" shows 0 once it exists.
inline void ClearFan(CFanSensor* fan) {
    if (fan) fan->m_dwRawValue = 0;
}

// A 16-bit count from its high and low registers; false when the high
// byte's read fails (the low byte's result is not needed by any chip).
inline bool ReadCount(CHardwareMonitor& monitor, uint8_t highRegister, uint8_t lowRegister, uint32_t* count) {
    uint8_t high = 0, low = 0;
    if (!monitor.ReadRegister(highRegister, &high)) return false;
    monitor.ReadRegister(lowRegister, &low);
    *count = uint32_t(high) << 8 | low;
    return true;
}
