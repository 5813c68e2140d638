// One call of an Itanium processor abstraction layer (PAL) procedure: four
// arguments (argument 0 the procedure number) and the four results of the
// last successful call (result 0 the PAL status). IA64_CPUThread caches
// them; the kernel driver makes the call on the calling processor.
#pragma once

#include <cstdint>

class CReportGenerator;

class PAL_Procedure {
public:
    // The four arguments as eight dwords, low dword first.
    PAL_Procedure(uint32_t a0Low, uint32_t a0High, uint32_t a1Low, uint32_t a1High, uint32_t a2Low,
                  uint32_t a2High, uint32_t a3Low, uint32_t a3High);
    virtual ~PAL_Procedure() = default;
    PAL_Procedure(const PAL_Procedure&) = delete;
    PAL_Procedure& operator=(const PAL_Procedure&) = delete;

    // 1 when the driver ran the call and its status (result 0) is 0.
    int Call();
    // Argument i (0..3); all ones for i of 4 or more.
    uint64_t GetArgument(uint32_t i) const;
    bool SameArguments(const uint64_t (&arguments)[4]) const;
    // "PAL Procedure", then the arguments ("IN") and results ("OUT").
    void Dump(CReportGenerator* report);

    uint64_t m_qwArguments[4];
    uint64_t m_qwResults[4] = {};
};
