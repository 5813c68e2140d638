#include "sdk/cpu/cpu_core.h"

#include <cmath>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

// Core 2 from extended model 0x17 (Penryn) on runs at half multipliers.
constexpr int32_t kFirstHalfMultiplierCore2 = 0x17;

} // namespace

CCPUCore::CCPUCore(int32_t coreId) : m_iCoreId(coreId), m_pThreads(new CTList<CCPUThread>) {}

CCPUCore::~CCPUCore() { delete m_pThreads; }

CCPUThread* CCPUCore::GetFirstThread() const { return CTListIterator<CCPUThread>(m_pThreads).GetFirst(); }

FIDVID_Control* CCPUCore::GetFIDVIDControl() const {
    CCPUThread* thread = GetFirstThread();
    return thread ? thread->GetFIDVIDControl() : nullptr;
}

void CCPUCore::Update() {
    CCPUThread* thread = GetFirstThread();
    if (!thread) return;
    m_fMultiplier = thread->m_fMeasuredMultiplier;
    UpdateClock(thread);
    m_fTemperature = thread->m_fMeasuredTemperature;
}

void CCPUCore::UpdateClock(CCPUThread* thread) {
    float clock;
    if (m_fBusClock > 0 && m_fMultiplier > 0) {
        clock = m_fBusClock * m_fMultiplier;
    } else {
        clock = thread->m_fMeasuredCoreClock;
        if (clock <= 0) clock = thread->m_fMeasuredTSCClock;
        if (m_fMultiplier <= 0 && m_fBusClock > 0 && clock > 0) {
            const bool halfSteps = ClassWithoutSubcode(thread->m_dwClassCode) == CPU_CLASS_INTEL_CORE_2 &&
                                   thread->m_iExtModel >= kFirstHalfMultiplierCore2;
            m_fMultiplier = halfSteps ? std::trunc(2.0f * clock / m_fBusClock + 0.5f) * 0.5f
                                      : static_cast<float>(RoundToInt(clock / m_fBusClock));
            // The step the clock rounds to is the multiplier; the clock
            // follows from it, as when the multiplier was measured.
            clock = m_fBusClock * m_fMultiplier;
        }
    }
    if (thread->m_pClockSensor) {
        thread->m_pClockSensor->m_dwRawValue = clock > 0 ? static_cast<uint32_t>(clock) : CSensor::kNoRawValue;
        thread->m_pClockSensor->SetValue(clock, 1);
    }
    m_fClock = PiScaledClock::FromMHz(clock);
}
