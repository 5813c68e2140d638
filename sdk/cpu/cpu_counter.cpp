#include "sdk/cpu/cpu_counter.h"

// A counter that reads 0 (a processor that never ran user code) is a
// reading like any other: its delta is known from the second update on.
void CCounter::Update(double x) {
    m_dCurrent = x;
    if (m_dPrevious >= 0.0) m_fLastDelta = static_cast<float>(x - m_dPrevious);
    m_dPrevious = x;
}
