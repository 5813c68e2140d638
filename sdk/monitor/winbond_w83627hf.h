// The hardware monitors of the Winbond super-I/O chips of the HF
// generation: W83627HF (sensors made on their first accepted reading, two
// fan outputs it can also set), W83637HF, W83697HF (voltage inputs at 0x20
// and 0x22-0x25) and W83627THF (two core-voltage scales, fan counts above a
// plausibility limit only). Voltages at 16 mV per step, three-bit fan
// divisor exponents.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanPwmSensor;
class CFanSensor;
class CSensor;
class CTemperatureSensor;
class CVoltageSensor;

class Winbond_W83627HF_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83627HF_HardwareMonitor();

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    // Class 0x2000 sets fan output 1 or 2 to `value` percent; class 0x40000
    // resets the latched status.
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    // Writes the bank (without reading 0x4E first) and waits 20 ms.
    uint32_t SetBank(uint8_t bank);

    CVoltageSensor* m_pVoltages[7] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[3] = {};
    CFanPwmSensor* m_pFanOutputs[2] = {};
    CSensor* m_pStatus = nullptr;
    uint32_t m_dwFanExponents[3] = {1, 1, 1};
};

class Winbond_W83637HF_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83637HF_HardwareMonitor();

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[3] = {};
    CSensor* m_pStatus = nullptr;
};

class Winbond_W83697HF_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83697HF_HardwareMonitor();

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    CVoltageSensor* m_pVoltages[6] = {};  // 0: 0x20; 1-4: 0x22-0x25; 5 unused
    CTemperatureSensor* m_pTemperatures[2] = {};
    CFanSensor* m_pFans[2] = {};
    CSensor* m_pStatus = nullptr;
};

class Winbond_W83627THF_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83627THF_HardwareMonitor();

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    uint32_t m_dwCoreVoltageMode = 9;  // 8: 16 mV per step; 9: 4.88 mV per step above 0.69 V
    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[3] = {};
    CSensor* m_pStatus = nullptr;
    uint32_t m_dwFanExponents[3] = {1, 1, 1};

private:
    bool CountPlausible(uint32_t fan, int read, uint8_t count) const;
};

CHardwareMonitor* CreateWinbondW83627HF(uint32_t chip);
CHardwareMonitor* CreateWinbondW83637HF(uint32_t chip);
CHardwareMonitor* CreateWinbondW83697HF(uint32_t chip);
CHardwareMonitor* CreateWinbondW83627THF(uint32_t chip);
