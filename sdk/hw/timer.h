// A free-running counter with a known or measurable frequency, kept in the
// root's timer list and found there by type.
#pragma once

#include <cstdint>

enum TimerType : uint32_t {
    TIMER_ACPI_PM = 1,
    TIMER_SYSTEM_TICK = 2,
    TIMER_PERFORMANCE_COUNTER = 3,
    TIMER_TSC = 4,
    TIMER_HPET = 6,
};

class CTimer {
public:
    CTimer(uint32_t type, double frequency, double wrap)
        : m_dwType(type), m_dFrequency(frequency), m_dWrap(wrap) {}
    virtual ~CTimer() = default;
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    uint32_t GetType() const { return m_dwType; }

    uint32_t m_dwType;
    double m_dFrequency;  // Hz; -1.0 while unknown
    double m_dWrap;       // counts added when the counter is seen to go backwards
};
