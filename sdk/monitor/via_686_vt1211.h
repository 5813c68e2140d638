// The VIA monitors: the hardware monitor built into the VIA 686A/B
// southbridge (three temperatures as 10-bit codes turned into degrees by a
// table, five voltages with fixed input formulas, two fans), read through
// its own register space, and the VIA VT1211 super-I/O's monitor, which
// shows its name and register dump only.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class VIA_686AB_HardwareMonitor : public CHardwareMonitor {
public:
    VIA_686AB_HardwareMonitor();

    int Update() override;
    int CreateSensors() override;

    // Thousandths of a degree Celsius for a 10-bit temperature code.
    static int32_t TemperatureFromCode(uint32_t code);

    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[2] = {};

private:
    // The register's byte through the southbridge's register space; false
    // without one or when the ports do not answer.
    bool Read(uint8_t reg, uint32_t& byte);
};

class VIA_VT1211_HardwareMonitor : public CHardwareMonitor {
public:
    VIA_VT1211_HardwareMonitor();

    int Update() override;
    int CreateSensors() override;
};

CHardwareMonitor* CreateVIAVT1211(uint32_t chip);
