// The Nuvoton monitor chips on the SMBus: the W83795G (banks through
// register 0x00), the NCT7802 (no banks, no temperatures read) and the
// NCT7904 (banks through register 0xFF; processor and DIMM temperatures).
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class Nuvoton_W83795G_HardwareMonitor : public CHardwareMonitor {
public:
    Nuvoton_W83795G_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
    // Selects bank & 3 and lets the chip settle for 10 ms.
    int SetBank(uint8_t bank);

    CVoltageSensor* m_pVoltages[15] = {};
    CTemperatureSensor* m_pTemperatures[5] = {};  // only 0-3 are read
    CFanSensor* m_pFans[14] = {};
};

class Nuvoton_NCT7802_HardwareMonitor : public CHardwareMonitor {
public:
    Nuvoton_NCT7802_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[2] = {};  // the chip's temperatures are not read
    CFanSensor* m_pFans[3] = {};
};

class Nuvoton_NCT7904_HardwareMonitor : public CHardwareMonitor {
public:
    static constexpr uint8_t kNoBank = 0xFF;

    Nuvoton_NCT7904_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
    // Bits 0-2 of register 0xFF; kNoBank when it cannot be read.
    uint8_t GetBank();
    // Replaces bits 0-2 of register 0xFF and lets the chip settle 10 ms.
    int SetBank(uint8_t bank);

    CVoltageSensor* m_pVoltages[17] = {};
    CTemperatureSensor* m_pTemperatures[32] = {};
    CFanSensor* m_pFans[12] = {};

private:
    void ReadVoltages();
    void ReadFans();
    void ReadProcessorTemperatures();
    void ReadDimmTemperatures();
};
