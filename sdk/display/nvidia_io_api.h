// NVIDIA GPUs described from their own registers: the first PCI memory
// window (BAR0) read through the kernel driver's physical-memory access.
// Init binds every NVIDIA adapter, maps its window, names the GPU from its
// device id, sets family, codename, technology and revision, and gives the
// G80 to GF110 generations their bit-banged I2C space. The readings answer
// only for the families whose registers are known; nothing is written.
#pragma once

#include "sdk/display/display_api.h"

class NVIDIA_DirectIO_DisplayAPI : public CDisplayAPI {
public:
    NVIDIA_DirectIO_DisplayAPI();

    // 1 when at least one NVIDIA adapter was bound.
    int Init() override;
    void Dump(CReportGenerator* report) override;
    void Dump2(CReportGenerator* report) override;
    int GetTemperature(CDisplayAdapter* adapter, float* celsius) override;
    int GetFanDuty(CDisplayAdapter* adapter, uint32_t* percent) override;
    // The level is not used; the range outputs are always set to -1.
    int GetCoreClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz, float* maxMHz) override;
    int GetShaderClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz, float* maxMHz) override;
    int GetMemoryClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz, float* maxMHz) override;
    int GetMemoryType(CDisplayAdapter* adapter, uint32_t* type) override;
    int GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb) override;
    int GetMemoryBusWidth(CDisplayAdapter* adapter, uint32_t* bits) override;

    // The fan duty in percent from a PWM period and duty register pair,
    // at most 100; -1 when not readable.
    int32_t ReadFanDuty(CDisplayAdapter* adapter, uint32_t periodRegister, uint32_t dutyRegister);

private:
    void BindAdapter(CDisplayAdapter* adapter);
    // The PLL clock of a core or shader clock: the source selection's
    // field at `selectShift` picks the coefficient register.
    int ReadEngineClock(CDisplayAdapter* adapter, uint32_t selectShift, uint32_t controlRegister,
                        uint32_t coefficientAtTwo, uint32_t coefficientAtThree, float* mhz);
};
