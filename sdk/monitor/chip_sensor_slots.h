// What the super-I/O chip monitors share about their sensors: each keeps
// one reference per input, null until the input first gives an accepted
// reading; the sensor is then made, named, handed to the root's list and
// the label tables are applied again so that the labelled lists stay
// complete. A sensor once made is never replaced.
#pragma once

#include <cstdint>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/hardware_monitor.h"

// Volts per count of the 8-bit voltage inputs of most chips.
constexpr float kEightMillivoltStep = 0.008f;

// The sensor of `slot`, made with `index` and `name` when it does not exist.
template <typename Sensor>
Sensor* EnsureSensor(CHardwareMonitor& monitor, Sensor*& slot, uint8_t index, const char* name) {
    if (slot) return slot;
    slot = new Sensor(index);
    FormatString(slot->m_szName, sizeof slot->m_szName, "%s", name);
    monitor.AddSensor(slot);
    monitor.ApplySensorLabels();
    return slot;
}

// As above, named from `prefix` and the index ("VIN" 3: "VIN3").
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

// A fan made on its first accepted count carries the divisor the chip's
// count already includes.
inline CFanSensor* EnsureFan(CHardwareMonitor& monitor, CFanSensor*& slot, uint8_t index, uint32_t divisor,
                             const char* prefix = "FANIN") {
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
