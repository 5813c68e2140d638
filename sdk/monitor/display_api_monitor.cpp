#include "sdk/monitor/display_api_monitor.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/late_sensor.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api.h"

namespace {

constexpr const char* kLoadNames[CDisplayAPIHardwareMonitor::kLoadDomains] = {"GPU", "Frame Buffer", "Video Engine",
                                                                              "Bus Interface"};

} // namespace

CDisplayAPIHardwareMonitor::CDisplayAPIHardwareMonitor(CDisplayAdapter* adapter, CDisplayAPI* api)
    : CHardwareMonitor(MONITOR_DISPLAY_API, 0xFFFFFFFF), m_pAPI(api) {
    const char* name = api && api->Name[0] ? api->Name : "Display API";
    FormatString(m_szName, sizeof m_szName, "%s", name);
    if (api) m_dwId = api->Code;
    SetOwnerDevice(adapter);
}

CDisplayAdapter* CDisplayAPIHardwareMonitor::Adapter() const { return static_cast<CDisplayAdapter*>(m_pOwnerDevice); }

void CDisplayAPIHardwareMonitor::Store(CSensor* sensor, float value) {
    sensor->m_dwRawValue = uint32_t(int64_t(value));
    sensor->SetValue(value, 1);
}

int CDisplayAPIHardwareMonitor::Update() {
    if (!m_pAPI) return 0;
    CDisplayAdapter* adapter = Adapter();
    int answered = 0;
    float reading = 0.0f;
    if (m_pAPI->GetTemperature(adapter, &reading)) {
        Store(MaterialiseSensor<CTemperatureSensor>(*this, m_pTemperature, 0, "TMPIN0", true), reading);
        answered = 1;
    }
    if (m_pAPI->GetCoreVoltage(adapter, &reading)) {
        CSensor* voltage = MaterialiseSensor<CVoltageSensor>(*this, m_pVoltage, 0, "VIN0", true);
        voltage->m_dwRawValue = uint32_t(int64_t(reading * 1000.0f));
        voltage->m_fUnconvertedValue = reading;
        answered = 1;
    }
    if (m_pAPI->GetFanSpeed(adapter, &reading)) {
        Store(MaterialiseSensor<CFanSensor>(*this, m_pFan, 0, "FANIN0", true), reading);
        answered = 1;
    }
    uint32_t duty = 0;
    if (m_pAPI->GetFanDuty(adapter, &duty)) {
        CSensor* sensor = MaterialiseSensor<CFanPwmSensor>(*this, m_pFanDuty, 0, "FANPWMIN0", true);
        sensor->m_dwRawValue = duty;
        sensor->SetValue(float(duty), 1);
        answered = 1;
    }
    for (int domain = 0; domain < kLoadDomains; ++domain) {
        if (!m_pAPI->GetUsage(adapter, domain, &reading)) continue;
        CSensor* load =
            MaterialiseSensor<CUtilizationSensor>(*this, m_pLoad[domain], uint8_t(domain), kLoadNames[domain], true);
        Store(load, reading);
        answered = 1;
    }
    const int32_t level = m_pAPI->GetCurrentPerfLevel(adapter);
    float minimum = 0.0f, maximum = 0.0f;
    if (m_pAPI->GetCoreClock(adapter, level, &reading, &minimum, &maximum)) {
        Store(MaterialiseSensor<CClockSpeedSensor>(*this, m_pCoreClock, 0, "Core", true), reading);
        answered = 1;
    }
    if (m_pAPI->GetMemoryClock(adapter, level, &reading, &minimum, &maximum)) {
        Store(MaterialiseSensor<CClockSpeedSensor>(*this, m_pMemoryClock, 1, "Memory", true), reading);
        answered = 1;
    }
    ApplySensorFormulas();
    return answered;
}

int CDisplayAPIHardwareMonitor::CreateSensors() {
    const int answered = Update();
    ApplySensorLabels();
    return answered;
}
