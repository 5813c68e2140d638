// The ITE IT87xx sensor blocks: up to nine voltages (VIN0-VIN7 and VBAT),
// three signed temperatures, four fan tachometers and three PWM outputs,
// all 8-bit registers. The model selects the name, the volts per count and
// how the fan divisors and counts are read; the IT8721 (and the IT8758
// that shares its id) carries label tables of its own.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanPwmSensor;
class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class ITE_IT87_HardwareMonitor : public CHardwareMonitor {
public:
    explicit ITE_IT87_HardwareMonitor(int32_t model);

    int Update() override;
    int CreateSensors() override;
    // Class 0x2000 only: the duty (percent of 128 steps) to the PWM output,
    // which becomes manual.
    int SetSensorValue(uint32_t index, uint32_t classCode, float percent) override;
    // 1 automatic, 2 manual.
    int GetControlMode(uint32_t index, uint32_t classCode, uint32_t* mode) override;
    int SetControlMode(uint32_t index, uint32_t classCode, uint32_t mode) override;

    int32_t m_nModel;
    float m_fVoltageStep;
    uint32_t m_dwFanDivisors[3] = {2, 2, 2};

private:
    bool HasEightBitCounts() const;
    void ReadFanDivisors();
    // The searching divisor of fan `fan` (0 or 1) of the IT8705/IT8712.
    uint32_t SearchFanDivisor(uint8_t fan, uint8_t& divisorRegister);
    void ReadVoltages(bool create, uint8_t lowestBattery);
    void ReadTemperatures();
    void ReadFans(uint8_t control, uint8_t enabled, bool clearStopped);
    void ReadPwms(bool create);
    // The PWM output of the sensor (class code, index) finds; -1 when it is
    // none of this monitor's.
    int PwmOutputOf(uint32_t index, uint32_t classCode);

    CVoltageSensor* m_pVoltages[9] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[4] = {};
    CFanPwmSensor* m_pPwms[3] = {};
};
