// The Andigilog aSC7621 system monitor on the SMBus: the ADM1027 register
// map (voltages 0x20-0x24, temperatures 0x25-0x27, tachometer pairs
// 0x28-0x2F) and a fourth temperature at 0x33.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class Andigilog_ASC7621_HardwareMonitor : public CHardwareMonitor {
public:
    Andigilog_ASC7621_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[4] = {};
    CFanSensor* m_pFans[4] = {};
};
