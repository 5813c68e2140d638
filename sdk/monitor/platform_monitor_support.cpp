#include "sdk/monitor/platform_monitor_support.h"

#include "platform/sync.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"

namespace {

CSensor* NewSensor(uint32_t classCode, uint8_t index) {
    switch (classCode) {
    case SENSOR_VOLTAGE: return new CVoltageSensor(index);
    case SENSOR_TEMPERATURE: return new CTemperatureSensor(index);
    case SENSOR_FAN: return new CFanSensor(index);
    case SENSOR_CURRENT: return new CCurrentSensor(index);
    case SENSOR_POWER: return new CPowerSensor(index);
    case SENSOR_FAN_PWM: return new CFanPwmSensor(index);
    case SENSOR_POSITION: return new CPositionSensor(index);
    default: return nullptr;
    }
}

const char* DefaultNamePrefix(uint32_t classCode) {
    switch (classCode) {
    case SENSOR_VOLTAGE: return "VIN";
    case SENSOR_TEMPERATURE: return "TMPIN";
    case SENSOR_FAN: return "FANIN";
    default: return "";
    }
}

} // namespace

CSensor* LateSensor(CHardwareMonitor* monitor, uint32_t classCode, uint8_t index, const char* name,
                    uint32_t role, bool label) {
    if (CSensor* existing = monitor->FindSensorById(classCode | index)) return existing;
    CSensor* sensor = NewSensor(classCode, index);
    if (!sensor) return nullptr;
    if (name) FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", name);
    else FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s%d", DefaultNamePrefix(classCode), int(index));
    sensor->m_dwId |= role << 24;
    monitor->AddSensor(sensor);
    if (label) monitor->ApplySensorLabels();
    return sensor;
}

SharedControllerMutex::SharedControllerMutex(const char* name) : handle_(BRENIKSDK::CreateGlobalMutex(0, name)) {}

SharedControllerMutex::~SharedControllerMutex() {
    if (handle_) CloseHandle(handle_);
}

bool SharedControllerMutex::Acquire(uint32_t timeoutMs) {
    if (!handle_) return false;
    const DWORD result = WaitForSingleObject(handle_, timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void SharedControllerMutex::Release() {
    if (handle_) ReleaseMutex(handle_);
}
