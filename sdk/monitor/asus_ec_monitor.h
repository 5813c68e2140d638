// The voltages and fans of two Asus mainboards in the embedded
// controller's register bank 0, selected through EC register 0xFF; the
// bank the firmware had selected is put back after every refresh.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class Asus_EC_HardwareMonitor : public CHardwareMonitor {
public:
    explicit Asus_EC_HardwareMonitor(uint32_t boardKey);

    int CreateSensors() override;
    int Update() override;

    // The selected bank 0-7, 255 when the bank register cannot be read.
    uint8_t GetBank();
    void SetBank(uint8_t bank);
    void ReadVoltage(uint32_t index, uint8_t reg);
    void ReadFan(uint32_t index, uint8_t reg);

private:
    bool KnownBoard() const;
};
