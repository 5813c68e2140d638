// The bus clock as the time-stamp counter's rate, measured by the driver
// against the ACPI PM timer, over the thread's maximum non-turbo
// multiplier: the GetBusClock body of the descriptions whose processors'
// time-stamp counter runs at that multiplier (VIA Nano, Intel NetBurst).
#pragma once

class CCPUThread;

// -1.0 without the library's ACPI PM timer, when the measurement fails or
// while the maximum non-turbo multiplier is unknown.
float MeasuredBusClock(CCPUThread* thread);
