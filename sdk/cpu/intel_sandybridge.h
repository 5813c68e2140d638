// The microarchitecture description of Intel's Sandy Bridge and Ivy Bridge
// processors (family 6, extended models 0x2A, 0x2D, 0x3A, 0x3E). It reads
// the ratios, limits and power figures of the model-specific registers,
// creates the VID, temperature and RAPL power sensors, names the processor
// (intel_sandybridge_names.cpp) and measures the effective core clock with
// the fixed-function counters.
#pragma once

#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/intel_shared_bodies.h"

class Intel_Sandy_Bridge_Infos : public CCPUInfos {
public:
    // The energy unit of Sandy Bridge's counters, in microjoules.
    static constexpr double kEnergyUnitMicrojoules = 15.3;

    Intel_Sandy_Bridge_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    // Updates the power sensors.
    float GetPower(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    // Mobile parts only.
    float GetBusClock(CCPUThread* thread) override;
    void DumpRegisters(CReportGenerator* report) override;

    // MSRs 0xCE and 0x17, and the package by model and platform ID.
    void ReadPlatformInfo(CCPUThread* thread);
    // From the brand string, else the ratio of MSR 0xCE; then the
    // TSC, APERF and MPERF rates.
    void GetStockClock(CCPUThread* thread);
    // One sample of an energy counter (0x611, 0x639, 0x641) into its
    // sensor: the power in watts, -1.0 when there is none yet.
    float ReadEnergyCounter(CCPUThread* thread, uint32_t msr);

    IntelRatioState m_Ratios;

private:
    void ReadLinkMultiplier(CCPUThread* thread);
};

CCPUInfos* CreateIntelSandyBridgeInfos();
