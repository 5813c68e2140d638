// National Semiconductor monitors: the LM63 temperature sensor and the
// LM87 hardware monitor on the SMBus, and the hardware monitor of the
// PC87366 super-I/O chip in three banked blocks.
#pragma once

#include "sdk/monitor/hardware_monitor.h"

class Banked_PMIO_RegisterSpace;
class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class NS_LM63_HardwareMonitor : public CHardwareMonitor {
public:
    NS_LM63_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CTemperatureSensor* m_pTemperatures[2] = {};
};

class NS_LM87_HardwareMonitor : public CHardwareMonitor {
public:
    NS_LM87_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;

    CVoltageSensor* m_pVoltages[6] = {};
    CTemperatureSensor* m_pTemperatures[2] = {};
    CFanSensor* m_pFans[2] = {};
    uint32_t m_dwFanDivisors[2] = {1, 1};
};

// The fan block (logical device 9), the voltage block (0x0D) and the
// temperature block (0x0E); a channel of the last two is read by selecting
// its bank. Each pass puts the blocks' bank selection back.
class NS_PC87366_HardwareMonitor : public CHardwareMonitor {
public:
    NS_PC87366_HardwareMonitor(Banked_PMIO_RegisterSpace* fans, Banked_PMIO_RegisterSpace* voltages,
                               Banked_PMIO_RegisterSpace* temperatures);
    int Update() override;
    int CreateSensors() override;

    Banked_PMIO_RegisterSpace* m_pFanSpace;
    Banked_PMIO_RegisterSpace* m_pVoltageSpace;
    Banked_PMIO_RegisterSpace* m_pTemperatureSpace;
    CVoltageSensor* m_pVoltages[11] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[3] = {};

private:
    // The channel's value register in its bank; 0 when it cannot be read.
    static int ReadChannel(Banked_PMIO_RegisterSpace* space, int channel, uint8_t* value);
    void ReadVoltages(bool create);
    void ReadTemperatures(bool create);
};
