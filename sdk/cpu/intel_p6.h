// The microarchitecture description of Intel's P6 processors (family 6,
// extended models 0x01 to 0x0B: Pentium Pro, Pentium II, Celeron, Pentium
// II Xeon, Pentium III, Pentium III Xeon and their mobile parts). It reads
// the platform ID and the power-on configuration (MSR 0x2A) for the
// package, the bus and the multiplier, and names the processor by model,
// stepping, level-2 cache, brand ID and platform (intel_p6_names.cpp).
#pragma once

#include "sdk/cpu/cpu_infos.h"

class Intel_P6_Infos : public CCPUInfos {
public:
    Intel_P6_Infos();

    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // The power-on ratio of MSR 0x2A by model; -1.0 without it.
    float GetMultiplier(CCPUThread* thread) override;

    // MSR 0x17: platform ID, mobile flag and platform bit 1.
    void ReadPlatform(CCPUThread* thread);
    // MSR 0x2A: the nominal bus clock, and the stock clock it gives.
    void ReadBusClock(CCPUThread* thread);

    int32_t m_iPlatformBit1 = 0;  // selects the cartridge and Xeon packages

private:
    // The package the platform ID gives the model, after its name.
    void PlatformPackage(CCPUThread* thread);
};

CCPUInfos* CreateIntelP6Infos();
