// Digital voltage-regulator controllers on the SMBus/PMBus: the CHIL
// CHL8266 (a graphics card's regulator: voltages, current, temperature,
// power) and CHL8326 (processor input and output voltage), and the
// Volterra VT1165 (VID, temperature, current).
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CCurrentSensor;
class CPowerSensor;
class CTemperatureSensor;
class CVoltageSensor;

// A PMBus linear word with an unsigned 11-bit mantissa.
double DecodePMBusLinear(uint16_t word);

class CHIL_CHL8266_HardwareMonitor : public CHardwareMonitor {
public:
    CHIL_CHL8266_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[2] = {};
    CCurrentSensor* m_pCurrent = nullptr;
    CTemperatureSensor* m_pTemperature = nullptr;
    CPowerSensor* m_pPower = nullptr;

private:
    // The sensor of the i-th PMBus word, created when missing.
    CSensor* SensorOfWord(int i);
};

class CHIL_CHL8326_HardwareMonitor : public CHardwareMonitor {
public:
    CHIL_CHL8326_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
    // Its registers are PMBus commands, not a byte map.
    void DumpRegisters(CReportGenerator*) override {}

    CVoltageSensor* m_pVoltages[2] = {};
};

class Volterra_VT1165_HardwareMonitor : public CHardwareMonitor {
public:
    static constexpr uint32_t kNoScale = 0xFFFFFFFF;

    Volterra_VT1165_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
    // Puts back the readout configuration found before CreateSensors.
    void Close() override;

    uint32_t CurrentScale = kNoScale;
    CVoltageSensor* m_pVoltage = nullptr;
    CTemperatureSensor* m_pTemperature = nullptr;
    CCurrentSensor* m_pCurrent = nullptr;

private:
    void ReadVid();
    void ReadTemperatureAndCurrent();
    void SelectReadout();

    bool m_bConfigured = false;
    uint8_t m_bySavedPage = 0;
    uint8_t m_bySavedReadout = 0;
};
