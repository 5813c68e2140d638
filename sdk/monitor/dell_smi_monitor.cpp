#include "sdk/monitor/dell_smi_monitor.h"

#include <algorithm>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/monitor/platform_monitor_support.h"

namespace {

constexpr uint32_t kTemperature = 0x10A3, kFanState = 0x00A3, kFanSpeed = 0x02A3, kSetFanState = 0x01A3;
constexpr uint32_t kSensors = 4;
constexpr uint32_t kSpeedUnitLimit = 300, kSpeedUnit = 30;
constexpr const char* kTemperatureNames[kSensors] = {"CPU", "DIMM", "Aux", "Chipset"};
constexpr const char* kFanNames[kSensors] = {"CPU", "Fan 1", "Fan 2", "Fan 3"};

CSensor* Sensor(CHardwareMonitor* monitor, uint32_t classCode, uint32_t n, const char* name) {
    return LateSensor(monitor, classCode, uint8_t(n), name, 0, false);
}

} // namespace

bool CallDellSMI(uint32_t function, uint32_t argument, uint32_t* answer) {
    CKMDriver* driver = GetSDK()->GetDriver();
    uint32_t registers[4] = {function, argument, 0, 0};
    if (!driver || !driver->CallSMI(registers)) return false;
    if (answer) *answer = registers[0];
    return true;
}

Dell_SMI_HardwareMonitor::Dell_SMI_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x10284C4C) {
    FormatString(m_szName, sizeof m_szName, "%s", "Dell Hardware Monitor");
}

// The values are final: there are no tables and no formulas.
int Dell_SMI_HardwareMonitor::Update() {
    uint32_t answer = 0;
    for (uint32_t n = 0; n < kSensors; ++n) {
        if (!CallDellSMI(kTemperature, n, &answer)) continue;
        CSensor* sensor = Sensor(this, SENSOR_TEMPERATURE, n, kTemperatureNames[n]);
        sensor->m_dwRawValue = answer & 0xFFFF;
        sensor->SetValue(float(sensor->m_dwRawValue), 1);
    }
    for (uint32_t n = 0; n < kSensors; ++n) {
        if (!CallDellSMI(kFanState, n, nullptr) || !CallDellSMI(kFanSpeed, n, &answer)) continue;
        uint32_t speed = answer & 0xFFFF;
        if (speed < kSpeedUnitLimit) speed *= kSpeedUnit;
        CSensor* sensor = Sensor(this, SENSOR_FAN, n, kFanNames[n]);
        sensor->m_dwRawValue = speed;
        sensor->SetValue(float(speed), 1);
    }
    for (uint32_t n = 0; n < kSensors; ++n) {
        if (!CallDellSMI(kFanState, n, &answer)) continue;
        CSensor* sensor = Sensor(this, SENSOR_FAN_PWM, n, kFanNames[n]);
        sensor->m_dwRawValue = answer & 0xFF;
        sensor->SetValue(float(sensor->m_dwRawValue) * 100.0f * 0.5f, 1);
    }
    return 1;
}

int Dell_SMI_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float percent) {
    if (classCode != SENSOR_FAN_PWM) return 0;
    CSensor* sensor = GetSensor(classCode, index);
    if (!sensor) return 0;
    const uint32_t fan = sensor->GetIndex();
    if (fan >= kSensors) return 0;
    const int32_t state = std::clamp(RoundToInt(percent * 2.0f / 100.0f), 0, 2);
    uint32_t answer = 0;
    return CallDellSMI(kSetFanState, uint32_t(state) << 8 | fan, &answer) ? 1 : 0;
}
