// The Itanium logical processor: its CPUID registers come from the kernel
// driver (64-bit registers 0 .. the highest the driver reports), and the
// processor abstraction layer calls it makes are cached.
#pragma once

#include <vector>

#include "sdk/cpu/cpu_thread.h"

class PAL_Procedure;

class IA64_CPUThread : public CCPUThread {
public:
    static constexpr uint32_t kCPUIDRegisters = 16;

    IA64_CPUThread();
    ~IA64_CPUThread() override;

    // Always 1: the time-stamp counter, then (with a driver) the CPUID
    // registers, the vendor, the name and the Intel IA-64 description.
    int Identify() override;
    void DumpCPUID(CReportGenerator* report) override;
    void DumpMSRs(CReportGenerator* report) override;

    // CPUID register i; false above the highest one.
    bool GetCPUIDRegister(uint32_t i, uint64_t& value) const;
    // The call with these arguments, made again if it is cached, else made
    // and cached when it succeeds; null when it fails.
    PAL_Procedure* CallPAL(uint64_t a0, uint64_t a1, uint64_t a2, uint64_t a3);

    std::vector<uint64_t> m_CPUIDRegisters;
    CTList<PAL_Procedure>* m_pPALCalls;  // owned, with the calls
};
