#include "sdk/chipset/memory_info.h"

#include "sdk/core/helpers.h"

float CMemoryInfo::GetDRAMFrequency(float busClock, float multiplier) const {
    if (m_bAsynchronous) return m_fDRAMFrequency;
    if (!(busClock > 0.0f)) return -1.0f;  // unknown, or not a number
    if (m_fFSBDRAMRatio > 0.0f) return busClock * m_fFSBDRAMRatio;
    if (IsValidFloat(m_fDRAMOffset)) return busClock + m_fDRAMOffset;
    // A divisor of 0 gives no clock.
    if (IsValid(m_iCPUDivisor) && m_iCPUDivisor != 0)
        return static_cast<float>(busClock * multiplier / static_cast<float>(m_iCPUDivisor));
    return -1.0f;
}
