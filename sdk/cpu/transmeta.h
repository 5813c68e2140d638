// The vendor description of processors whose vendor string is
// "GenuineTMx86": the Crusoe and Efficeon, named by family, hardware
// revision (Transmeta leaf 0x80860001) and level-2 cache. They answer no
// measurement.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class Transmeta_CPU_Infos : public CCPUInfos {
public:
    Transmeta_CPU_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // The Transmeta leaves from 0x80860000.
    void DumpCPUID(CReportGenerator* report) override;

    uint32_t m_dwHardwareRevision = 0xFFFFFFFF;  // CPUID 0x80860001 EBX
    uint32_t m_dwMaxTransmetaLeaf = 0xFFFFFFFF;  // CPUID 0x80860000 EAX
};

CCPUInfos* CreateTransmetaInfos();
