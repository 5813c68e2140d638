// The microarchitecture description of Intel's Nehalem and Westmere
// processors (family 6, extended models 0x1A, 0x1E, 0x1F, 0x25, 0x2C, 0x2E,
// 0x2F: Bloomfield, Gainestown, Lynnfield, Clarksfield, Havendale,
// Clarkdale, Arrandale, Gulftown, Westmere-EP, Beckton, Westmere-EX). It
// reads the ratios and limits of the model-specific registers, estimates
// the package power from TDP and TDC, finds the uncore PCI functions of its
// package and installs the PCI Express window the processor reports, counts
// the QPI links, and names the processor (intel_nehalem_names.cpp).
#pragma once

#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/intel_shared_bodies.h"

class Intel_Nehalem_Infos : public CCPUInfos {
public:
    Intel_Nehalem_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // Stores the FID/VID control's multiplier in the thread's effective
    // multiplier and answers 0.0, so that the measurement thread measures
    // the core clock.
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    // An estimate from TDP, TDC limit, core voltage and multiplier.
    float GetPower(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    // The TSC rate over the maximum non-turbo ratio.
    float GetBusClock(CCPUThread* thread) override;
    void DumpRegisters(CReportGenerator* report) override;

    // MSRs 0xCE and 0x17, and the package by model and platform ID.
    void ReadPlatformInfo(CCPUThread* thread);
    // From the brand string, else the ratio of MSR 0xCE.
    void GetStockClock(CCPUThread* thread);
    // The uncore PCI functions on the package's bus into the node device
    // list (intel_nehalem_uncore.cpp).
    void FindNodeDevices(CCPUThread* thread);

    int32_t m_bRatioUnlocked = 0;
    TurboState m_Turbo;
    int32_t m_iTDCLimit = -1;  // amperes
    int32_t m_iMaxNonTurboRatio = -1;
    int32_t m_iMaxTurboRatio = -1;
    int32_t m_iMaxEfficiencyRatio = -1;
    int32_t m_iMaxBusNumber = -1;
    int32_t m_iMaxTurboFrequency = -1;  // MHz
    int32_t m_iQPILinks = -1;

private:
    void ReadRatios(CCPUThread* thread);
    void ReadPowerLimits(CCPUThread* thread);
    void CreateTemperatureSensor(CCPUThread* thread);
    // MSR 0x300: the highest bus number and the PCI Express window.
    void ReadBusNumber(CCPUThread* thread);
    void ReadLinkMultiplier(CCPUThread* thread);
};

CCPUInfos* CreateIntelNehalemInfos();
