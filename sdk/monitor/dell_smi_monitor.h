// The temperatures, fan speeds and fan states of Dell notebooks, read
// through the firmware's system-management interrupt: a function code in
// the first register and a sensor number in the second, the reading back
// in the first register. A fan's state can be set the same way.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class Dell_SMI_HardwareMonitor : public CHardwareMonitor {
public:
    Dell_SMI_HardwareMonitor();

    // Creating the sensors is reading them: each appears on its first answer.
    int CreateSensors() override { return Update(); }
    int Update() override;
    // Sets the state (0 off, 1 half, 2 full) nearest to the percentage of a
    // fan-duty sensor; the call's result, 0 when nothing was sent.
    int SetSensorValue(uint32_t index, uint32_t classCode, float percent) override;
};

// One SMI call with the function and argument (third and fourth register
// 0); the answer's first register, or false when the call failed.
bool CallDellSMI(uint32_t function, uint32_t argument, uint32_t* answer);
