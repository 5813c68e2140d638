// 16-bit tachometer counts kept in two byte registers, the low byte first;
// in the ADM1027-style register map fan i's pair starts at 0x28 + 2i.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

// False when the low byte cannot be read. The high byte's read is not
// checked: a failed one counts as 0xFF, as the register read leaves it.
inline bool ReadCountPair(CHardwareMonitor& monitor, uint8_t lowRegister, uint32_t* count) {
    uint8_t low = 0, high = 0;
    if (!monitor.ReadRegister(lowRegister, &low)) return false;
    monitor.ReadRegister(uint8_t(lowRegister + 1), &high);
    *count = uint32_t(low) + 256u * high;
    return true;
}

inline bool ReadTachometerPair(CHardwareMonitor& monitor, int fan, uint32_t* count) {
    constexpr uint8_t kFirstTachometer = 0x28;
    return ReadCountPair(monitor, uint8_t(kFirstTachometer + 2 * fan), count);
}
