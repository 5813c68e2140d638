// The microarchitecture description of Intel's family 15 processors
// (NetBurst: Pentium 4, Pentium D, Pentium Extreme Edition, Celeron,
// Celeron D and Xeon from Willamette to Cedar Mill, Presler, Dempsey and
// Tulsa). It classifies the part by brand ID and platform ID, reads the
// bus and the ratios of MSR 0x2C (0x2A on the first models), takes the
// caches from fixed positions of CPUID leaf 2, and names the processor
// (intel_netburst_names.cpp).
#pragma once

#include "sdk/cpu/cpu_infos.h"

class Intel_Netburst_Infos : public CCPUInfos {
public:
    Intel_Netburst_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    float GetBusClock(CCPUThread* thread) override;

    // MSR 0x17 and the brand ID: platform, mobile, sample, Xeon, Celeron.
    void ReadPlatformInfo(CCPUThread* thread);
    // The bus and ratios of MSR 0x2C (or the MSR 0x2A ratio) and the stock
    // clock they give.
    void GetStockClock(CCPUThread* thread);
    // The Extreme Editions' stock clock from the brand string.
    void GetBrandStockClock(CCPUThread* thread);

    int32_t m_bHyperThreading = 0;
    int32_t m_bXeon = 0;
    int32_t m_bCeleron = 0;
    int32_t m_bXeonMP = 0;

private:
    // The names by model (intel_netburst_names.cpp).
    void IdentifyPrescott(CCPUThread* thread);
    void IdentifyModel4(CCPUThread* thread);
    void IdentifyModel6(CCPUThread* thread);
};

CCPUInfos* CreateIntelNetburstInfos();
