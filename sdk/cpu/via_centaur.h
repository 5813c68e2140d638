// The descriptions of processors whose vendor string is "CentaurHauls":
// the vendor description names the IDT WinChip and the VIA C3 itself and
// reads their multipliers; it installs the C7 (Esther) and the Nano
// (Isaiah, CNA core) descriptions for those models.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class VIA_CPU_Infos : public CCPUInfos {
public:
    VIA_CPU_Infos();

    void Initialize(CCPUThread* thread) override;
    void DetectCaches(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // The WinChip and C3 decoders of MSRs 0x10A, 0x147 and 0x2A; -1.0 for
    // other models, reserved codes and registers that do not read.
    float GetMultiplier(CCPUThread* thread) override;

private:
    // The C3's nominal bus clock from MSR 0x2A, then the stock clock.
    void GetStockClock(CCPUThread* thread);
    void IdentifyWinChip(CCPUThread* thread);
    void IdentifyFamily6(CCPUThread* thread);
};

class VIA_C7_Infos : public CCPUInfos {
public:
    VIA_C7_Infos();

    void Initialize(CCPUThread* thread) override;
    void DetectCaches(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // CPUID 0xC0000002 EBX bits 15:8.
    float GetMultiplier(CCPUThread* thread) override;
    void DumpCPUID(CReportGenerator* report) override;

    int32_t m_iBrandIdA = 1;  // MSR 0x1153
    int32_t m_iBrandIdD = 1;  // MSR 0x1154
    uint32_t m_dwMaxCentaurLeaf = 0xFFFFFFFF;
};

class VIA_CNA_Infos : public CCPUInfos {
public:
    VIA_CNA_Infos();

    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    // CPUID 0xC0000004 EAX, in degrees, through the core temperature sensor.
    float GetTemperature(CCPUThread* thread) override;
    float GetBusClock(CCPUThread* thread) override;
    void DumpCPUID(CReportGenerator* report) override;

    uint32_t m_dwMaxCentaurLeaf = 0xFFFFFFFF;
};

CCPUInfos* CreateVIAInfos();
