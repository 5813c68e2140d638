// A model-specific register a measurement changes: read when the scope
// starts, written back when it ends, whatever way it ends, and only when
// the measurement wrote it. Declared one after the other, saved registers
// go back in the reverse order.
#pragma once

#include <cstdint>

#include "sdk/cpu/msr_register.h"

class SavedMsr {
public:
    explicit SavedMsr(uint32_t index) : m_Register(index), m_bSaved(m_Register.Read() != 0) {
        m_dwHigh = m_Register.m_dwHigh;
        m_dwLow = m_Register.m_dwLow;
    }
    ~SavedMsr() {
        if (m_bWritten) m_Register.Write(m_dwHigh, m_dwLow);
    }
    SavedMsr(const SavedMsr&) = delete;
    SavedMsr& operator=(const SavedMsr&) = delete;

    bool Saved() const { return m_bSaved; }
    uint32_t High() const { return m_dwHigh; }
    uint32_t Low() const { return m_dwLow; }
    void Write(uint32_t high, uint32_t low) {
        m_bWritten = true;
        m_Register.Write(high, low);
    }

private:
    MSR_Register m_Register;
    bool m_bSaved;
    bool m_bWritten = false;
    uint32_t m_dwHigh = 0;
    uint32_t m_dwLow = 0;
};
