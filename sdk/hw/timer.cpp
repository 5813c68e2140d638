// Measuring one timer against another.
#include "sdk/hw/timer.h"

#include <algorithm>
#include <cmath>

#include "machine/clock.h"
#include "platform/threads.h"

namespace {

constexpr uint64_t kNsPerMs = 1'000'000;

// A count a read gave; a failed read gives -1.0, and no count is NaN.
bool IsCount(double reading) { return reading >= 0.0; }

// The reference's readings since the first, r0, made into a rising
// sequence: a reading below r0 has the reference's wrap period added. A
// reading that still lies below the one before it means the reference
// went backwards further than one wrap accounts for.
class ReferenceTrack {
public:
    ReferenceTrack(double first, double wrap) : m_dFirst(first), m_dWrap(wrap), m_dLast(first) {}

    // Counts since the first reading; false for a failed read or a
    // reference that went backwards.
    bool Advance(double reading, double* elapsed) {
        if (!IsCount(reading)) return false;
        if (reading < m_dFirst) reading += m_dWrap;
        if (reading < m_dLast) return false;
        m_dLast = reading;
        *elapsed = reading - m_dFirst;
        return true;
    }

private:
    double m_dFirst;
    double m_dWrap;
    double m_dLast;
};

// Polls the reference, and nothing else, until `window` counts have
// passed: a busy loop by design, so that the end of the window is seen
// within one read. It gives up (false) when a read fails, the reference
// goes backwards, or the wall clock passes `deadlineNs` (measured by the
// host's monotonic clock, which keeps running whatever clock the program
// has installed, so a stopped or dead reference cannot hold it).
bool WaitForWindow(CTimer& reference, ReferenceTrack& track, double window, uint64_t deadlineNs) {
    for (;;) {
        double elapsed = 0.0;
        if (!track.Advance(reference.Read(), &elapsed)) return false;
        if (elapsed >= window) return true;
        if (vexa::machine::wallNs() > deadlineNs) return false;
    }
}

} // namespace

double CTimer::Measure(CTimer* reference, uint32_t store, int32_t multiplier) {
    if (!reference) return -1.0;
    const double referenceHz = reference->m_dFrequency;
    if (!(referenceHz > 0.0) || !std::isfinite(referenceHz)) return -1.0;
    if (!(reference->Read() > 0.0)) return -1.0;

    const int32_t windows = std::max<int32_t>(multiplier, 1);
    const double window = referenceHz * kWindowMs / 1000.0 * windows;
    const uint64_t deadlineNs =
        vexa::machine::wallNs() + static_cast<uint64_t>(kWindowMs * kNsPerMs) * uint64_t(windows) + kWaitSlackNs;

    const double t0 = Read();
    const double r0 = reference->Read();
    if (!IsCount(t0) || !IsCount(r0)) return -1.0;
    ReferenceTrack track(r0, reference->m_dWrap);
    if (multiplier >= 0) {
        if (!WaitForWindow(*reference, track, window, deadlineNs)) return -1.0;
    } else {
        Sleep(kSleepMs);
    }

    const double t1 = Read();
    double span = 0.0;
    if (!IsCount(t1) || !track.Advance(reference->Read(), &span)) return -1.0;
    double ticks = t1 - t0;
    if (ticks < 0.0) ticks += m_dWrap;
    if (!(ticks > 0.0) || !(span > 0.0)) return -1.0;

    const double frequency = ticks * referenceHz / span;
    if (store) m_dFrequency = frequency;
    return frequency;
}
