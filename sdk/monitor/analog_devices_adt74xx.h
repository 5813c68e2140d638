// The Analog Devices remote thermal controllers ADT7475, ADT7490 and
// ADT7467: one register map (voltages from 0x20, temperatures 0x25-0x27,
// tachometer pairs 0x28-0x2F, duty cycles 0x30-0x32), temperatures in the
// format register 0x7C selects and, on two of them, fan pulses in 0x7B.
// The ADT7475 also offers manual control of its three fan outputs.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CFanPwmSensor;
class CSensor;
class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

// What the three share: the temperature format and the fan divisors.
class AnalogDeviceThermalController : public CHardwareMonitor {
protected:
    AnalogDeviceThermalController(uint32_t id, const char* name, float fanConstant);

    // Register 0x7C; 0xFF when it cannot be read.
    uint8_t ReadTemperatureFormat();
    // Bit 0 of the format set: two's complement (0x80 is +128); clear:
    // offset 64.
    static float TemperatureValue(uint8_t format, uint8_t value);
    // The byte as raw reading and its value in that format.
    static void StoreTemperature(CSensor* sensor, uint8_t format, uint8_t value, bool track);
    // Fan i divides by 1 << bits 2i+1..2i of register 0x7B.
    void ReadFanDivisors(CFanSensor* const* fans, int count);
    // Refreshes the existing fans' counts.
    void ReadFanCounts(CFanSensor* const* fans, int count);
};

class AnalogDevice_ADT7475_HardwareMonitor : public AnalogDeviceThermalController {
public:
    AnalogDevice_ADT7475_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
    // Duty of a fan output in percent (0-100; more counts as 100).
    int SetSensorValue(uint32_t index, uint32_t classCode, float percent) override;
    // Mode 1 automatic, 2 manual.
    int GetControlMode(uint32_t index, uint32_t classCode, uint32_t* mode) override;
    int SetControlMode(uint32_t index, uint32_t classCode, uint32_t mode) override;

    CVoltageSensor* m_pVoltages[2] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[4] = {};
    CFanPwmSensor* m_pPwms[3] = {};

private:
    void ReadVoltages();
    // Temperatures that exist, or also new ones with `create`.
    void ReadTemperatures(bool create);
    void ReadPwms();
    // The output's configuration register; 0 when `index` names none.
    uint8_t ConfigurationRegister(uint32_t index, uint32_t classCode);
};

class AnalogDevice_ADT7490_HardwareMonitor : public AnalogDeviceThermalController {
public:
    AnalogDevice_ADT7490_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[7] = {};  // only 0-2 are read
    CFanSensor* m_pFans[4] = {};
};

class AnalogDevice_ADT7467_HardwareMonitor : public AnalogDeviceThermalController {
public:
    AnalogDevice_ADT7467_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[2] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[4] = {};
};
