// The microarchitecture description of Intel's Silvermont Atom cores
// (family 6, extended models 0x37, 0x4A, 0x4D and 0x4C: Bay Trail, Avoton,
// Braswell). It reads turbo ratios and power limits, keeps the RAPL energy
// counters of the package and the cores, reads the core, package and
// graphics temperatures (the graphics one through the SoC's message bus at
// the host bridge), measures the effective core clock against the HPET and
// names the processor (intel_silvermont_names.cpp).
#pragma once

#include <array>

#include "sdk/cpu/cpu_infos.h"

constexpr uint32_t kIntelSilvermontClass = 0x1010200;

class Intel_Silvermont_Infos : public CCPUInfos {
public:
    static constexpr int kRatioLimits = 8;

    Intel_Silvermont_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    // The core's degrees; the package and graphics sensors on the way.
    float GetTemperature(CCPUThread* thread) override;
    // The package, then the cores; the cores' watts.
    float GetPower(CCPUThread* thread) override;
    // Against the HPET; the timer argument is not used.
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    void DumpRegisters(CReportGenerator* report) override;

    // MSRs 0x17 and 0xCE, the lowest multiplier and the package.
    void ReadPlatformInfo(CCPUThread* thread);
    // MSR 0xCD: the nominal bus clock; the stock clock from the brand
    // string, else from the bus clock and the ratio.
    void GetStockClock(CCPUThread* thread);
    // Watts of one energy register (0x611 package, 0x639 cores) since the
    // previous sample, into its sensor; -1.0 on the first sample, without
    // the sensor or the HPET, or when counter or HPET did not advance.
    float ReadEnergyCounter(CCPUThread* thread, uint32_t msr);

    double m_dEnergyUnit = -1.0;  // joules per count
    int32_t m_iMaxPower = -1;     // watts
    int32_t m_iMinPower = -1;
    int32_t m_bTurboSupported = 0;
    int32_t m_bTurboEnabled = 0;
    int32_t m_iMaxNonTurboRatio = -1;
    int32_t m_iMaxTurboRatio = -1;
    std::array<int32_t, kRatioLimits> m_iRatioLimits{-1, -1, -1, -1, -1, -1, -1, -1};  // 1 to 8 active cores

private:
    void ReadTurbo(CCPUThread* thread);
    void ReadPowerLimits(CCPUThread* thread);
    void ReadGraphicsTemperature(CCPUThread* thread);
};

CCPUInfos* CreateIntelSilvermontInfos();
