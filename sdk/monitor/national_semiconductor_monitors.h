// National Semiconductor monitors on the SMBus: the LM63 temperature
// sensor and the LM87 hardware monitor.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class NS_LM63_HardwareMonitor : public CHardwareMonitor {
public:
    NS_LM63_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CTemperatureSensor* m_pTemperatures[2] = {};
};

class NS_LM87_HardwareMonitor : public CHardwareMonitor {
public:
    NS_LM87_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[6] = {};
    CTemperatureSensor* m_pTemperatures[2] = {};
    CFanSensor* m_pFans[2] = {};
    uint32_t m_dwFanDivisors[2] = {1, 1};
};
