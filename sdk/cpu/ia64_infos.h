// The descriptions of Intel's Itanium processors. The vendor level
// (Intel_IA64_CPU_Infos) reads the IA-64 CPUID registers and asks the
// processor abstraction layer (PAL) through the thread for its version,
// topology, caches and bus ratio; by family it installs the Itanium or the
// Itanium 2 description, which name the processor (ia64_itanium.cpp). No
// IA-64 description measures temperature, power or clocks.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class IA64_CPUThread;

// The PAL procedures the descriptions call, by their published numbers.
enum PALProcedureNumber : uint64_t {
    PAL_CACHE_INFO = 2,
    PAL_CACHE_SUMMARY = 4,
    PAL_FIXED_ADDR = 12,
    PAL_FREQ_RATIOS = 14,
    PAL_VERSION = 20,
    PAL_LOGICAL_TO_PHYSICAL = 42,
    PAL_CACHE_SHARED_INFO = 43,
};

constexpr uint32_t kIntelIA64Class = 0x1000000;
constexpr uint32_t kIntelItaniumClass = 0x1100000;
constexpr uint32_t kIntelItanium2Class = 0x1100100;

class Intel_IA64_CPU_Infos : public CCPUInfos {
public:
    Intel_IA64_CPU_Infos();

    // One descriptor per cache level and type the PAL reports.
    void DetectCaches(CCPUThread* thread) override;
    // Family, model, stepping, the PAL version and the topology.
    void Initialize(CCPUThread* thread) override;
    // Installs the description of the family (7 Itanium, 31 and 32 Itanium 2).
    int Identify(CCPUThread* thread) override;
    // The processor-to-bus ratio of PAL_FREQ_RATIOS, asked at every call.
    float GetMultiplier(CCPUThread* thread) override;
    void DumpRegisters(CReportGenerator* report) override;

    int32_t m_iArchitectureRevision = -1;  // CPUID register 3 bits 39:32
    int32_t m_iPALAVersion = -1;           // model << 8 | revision
    int32_t m_iPALBVersion = -1;
    int32_t m_iPALVendor = -1;
};

class Intel_Itanium_Infos : public CCPUInfos {
public:
    Intel_Itanium_Infos();
    int Identify(CCPUThread* thread) override;
};

class Intel_Itanium_2_Infos : public CCPUInfos {
public:
    Intel_Itanium_2_Infos();
    int Identify(CCPUThread* thread) override;
};

CCPUInfos* CreateIntelIA64Infos();
