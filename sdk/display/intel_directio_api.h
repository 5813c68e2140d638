// Intel integrated graphics by direct register access: binds (and, where
// the PCI scan made none, creates) an adapter for every Intel display
// device, names it from a short device-id table, and reads the memory size
// and core clock of the generations whose chipset registers are known.
#pragma once

#include "sdk/display/display_api.h"

class Intel_DirectIO_DisplayAPI : public CDisplayAPI {
public:
    Intel_DirectIO_DisplayAPI();

    // 1 when at least one Intel PCI graphics function was bound.
    int Init() override;
    void Dump(CReportGenerator* report) override;
    void Dump2(CReportGenerator* report) override;
    // Maps the thermal window of the chipsets that have one; answers no
    // temperature.
    int GetTemperature(CDisplayAdapter* adapter, float* degrees) override;
    int GetCoreClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* min, float* max) override;
    int GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb) override;
};

// The stolen-memory size of a graphics control code (bits 4-7 of the
// Clarkdale host bridge's register 0x52) in MB; 0 for a code with no size.
uint32_t IntelStolenMemoryMB(uint32_t code);
