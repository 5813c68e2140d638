// The 16-bit tachometer counts of the ADM1027-style register map: fan i's
// low byte at 0x28 + 2i, its high byte right after it.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

// False when the low byte cannot be read. The high byte's read is not
// checked: a failed one counts as 0xFF, as the register read leaves it.
inline bool ReadTachometerPair(CHardwareMonitor& monitor, int fan, uint32_t* count) {
    constexpr uint8_t kFirstTachometer = 0x28;
    uint8_t low = 0, high = 0;
    if (!monitor.ReadRegister(uint8_t(kFirstTachometer + 2 * fan), &low)) return false;
    monitor.ReadRegister(uint8_t(kFirstTachometer + 2 * fan + 1), &high);
    *count = uint32_t(low) + 256u * high;
    return true;
}
