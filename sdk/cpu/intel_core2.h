// The microarchitecture description of Intel's Core 2 processors (family 6,
// extended models 0x0F Merom/Conroe/Woodcrest/Kentsfield/Clovertown/
// Tigerton, 0x15 the LE80578, 0x16 Merom-L/Conroe-L, 0x17 Penryn/Wolfdale/
// Yorkfield/Harpertown and 0x1D Dunnington). It reads the platform ID and
// TDP code of MSR 0x17, the bus of MSR 0xCD and the ratios of its FID/VID
// control, takes the stock clock from the brand string or the ratio, names
// the processor (intel_core2_names.cpp), and measures the bus clock by
// counting bus cycles and the core clock by counting core cycles against
// the ACPI PM timer, putting the counter controls back afterwards.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class Intel_Core_2_Infos : public CCPUInfos {
public:
    Intel_Core_2_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // The FID/VID control's multiplier; 0.0 when the processor hides it.
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    // Unhalted core cycles of fixed counter 1 against the PM timer.
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    // Bus cycles of general counter 0 against the PM timer.
    float GetBusClock(CCPUThread* thread) override;

    // MSR 0x17: platform ID, engineering sample, TDP, package.
    void ReadPlatformInfo(CCPUThread* thread);
    // MSR 0xCD's bus, then the brand string or the ratio.
    void GetStockClock(CCPUThread* thread);

    int32_t m_bServerSocket = 0;
    int32_t m_bExtremeEdition = 0;  // IA32_PERF_STATUS bit 31
    int32_t m_bNoStockRatio = 0;    // MSR 0xCE bit 63
    int32_t m_bMultiplierHidden = 0;  // MSR 0xEE bit 27

private:
    float TjMax(CCPUThread* thread) const;
    // The names by model (intel_core2_names.cpp).
    void IdentifyMerom(CCPUThread* thread);
    void IdentifyConroeL(CCPUThread* thread);
    void IdentifyPenryn(CCPUThread* thread);
    void IdentifyDunnington(CCPUThread* thread);
};

CCPUInfos* CreateIntelCore2Infos();
