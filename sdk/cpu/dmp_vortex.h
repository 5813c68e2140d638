// The vendor description of processors whose vendor string is
// "Vortex86 SoC": DM&P's Vortex86 systems-on-chip, named by family and
// model and, better, by the signature their host bridge holds in register
// 0x90 ("DMP1" SX, "DMP2" DX, "DMP3" MX). Their caches are fixed; they
// answer no measurement.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class DMP_CPU_Infos : public CCPUInfos {
public:
    DMP_CPU_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
};

CCPUInfos* CreateDMPInfos();
