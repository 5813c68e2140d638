// The microarchitecture description of AMD's K7 (extended family 7: Athlon,
// Duron, Athlon 4, Athlon XP and MP, Athlon XP-M, the K7 Sempron). It reads
// the brand ID and the power-management features, creates the K7 FID/VID
// control of mobile parts, takes the performance rating from the brand
// string, names the processor by model and brand ID, reads the multiplier
// from the FID/VID control or HWCR, and reports the level-2 cache ratio of
// the slot processors.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class AMD_K7_Infos : public CCPUInfos {
public:
    AMD_K7_Infos();

    // The level-2 ratio code of models 1 and 2 (no descriptors are made).
    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    void DumpRegisters(CReportGenerator* report) override;

    // The first of "1500+" ... "3200+" the brand string holds becomes the
    // thread's performance rating.
    static void ReadPerformanceRating(CCPUThread* thread);
    // The HWCR multiplier of FID code bits 27:24 with the bit-19 table.
    static float HWCRMultiplier(uint32_t low, int32_t extModel);

    uint32_t m_bFIDControl = 0;
    uint32_t m_bVIDControl = 0;
    uint32_t m_bThermalSensor = 0;
    int32_t m_iNN = -1;
    uint32_t m_bMPCapable = 0;
    int32_t m_iL2RatioCode = -1;

private:
    void IdentifyModel(CCPUThread* thread);
    void IdentifyBrandId(CCPUThread* thread);
};

CCPUInfos* CreateAMDK7Infos();
