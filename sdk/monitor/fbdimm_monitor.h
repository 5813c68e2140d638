// The temperature of one memory module: an FB-DIMM's advanced memory
// buffer (AMB) read through the memory controller's AMB window ("FB-DIMM"
// monitors), or a thermal sensor another memory-module device already
// carries, listed here without a window ("DIMM" monitors).
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CIOSpace;
class CSensor;

class CMemoryModuleHardwareMonitor : public CHardwareMonitor {
public:
    // Each AMB has 2 KiB of the window at ((channel << 4) + slot) << 11.
    static constexpr uint32_t AMBOffset(uint32_t channel, uint32_t slot) { return ((channel << 4) + slot) << 11; }
    // The AMB's temperature byte, in half degrees C.
    static constexpr uint32_t kTemperatureOffset = 0x385;

    // `window` is shared, not owned; null for a "DIMM" monitor.
    CMemoryModuleHardwareMonitor(const char* name, CIOSpace* window, uint32_t channel, uint32_t slot);

    // Makes the "core" temperature sensor unless one is preset; 1.
    int CreateSensors() override;
    // Reads the AMB: 0 without a window, else 1.
    int Update() override;
    // Into the monitor's own lists only: the sensor belongs to its
    // memory-module device already.
    virtual void AddToLists(CSensor* sensor);

    CSensor* m_pTemperature = nullptr;
    CIOSpace* m_pWindow;
    uint32_t m_dwChannel;
    uint32_t m_dwSlot;
};
