// The monitors of the Winbond sensor chips with extended register maps,
// usually on the SMBus: the W83791D and W83792D (extra temperatures at
// 0xC0/0xC1 and 0xC8/0xC9 of bank 0, the W83792D with seven fans and, on
// some boards, 10-bit core voltages) and the W83793, read without bank
// switching, with eleven voltages, five temperatures and ten 12-bit fan
// counts. All keep the plain register dump.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CSensor;
class CTemperatureSensor;
class CVoltageSensor;

class Winbond_W83791D_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83791D_HardwareMonitor();

    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    CVoltageSensor* m_pVoltages[8] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[3] = {};
    CSensor* m_pStatus = nullptr;
};

class Winbond_W83792D_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83792D_HardwareMonitor();

    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    CVoltageSensor* m_pVoltages[7] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[7] = {};
    CSensor* m_pStatus = nullptr;
    uint32_t m_dwFanExponents[7] = {1, 1, 1, 1, 1, 1, 1};

private:
    void UpdateCoreVoltages(const bool (&readThisPass)[7], const uint8_t (&bytes)[7]);
};

class Winbond_W83793_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83793_HardwareMonitor();

    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t, uint32_t, float) override { return 1; }

    CVoltageSensor* m_pVoltages[11] = {};
    CTemperatureSensor* m_pTemperatures[5] = {};
    CFanSensor* m_pFans[10] = {};

private:
    bool ReadFanCount(uint32_t fan, uint32_t& count);
};

CHardwareMonitor* CreateWinbondW83791D(uint32_t chip);
CHardwareMonitor* CreateWinbondW83792D(uint32_t chip);
CHardwareMonitor* CreateWinbondW83793(uint32_t chip);
