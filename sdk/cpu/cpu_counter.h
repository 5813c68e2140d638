// Small records of the processor model: a running time counter (the idle,
// kernel and user times of a logical processor) and a list item holding
// one 32-bit value, used as a set of distinct values.
#pragma once

#include <cstdint>

class CCounter {
public:
    CCounter() = default;
    virtual ~CCounter() = default;

    // current = x; once a previous reading exists (>= 0), the last delta
    // becomes x - previous; previous = x.
    void Update(double x);

    double m_dCurrent = -1.0;
    double m_dPrevious = -1.0;
    float m_fLastDelta = -1.0f;
};

class CCounterItem {
public:
    explicit CCounterItem(uint32_t value) : m_dwValue(value) {}
    virtual ~CCounterItem() = default;

    uint32_t m_dwValue;
};
