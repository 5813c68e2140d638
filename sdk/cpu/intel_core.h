// The microarchitecture descriptions of Intel's family 6 mobile processors
// before Core 2: Intel_Mobile_Infos for Banias and Dothan (extended models
// 0x09 and 0x0D: Pentium M, Celeron M, A100/A110) and Intel_Core_Infos for
// Yonah (0x0E: Core Solo, Core Duo, their Celeron and Pentium). Both read
// the platform ID, take the stock clock from the brand string, and name the
// processor by brand ID or core count, level-2 cache and stock clock.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class Intel_Mobile_Infos : public CCPUInfos {
public:
    Intel_Mobile_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;

    // MSR 0x17: platform ID, mobile flag and package.
    void ReadPlatformInfo(CCPUThread* thread);
    // The brand string's clock, and the bus it gives with the ratio.
    void GetStockClock(CCPUThread* thread);
};

class Intel_Core_Infos : public CCPUInfos {
public:
    Intel_Core_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    // The TSC rate over the maximum non-turbo multiplier.
    float GetBusClock(CCPUThread* thread) override;

    // MSR 0x17: platform ID, mobile flag, engineering sample.
    void ReadPlatformInfo(CCPUThread* thread);
    // MSR 0xCD's bus, then the brand string or the ratio.
    void GetStockClock(CCPUThread* thread);
};

CCPUInfos* CreateIntelMobileInfos();
CCPUInfos* CreateIntelCoreInfos();
