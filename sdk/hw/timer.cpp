// Measuring one timer against another.
#include "sdk/hw/timer.h"

#include <algorithm>
#include <cmath>

#include "platform/threads.h"
#include "sdk/hw/timer_count.h"

namespace {

// A count a read gave; a failed read gives -1.0, and no count is NaN.
bool IsCount(double reading) { return reading >= 0.0; }

} // namespace

double CTimer::Measure(CTimer* reference, uint32_t store, int32_t multiplier) {
    if (!reference) return -1.0;
    const double referenceHz = reference->m_dFrequency;
    if (!(referenceHz > 0.0) || !std::isfinite(referenceHz)) return -1.0;
    if (!(reference->Read() > 0.0)) return -1.0;

    const int32_t windows = std::max<int32_t>(multiplier, 1);
    const double window = referenceHz * kWindowMs / 1000.0 * windows;

    const double t0 = Read();
    if (!IsCount(t0)) return -1.0;
    vexa::platform::ReferenceCount count = CountAgainst(*reference);
    if (!count.Start()) return -1.0;
    if (multiplier >= 0) {
        if (!count.WaitFor(window, kWaitSlackNs)) return -1.0;
    } else {
        Sleep(kSleepMs);
    }

    const double t1 = Read();
    double span = 0.0;
    if (!IsCount(t1) || !count.Elapsed(span)) return -1.0;
    double ticks = t1 - t0;
    if (ticks < 0.0) ticks += m_dWrap;
    if (!(ticks > 0.0) || !(span > 0.0)) return -1.0;

    const double frequency = ticks * referenceHz / span;
    if (store) m_dFrequency = frequency;
    return frequency;
}
