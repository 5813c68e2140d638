// The microarchitecture description of Intel's Skylake processors (family
// 6, extended models 0x4E and 0x5E). It works as the Haswell description
// does and shares its procedures; its own are a shorter platform step, its
// list of stock clocks, a simple identification and a bus clock it asks of
// the overclocking mailbox (the driver cannot measure it through the local
// APIC timer on these processors).
#pragma once

#include "sdk/cpu/intel_haswell.h"

class Intel_Skylake_Infos : public Intel_Haswell_Infos {
public:
    // The bus-clock command of the mailbox and its bound of polls.
    static constexpr uint8_t kReadBusClock = 5;
    static constexpr int kBusClockPolls = 10000;

    Intel_Skylake_Infos();

    int Identify(CCPUThread* thread) override;
    // MHz from the mailbox's kHz count: -1.0 without the driver, the mutex
    // or a mailbox that reads; 0.0 when the command did not finish.
    float GetBusClock(CCPUThread* thread) override;
    // MSRs 0xCE and 0x17 only: no package, no mobile flag.
    void ReadPlatformInfo(CCPUThread* thread) override;

protected:
    std::span<const StockClockText> StockClocks() const override;
};

CCPUInfos* CreateIntelSkylakeInfos();
