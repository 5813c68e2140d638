// The Analog Devices system monitors ADM1026, ADM1027 and ADM1031 on the
// SMBus. Their first pass decides which inputs exist; later passes refresh
// those (the ADM1031 also takes inputs that answer late).
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class AnalogDevice_ADM1026_HardwareMonitor : public CHardwareMonitor {
public:
    AnalogDevice_ADM1026_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[6] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[2] = {};
};

class AnalogDevice_ADM1027_HardwareMonitor : public CHardwareMonitor {
public:
    AnalogDevice_ADM1027_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[3] = {};
};

class AnalogDevice_ADM1031_HardwareMonitor : public CHardwareMonitor {
public:
    AnalogDevice_ADM1031_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[2] = {};

private:
    // The fan's divisor from its characteristics register, bits 7-6.
    void ReadFanDivisor(int fan);
};
