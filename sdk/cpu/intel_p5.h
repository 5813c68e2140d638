// The microarchitecture description of Intel's P5 processors (family 5:
// Pentium, Pentium OverDrive, Pentium MMX and the mobile Pentium MMX). It
// supplies the level-1 caches these processors do not describe through
// CPUID, names the processor by model and stepping, reports a multiplier of
// 1 for the first Pentium models and measures the time-stamp clock once for
// the report.
#pragma once

#include "sdk/cpu/cpu_infos.h"

class Intel_P5_Infos : public CCPUInfos {
public:
    Intel_P5_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    // "\tTSC" with the measured clock, when there is one.
    void DumpRegisters(CReportGenerator* report) override;

    // The rate of the time-stamp counter against the ACPI PM timer; nothing
    // changes without that timer.
    void MeasureTSCClock(CCPUThread* thread);

    float m_fMeasuredTSCClock = -1.0f;  // MHz
};

CCPUInfos* CreateIntelP5Infos();
