#include "sdk/cpu/measured_bus_clock.h"

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_shared_bodies.h"

float MeasuredBusClock(CCPUThread* thread) {
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!timer || !thread) return -1.0f;
    const float tsc = MeasureMSRRate(timer, intel_msr::kTimeStampCounter);
    const float ratio = thread->m_fMaxNonTurboMultiplier;
    return tsc > 0 && ratio > 0 ? tsc / ratio : -1.0f;
}
