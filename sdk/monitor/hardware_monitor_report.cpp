// The monitor's report lines: its name, its sensors by class and the dump
// of the 256 registers its request reaches.
#include "sdk/monitor/hardware_monitor.h"

#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/register_rows.h"

void CHardwareMonitor::DumpInfo(CReportGenerator* report) {
    if (!report) return;
    if (m_szName[0]) report->PrintField("Hardware monitor", "\t", "%s", m_szName);
    else report->PrintField("Hardware monitor ID", "\t", "0x%X", m_dwId);
}

void CHardwareMonitor::DumpSensors(CReportGenerator* report) {
    if (!report) return;
    // Level, counter, utilisation and clock-speed sensors are not written.
    static constexpr uint32_t kOrder[] = {SENSOR_VOLTAGE, SENSOR_CURRENT,  SENSOR_CAPACITY, SENSOR_POWER,
                                          SENSOR_TEMPERATURE, SENSOR_FAN, 0x8000, SENSOR_FAN_PWM,
                                          0x4000, SENSOR_POSITION, 0x40000};
    for (uint32_t classCode : kOrder) {
        CTListIterator<CSensor> it(GetSensorList(classCode));
        for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext()) sensor->Dump(report);
    }
}

void CHardwareMonitor::DumpRegisters(CReportGenerator* report) {
    if (!report || !m_pRegisterSpace) return;
    m_pRegisterSpace->Dump(report);
    if (!m_pRequest) return;
    m_pRequest->Dump(report);
    report->PrintBlankLine();
    PrintRegisterRows(report, 0x100, [this](uint32_t reg, uint8_t* value) {
        m_pRequest->m_dwOperation = IOOP_READ_BYTE;
        m_pRequest->m_dwRegister = reg;
        if (!m_pRegisterSpace->LockedExecute(m_pRequest)) return false;
        *value = uint8_t(m_pRequest->m_dwData);
        return true;
    });
}

void CHardwareMonitor::DumpFull(CReportGenerator* report) {
    DumpInfo(report);
    DumpSensors(report);
    DumpRegisters(report);
}

void CHardwareMonitor::DumpBrief(CReportGenerator* report) {
    DumpInfo(report);
    DumpSensors(report);
}
