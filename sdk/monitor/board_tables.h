// The label tables of particular mainboards. A board key (the mainboard's
// BoardHash, or vendor << 16 | device of a display adapter) selects, for a
// monitor class, tables that replace the class defaults: they name the
// inputs after the board's connectors and rails and rescale them by the
// board's dividers. A replacement may also clear a table (the sensors keep
// their names and, for temperatures and fans, show no value) or make it
// empty (no sensor of that kind is shown).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/monitor/chip_monitor_factory.h"
#include "sdk/monitor/hardware_monitor.h"

class CIORequest;

template <typename Row>
struct TableChoice {
    bool replace = false;       // false: the class default stays
    const Row* table = nullptr;  // with `replace`: the new table, null to clear it
};

struct BoardTables {
    MonitorClass monitorClass;
    const uint32_t* keys;
    size_t keyCount;
    // 0: any request; otherwise only a chip reached by an SMBus request to
    // this slave address.
    uint8_t slaveAddress;
    TableChoice<_stVoltageLabel> voltage;
    TableChoice<_stSensorLabel> temperature;
    TableChoice<_stSensorLabel> fan;
};

// The entry for a monitor of that class on that board, or null.
const BoardTables* FindBoardTables(MonitorClass monitorClass, uint32_t boardKey, const CIORequest* request);

// Replaces the monitor's tables by its board's; `byteSum` tells apart two
// boards that share a key.
void ApplyBoardTables(MonitorClass monitorClass, CHardwareMonitor* monitor, uint32_t boardKey, uint32_t byteSum,
                      const CIORequest* request);
