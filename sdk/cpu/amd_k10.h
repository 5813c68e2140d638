// The microarchitecture description of AMD families 10h (extended family
// 16: Phenom, Phenom II, Athlon II, Sempron, Opteron, Turion II) and 11h
// (17: the Turion X2 "Griffin"). It reads the brand fields of CPUID
// 0x80000001, creates the P-state FID/VID control, finds the northbridge
// functions of its node and opens the node's extended configuration space,
// reads the P-state specifications and the core count of the northbridge,
// measures the effective core clock, reads the temperature from the
// northbridge and computes the package power of the current P-state; it
// names the processor from the brand fields (amd_k10_brand_names.cpp) and
// writes the core enable mask of the command line.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class AMD_K10_ECS_RegisterSpace;

class AMD_K10_Infos : public CCPUInfos {
public:
    static constexpr int kPStateSpecificationRows = 5;

    // A row of the P-state specification table; -1 = empty.
    struct PStateSpecification {
        int32_t reserved0 = -1;
        int32_t fid = -1;
        int32_t vid = -1;
        int32_t reserved1 = -1;
    };

    AMD_K10_Infos();
    ~AMD_K10_Infos() override;

    // F3x190 := ~mask & 0xF: the write's result, 0 without the extended
    // configuration space.
    uint32_t SetCoreEnableMask(uint32_t mask) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    float GetPower(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    void DumpRegisters(CReportGenerator* report) override;

    // The northbridge functions of the thread's node.
    void FindNodeDevices(CCPUThread* thread);
    // MaxCpuCof and the ratios of the P-states; the measured rates.
    void ReadPStateRatios(CCPUThread* thread);

    AMD_K10_ECS_RegisterSpace* m_pExtendedConfig = nullptr;  // the root's register-space list owns it
    int32_t m_iPackageType = -1;
    int32_t m_iModelNumber = -1;
    int32_t m_iString1 = -1;
    int32_t m_iString2 = -1;
    int32_t m_iPage = -1;
    int32_t m_iNC = -1;
    int32_t m_iApicCoreIdSpan = -1;
    int32_t m_iCmpCap = -1;
    int32_t m_iTDCLimit = -1;  // amperes
    int32_t m_iBoostedPStates = -1;
    float m_fMaxNonTurboRatio = -1.0f;
    float m_fMaxTurboRatio = -1.0f;
    uint32_t m_bUnlocked = 0;
    PStateSpecification* m_pPStateSpecifications = nullptr;  // owned, kPStateSpecificationRows rows
    int32_t m_iPStateSpecificationCount = 0;
    int32_t m_iMaxCpuCof = -1;  // 100 MHz units
    uint32_t m_bBoostSupported = 0;
    uint32_t m_bEffectiveFrequencyInterface = 0;
    float m_fTSCRate = -1.0f;  // MHz, for the report
    float m_fAPERFRate = -1.0f;
    float m_fMPERFRate = -1.0f;
    float m_fPerfCounterRate = -1.0f;

private:
    void ReadBrandFields(CCPUThread* thread);
    void ReadNodeFunctions(CCPUThread* thread);
    void ReadPStateSpecifications();
    void ReadCoreCountAndTDP(CCPUThread* thread);
    // A register of the node's extended configuration space: false without
    // the space or when it does not read.
    bool ReadNode(uint32_t function, uint32_t reg, uint32_t* value);
};

CCPUInfos* CreateAMDK10Infos();
