// The monitors of the oldest chips of the Winbond register map: the
// W83781D, the W83783S and the Asus AS99127F (which follows the W83781D).
// Seven voltages at 16 mV per step, a temperature at 0x27 (and two 9-bit
// ones in banks 1 and 2, but not on the W83783S), three fans with two-bit
// divisor exponents. No acceptance test applies at update: bytes are
// stored as they read.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CSensor;
class CTemperatureSensor;
class CVoltageSensor;

// The sensors of the classic register map.
struct WinbondClassicSensors {
    CVoltageSensor* voltages[7] = {};
    CTemperatureSensor* temperatures[3] = {};
    CFanSensor* fans[3] = {};
};

class Winbond_W83781D_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83781D_HardwareMonitor();

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    WinbondClassicSensors m_sensors;
    CSensor* m_pStatus = nullptr;

protected:
    Winbond_W83781D_HardwareMonitor(uint32_t id, const char* name);
};

// The W83781D's sensors and routines without the status reset.
class Asus_AS99127F_HardwareMonitor : public Winbond_W83781D_HardwareMonitor {
public:
    Asus_AS99127F_HardwareMonitor();
    int SetSensorValue(uint32_t, uint32_t, float) override { return 0; }
};

// The W83781D's bank-0 sensors only: no banked temperatures are read.
class Winbond_W83783S_HardwareMonitor : public Winbond_W83781D_HardwareMonitor {
public:
    Winbond_W83783S_HardwareMonitor();

    int Update() override;
    int CreateSensors() override;
};

CHardwareMonitor* CreateWinbondW83781D(uint32_t chip);
CHardwareMonitor* CreateWinbondW83783S(uint32_t chip);
CHardwareMonitor* CreateAsusAS99127F(uint32_t chip);
