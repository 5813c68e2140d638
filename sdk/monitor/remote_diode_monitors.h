// The small SMBus temperature sensors that report their own (local)
// temperature and one remote diode's: Analog Devices ADM1021 (and the
// ADM1032 that answers with its id), ADT7461 and ADM1033, Maxim MAX1617
// and MAX6648.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CTemperatureSensor;

// The local sensor is index 0, the remote one index 1.
class RemoteDiodeMonitor : public CHardwareMonitor {
public:
    CTemperatureSensor* m_pTemperatures[2] = {};

protected:
    RemoteDiodeMonitor(uint32_t id, const char* name, const _stSensorLabel* temperatures);
};

class AnalogDevice_ADM1021_HardwareMonitor : public RemoteDiodeMonitor {
public:
    AnalogDevice_ADM1021_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
};

// The remote reading has a fraction byte: register 0x10 bits 7-5 in
// eighths of a degree below the signed degrees of register 0x01.
class AnalogDevice_ADT7461_HardwareMonitor : public RemoteDiodeMonitor {
public:
    AnalogDevice_ADT7461_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
};

// Temperatures in offset-64 form at registers 0x41 and 0x43.
class AnalogDevice_ADM1033_HardwareMonitor : public RemoteDiodeMonitor {
public:
    AnalogDevice_ADM1033_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
};

class Maxim_MAX1617_HardwareMonitor : public RemoteDiodeMonitor {
public:
    Maxim_MAX1617_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

protected:
    explicit Maxim_MAX1617_HardwareMonitor(uint32_t id);
};

// Read as the MAX1617; only its id differs.
class Maxim_MAX6648_HardwareMonitor : public Maxim_MAX1617_HardwareMonitor {
public:
    Maxim_MAX6648_HardwareMonitor();
};
