// Batteries: each system battery Windows reports is a CBattery device and
// a monitor that reads its capacities, wear, charge, cycle count and
// voltage through the battery device interface, opening the device on every
// read. The device owns the sensors' second listing and keeps a reference
// to each of the seven.
#pragma once

#include "sdk/core/device.h"
#include "sdk/monitor/hardware_monitor.h"

class CSensor;
struct BATTERY_INFORMATION;

// Asks an opened battery device for its tag (without waiting) and its
// information; false when either query fails or the tag is 0 (no battery).
bool ReadBatteryInformation(void* device, uint32_t* tag, BATTERY_INFORMATION* information);

class CBattery : public CCompositeDevice {
public:
    explicit CBattery(const char* name);
    void Dump(CReportGenerator*) override {}
    const char* GetName() override { return m_szName; }

    char m_szName[256];
    CSensor* m_pDesignedCapacity = nullptr;
    CSensor* m_pFullChargeCapacity = nullptr;
    CSensor* m_pCurrentCapacity = nullptr;
    CSensor* m_pVoltage = nullptr;
    CSensor* m_pWearLevel = nullptr;
    CSensor* m_pChargeLevel = nullptr;
    CSensor* m_pCycleCount = nullptr;
};

class CBatteryHardwareMonitor : public CHardwareMonitor {
public:
    explicit CBatteryHardwareMonitor(const char* name);
    int Update() override { return 1; }
    int CreateSensors() override { return 1; }
};

class RemovableBatteryHardwareMonitor : public CBatteryHardwareMonitor {
public:
    RemovableBatteryHardwareMonitor(const char* name, const char* devicePath);
    // Reads the battery; 1 in every case (a battery that cannot be read
    // keeps its last values).
    int Update() override;
    int CreateSensors() override { return Update(); }

    CSensor* m_pDesignedCapacity = nullptr;
    CSensor* m_pFullChargeCapacity = nullptr;
    CSensor* m_pCurrentCapacity = nullptr;
    CSensor* m_pVoltage = nullptr;
    CSensor* m_pWearLevel = nullptr;
    CSensor* m_pChargeLevel = nullptr;
    CSensor* m_pCycleCount = nullptr;
    char m_szDevicePath[512];

private:
    struct Reading;
    void TakeInformation(const Reading& reading);
    void TakeStatus(const Reading& reading);
    // The sensor in `slot` and its copy in the owner battery, made on
    // first use.
    template <typename Sensor>
    CSensor* Materialise(CSensor*& slot, CSensor* CBattery::*ownerSlot, uint8_t index, const char* name);
};
