// Two Nuvoton monitors read from fixed register lists: the NCT6106, whose
// sensors all sit in bank 0 of its index/data pair, and the NCT6791D read
// through its power-management I/O block, which has no banks.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class Nuvoton_NCT6106_HardwareMonitor : public CHardwareMonitor {
public:
    Nuvoton_NCT6106_HardwareMonitor();

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    // Register 0x4E & 7; 0xFF when it cannot be read or reads 0xFF.
    uint8_t GetBank();
    int SetBank(uint8_t bank);

private:
    void ReadBankZero();

    CVoltageSensor* m_pVoltages[9] = {};
    CTemperatureSensor* m_pTemperatures[6] = {};
    CFanSensor* m_pFans[3] = {};
};

class Nuvoton_NCT6791_HardwareMonitor : public CHardwareMonitor {
public:
    Nuvoton_NCT6791_HardwareMonitor();

    int Update() override;
    int CreateSensors() override;

private:
    CVoltageSensor* m_pVoltages[6] = {};
    CTemperatureSensor* m_pTemperatures[2] = {};
    CFanSensor* m_pFans[4] = {};
};
