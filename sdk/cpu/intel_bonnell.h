// The microarchitecture description of the first Intel Atom cores (family
// 6, extended models 0x1C, 0x26, 0x35 and 0x36: Silverthorne, Diamondville,
// Pineview, Cedarview, Cloverview). It reads the platform, ratio and bus
// clock registers, keeps a Core 2 FID/VID control where the processor has
// enhanced SpeedStep, creates the core temperature sensor and names the
// processor (intel_bonnell_names.cpp); temperature and core clock come from
// the shared Intel bodies, and it knows no bus clock.
#pragma once

#include "sdk/cpu/cpu_infos.h"

constexpr uint32_t kIntelBonnellClass = 0x1010000;

class Intel_Bonnell_Infos : public CCPUInfos {
public:
    Intel_Bonnell_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // The FID/VID control's current multiplier, else the ratio of MSR 0x2A
    // (EBL_CR_POWERON bits 26:22).
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;

    // MSR 0x17: platform ID, mobile and sample flags, the maximum ratio;
    // then the FID/VID control's lowest multiplier.
    void ReadPlatformInfo(CCPUThread* thread);
    // MSR 0xCD: the nominal bus clock; the stock clock from it and the
    // maximum ratio.
    void GetStockClock(CCPUThread* thread);

    int32_t m_bPerformanceStatus = 0;  // MSR 0x198 bit 31 at the first refresh
};

CCPUInfos* CreateIntelBonnellInfos();
