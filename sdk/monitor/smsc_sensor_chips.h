// SMSC sensor chips read through byte registers: the EMC6D10x and DME1737
// (the ADM1027 register map), the EMC6W201, the EMCT03 temperature sensor,
// and the hardware monitors of the LPC47B397 and LPC47M10x super-I/O chips.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class SMSC_EMC6D10X_HardwareMonitor : public CHardwareMonitor {
public:
    SMSC_EMC6D10X_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[4] = {};

protected:
    SMSC_EMC6D10X_HardwareMonitor(uint32_t id, const char* name, const _stVoltageLabel* voltages);
    // The inputs the first pass finds; the DME1737 is stricter.
    void FindSensors(bool rejectZero);
};

// Read as the EMC6D10x; inputs reading 0 are taken for absent.
class SMSC_DME1737_HardwareMonitor : public SMSC_EMC6D10X_HardwareMonitor {
public:
    SMSC_DME1737_HardwareMonitor();
    int CreateSensors() override;
};

class SMSC_EMC6W201_HardwareMonitor : public CHardwareMonitor {
public:
    SMSC_EMC6W201_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[6] = {};
    CTemperatureSensor* m_pTemperatures[6] = {};
    CFanSensor* m_pFans[5] = {};

private:
    void Read(bool create);
};

// Three temperatures, each a 16-bit reading of two registers: signed
// degrees in the first, a fraction of a degree in the second.
class SMSC_EMCT03_HardwareMonitor : public CHardwareMonitor {
public:
    SMSC_EMCT03_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CTemperatureSensor* m_pTemperatures[5] = {};

private:
    void Read();
};

class SMSC_LPC47B397_HardwareMonitor : public CHardwareMonitor {
public:
    SMSC_LPC47B397_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CTemperatureSensor* m_pTemperatures[4] = {};
    CFanSensor* m_pFans[4] = {};
};

class SMSC_LPC47M10x_HardwareMonitor : public CHardwareMonitor {
public:
    SMSC_LPC47M10x_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CFanSensor* m_pFans[3] = {};
};
