// Two board-specific monitors on an index/data port pair: the analog
// inputs of AMD SB600/SB700 southbridges (up to three voltages on a list
// of boards), and the CPU current, voltage and power of Gigabyte boards
// whose firmware describes them in its "ESDT" record.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CLPCRegisterSpace;

class AMD_SB600_HardwareMonitor : public CHardwareMonitor {
public:
    AMD_SB600_HardwareMonitor(uint32_t boardKey, CLPCRegisterSpace* space);

    int CreateSensors() override;
    int Update() override;

    // Whether the board key has a voltage table.
    static bool KnownBoard(uint32_t boardKey);

private:
    CLPCRegisterSpace* m_pSpace;  // shared
};

class Gigabyte_DES_HardwareMonitor : public CHardwareMonitor {
public:
    // The record (48 bytes) stays the ACPI interface's.
    Gigabyte_DES_HardwareMonitor(const uint8_t* record, CLPCRegisterSpace* space);

    int CreateSensors() override;
    int Update() override;

private:
    const uint8_t* m_pRecord;
    CLPCRegisterSpace* m_pSpace;  // shared
};
