// One processor core: its logical processors and the clock, multiplier,
// bus clock and temperature shown for it. The processor interface owns the
// cores; packages refer to them.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"
#include "sdk/cpu/pi_scaled_clock.h"

class CCPUThread;
class FIDVID_Control;

class CCPUCore {
public:
    explicit CCPUCore(int32_t coreId = -1);
    virtual ~CCPUCore();
    CCPUCore(const CCPUCore&) = delete;
    CCPUCore& operator=(const CCPUCore&) = delete;

    CCPUThread* GetFirstThread() const;
    FIDVID_Control* GetFIDVIDControl() const;
    // Takes the first logical processor's measured multiplier, clock and
    // temperature (nothing without one).
    void Update();
    // The clock from bus clock x multiplier, else the measured core or
    // time-stamp counter clock, deriving the multiplier from that when it
    // is unknown; the thread's clock sensor gets the plain MHz.
    void UpdateClock(CCPUThread* thread);

    int32_t m_iCoreId;
    CTList<CCPUThread>* m_pThreads;  // refers
    float m_fClock = -1.0f;          // PiScaledClock
    float m_fMultiplier = -1.0f;
    float m_fBusClock = -1.0f;       // MHz
    float m_fTemperature = -1.0f;    // degrees Celsius
};
