// The hardware monitors of the later Winbond super-I/O chips: the
// W83627DHG (and the W83667HG, told apart by its device id) and the
// W83627EHF. Voltages at 8 mV per step against a 2.048 V reference, five
// fans with three-bit divisor exponents, the fifth fan and one voltage in
// bank 5. The W83627DHG raises the divisor of a fan whose count overflows.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CSensor;
class CTemperatureSensor;
class CVoltageSensor;

class Winbond_W83627DHG_HardwareMonitor : public CHardwareMonitor {
public:
    explicit Winbond_W83627DHG_HardwareMonitor(uint32_t chipId);

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;
    // Puts back the fan divisor registers a raised divisor changed.
    void Close() override;

    // Reads the divisor exponents, creates the fans that answer and raises
    // the divisors of those whose count overflows; may leave bank 5 selected.
    void CreateFanSensors();
    // The fan part of Update; may leave bank 5 selected.
    void UpdateFans();

    uint32_t m_dwChipId;
    CVoltageSensor* m_pVoltages[7] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[5] = {};
    CSensor* m_pStatus = nullptr;
    uint32_t m_dwFanExponents[5];  // by fan 0-4; 0xFFFFFFFF until read

private:
    bool FifthFanBoard() const;
    void RaiseDivisor(uint32_t fan, uint8_t count);

    // 0x47, 0x4B and 0x5D as found before the first divisor was raised.
    bool m_bDivisorsSaved = false;
    uint8_t m_bySavedDivisors[3] = {};
};

class Winbond_W83627EHF_HardwareMonitor : public CHardwareMonitor {
public:
    Winbond_W83627EHF_HardwareMonitor();

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;

    CVoltageSensor* m_pVoltages[8] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[5] = {};
    CSensor* m_pStatus = nullptr;
    uint32_t m_dwFanExponents[5] = {};  // by fan 0-4
};

CHardwareMonitor* CreateWinbondW83627DHG(uint32_t chip);
CHardwareMonitor* CreateWinbondW83627EHF(uint32_t chip);
