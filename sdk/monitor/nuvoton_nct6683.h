// The Nuvoton NCT6683, whose monitor values sit behind a paged interface
// at the first three ports of the chip's I/O window: a page port, an index
// port and a data port. An access waits until the page port reads 0xFF (no
// other user holds it), writes the page, moves one byte through the
// index/data pair and writes 0xFF back. Each channel's select register
// gets a fixed code before its value is read. Sensors are read only where
// the host bridge is an Intel device; elsewhere the monitor shows its name
// and register dump only.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CLPCRegisterSpace;
class CTemperatureSensor;
class CVoltageSensor;

class Nuvoton_NCT6683_HardwareMonitor : public CHardwareMonitor {
public:
    Nuvoton_NCT6683_HardwareMonitor();

    int Update() override;
    // Builds the page space on the monitor's own register space, then reads.
    int CreateSensors() override;

    // All fail (0) without a page space.
    int SelectPage(uint8_t page);
    int ReleasePage();
    int ReadPageRegister(uint8_t index, uint8_t* value);
    int WritePageRegister(uint8_t index, uint8_t value);
    // 0 when the page cannot be claimed or the register access fails; the
    // page is released after every access that claimed it.
    int ReadPaged(uint8_t page, uint8_t index, uint8_t* value);
    int WritePaged(uint8_t page, uint8_t index, uint8_t value);

    CLPCRegisterSpace* m_pPageSpace = nullptr;  // in the root's lists

private:
    void ReadVoltages();
    void ReadTemperatures();
    void ReadFans();

    CVoltageSensor* m_pVoltages[7] = {};
    CTemperatureSensor* m_pTemperatures[5] = {};
    CFanSensor* m_pFans[3] = {};
};
