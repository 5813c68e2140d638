// AMD's microarchitecture descriptions of extended families 5 and 6: the
// K5 (and the Geode LX, model 10) and the K6 line up to the K6-2+ and
// K6-III+. Both only name the processor and read its multiplier; every
// other question keeps the base's answer. "Model" here is the thread's
// extended model, which for these families is the CPUID model.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class AMD_K5_Infos : public CCPUInfos {
public:
    AMD_K5_Infos();

    int Identify(CCPUThread* thread) override;
    // The Geode LX's multiplier from MSR 0x4C000014; -1.0 on a K5.
    float GetMultiplier(CCPUThread* thread) override;
};

class AMD_K6_Infos : public CCPUInfos {
public:
    AMD_K6_Infos();

    int Identify(CCPUThread* thread) override;
    // MSR 0xC0000087 bits 3:0 on the K6-2 CXT core and later; -1.0 on
    // earlier cores, for codes 8 to 15 and when the register does not read.
    float GetMultiplier(CCPUThread* thread) override;
};

CCPUInfos* CreateAMDK5Infos();
CCPUInfos* CreateAMDK6Infos();
