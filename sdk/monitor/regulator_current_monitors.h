// Processor voltage-regulator controllers on the SMBus that report the
// regulator's output current and power: the ADP3228 (byte registers) and
// the ASP0800 (PMBus READ_IOUT and READ_POUT words). Their values are in
// amperes and watts; they have no label tables.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CCurrentSensor;
class CPowerSensor;

class AnalogDevice_ADP3228_HardwareMonitor : public CHardwareMonitor {
public:
    AnalogDevice_ADP3228_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CCurrentSensor* m_pCurrent = nullptr;
    CPowerSensor* m_pPower = nullptr;

private:
    void ReadCurrent();
    void ReadPower();
};

class AnalogDevice_ASP0800_HardwareMonitor : public CHardwareMonitor {
public:
    AnalogDevice_ASP0800_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    // A PMBus linear word with a 10-bit unsigned mantissa; the mantissa
    // is the raw reading.
    static float LinearValue(uint16_t word);

    CCurrentSensor* m_pCurrent = nullptr;
    CPowerSensor* m_pPower = nullptr;
};
