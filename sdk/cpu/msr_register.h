// One model-specific register: its index and the last value read, with bit
// helpers. Every access is a request of the root's kernel-driver manager,
// which reaches the processor that runs the calling thread; callers run on
// a thread pinned to the wanted processor and inside the driver lock.
#pragma once

#include <cstdint>

class CReportGenerator;

class MSR_Register {
public:
    // An index of all ones marks a register that is never accessed.
    static constexpr uint32_t kUnusable = 0xFFFFFFFF;

    explicit MSR_Register(uint32_t index) : m_dwIndex(index) {}
    virtual ~MSR_Register() = default;
    MSR_Register(const MSR_Register&) = delete;
    MSR_Register& operator=(const MSR_Register&) = delete;

    // 1 when the driver read the register into the high and low fields; 0
    // without a driver, for an unusable index, or when the register reads
    // all ones in both halves (the answer of a register that is not there).
    int Read();
    // 1 when the driver wrote the value; the fields keep the last read.
    int Write(uint32_t high, uint32_t low);
    // Reads, sets or clears one bit (0..63) and writes the result: 0 when
    // the read fails or the bit is out of range, else the write's result.
    // The fields keep the value before the change.
    int SetBit(uint32_t bit, uint32_t value);
    // Reads; `set` = 1 when the bit is set, else 0. 0 when the read fails
    // (`set` untouched).
    int TestBit(uint32_t bit, uint32_t* set);
    // "\tMSR 0x<index>" and the high and low dwords.
    void Dump(CReportGenerator* report);

    uint64_t GetValue() const { return (uint64_t(m_dwHigh) << 32) | m_dwLow; }

    uint32_t m_dwIndex;
    uint32_t m_dwHigh = 0xFFFFFFFF;
    uint32_t m_dwLow = 0xFFFFFFFF;
};
