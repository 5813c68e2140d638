#include "sdk/monitor/fbdimm_monitor.h"

#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_space.h"

namespace {

constexpr uint32_t kNoAMB = 0xFFFFFFFF;
constexpr uint32_t kFBDDR2 = 8;  // MemoryType of FB-DIMM modules

} // namespace

CMemoryModuleHardwareMonitor::CMemoryModuleHardwareMonitor(const char* name, CIOSpace* window, uint32_t channel,
                                                           uint32_t slot)
    : CHardwareMonitor(MONITOR_MEMORY_MODULE, 0xFFFFFFFF), m_pWindow(window), m_dwChannel(channel), m_dwSlot(slot) {
    FormatString(m_szName, sizeof m_szName, "%s", name ? name : "");
}

void CMemoryModuleHardwareMonitor::AddToLists(CSensor* sensor) { AddToSensorLists(sensor); }

int CMemoryModuleHardwareMonitor::CreateSensors() {
    if (m_pTemperature) return 1;
    auto* sensor = new CTemperatureSensor(0);
    FormatString(sensor->m_szName, sizeof sensor->m_szName, "core");
    AddToSensorLists(sensor);
    GetSDK()->m_pSensors->AddTail(sensor);
    m_pTemperature = sensor;
    // The module record is found by the channel alone.
    if (CDevice* device = BRENIKSDK::FindMemoryModule(m_dwChannel, kFBDDR2)) {
        auto* module = static_cast<CMemoryModule*>(device);
        module->m_pThermalSensor = sensor;
        module->AddSensor(sensor);
    }
    return 1;
}

int CMemoryModuleHardwareMonitor::Update() {
    if (!m_pWindow) return 0;
    const uint32_t base = AMBOffset(m_dwChannel, m_dwSlot);
    uint32_t presence = kNoAMB, temperature = 0;
    if (!m_pWindow->ReadDword(base, &presence) || presence == kNoAMB) return 1;
    if (!m_pTemperature || !m_pWindow->ReadDword(base + kTemperatureOffset, &temperature)) return 1;
    m_pTemperature->m_dwRawValue = temperature & 0xFF;
    m_pTemperature->SetValue(float(temperature & 0xFF) * 0.5f, 1);
    return 1;
}
