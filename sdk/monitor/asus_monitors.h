// Two Asus sensor sources that other tools on the machine use too, each
// guarded by a named mutex shared with them: the embedded controller of
// Eee PC notebooks (index ports 0x381-0x383) with the CPU temperature, fan
// speed and a settable fan duty; and the ROG sensor chips of Asus gaming
// boards on the SMBus (0x38: voltages and fans, 0x40: temperatures and
// fans), read under the ACPI global lock as well because the firmware
// uses the same bus.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/platform_monitor_support.h"

class Asus_eeePC_HardwareMonitor : public CHardwareMonitor {
public:
    Asus_eeePC_HardwareMonitor();

    int CreateSensors() override;
    int Update() override;
    // Fan duty (class 0x2000) only: the duty in percent, at most 100.
    int SetSensorValue(uint32_t index, uint32_t classCode, float value) override;
    // Modes: 1 automatic, 2 manual.
    int GetControlMode(uint32_t index, uint32_t classCode, uint32_t* mode) override;
    int SetControlMode(uint32_t index, uint32_t classCode, uint32_t mode) override;

    int ReadEC(uint16_t address, uint8_t* value);
    int WriteEC(uint16_t address, uint8_t value);

private:
    bool IsDutySensor(uint32_t index, uint32_t classCode);
    bool ReadFanSpeed(uint32_t& speed);

    SharedControllerMutex m_Mutex;
};

class Asus_ROG_HardwareMonitor : public CHardwareMonitor {
public:
    Asus_ROG_HardwareMonitor();

    int CreateSensors() override;
    int Update() override;
    virtual int ReadSensors() { return 1; }

protected:
    // The 16-bit word of a low and a high register; 1 to 65533 accepted.
    bool ReadWord(uint8_t low, uint32_t& value);
    // Fans 0-3 from the register pairs starting at `first`.
    void ReadFans(uint8_t first);

private:
    SharedControllerMutex m_Mutex;
};

class Asus_ROG_38_HardwareMonitor : public Asus_ROG_HardwareMonitor {
public:
    Asus_ROG_38_HardwareMonitor();

    int CreateSensors() override;
    int ReadSensors() override;
};

class Asus_ROG_40_HardwareMonitor : public Asus_ROG_HardwareMonitor {
public:
    Asus_ROG_40_HardwareMonitor();

    int ReadSensors() override;
};
