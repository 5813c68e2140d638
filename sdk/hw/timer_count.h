// Counting against one of the library's timers: the platform's reference
// count over the timer's reads, at its frequency and with its wrap period.
#pragma once

#include "platform/reference_count.h"
#include "sdk/hw/timer.h"

inline vexa::platform::ReferenceCount CountAgainst(CTimer& timer) {
    return vexa::platform::ReferenceCount([&timer] { return timer.Read(); }, timer.m_dFrequency, timer.m_dWrap);
}
