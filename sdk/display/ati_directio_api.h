// ATI/AMD GPUs by direct register access: the register window of every
// ATI adapter, the reference clocks from the video BIOS, the device-id
// tables, the I2C engine of the generation and the board's thermal chip
// (Init), and temperature, memory and clocks from the GPU's registers.
#pragma once

#include <cstdint>

#include "sdk/display/display_api.h"

class CI2CRegisterSpace;

// The thermal chips found on a GPU's I2C bus, and the on-die sensors.
enum ThermalChipCode : uint32_t {
    THERMAL_CHIP_1082 = 0x1082,
    THERMAL_CHIP_1089 = 0x1089,
    THERMAL_CHIP_1063 = 0x1063,
    THERMAL_CHIP_1064 = 0x1064,
    THERMAL_CHIP_2063 = 0x2063,
    THERMAL_CHIP_3063 = 0x3063,
    THERMAL_ON_DIE_R6XX = 0x4600,
    THERMAL_ON_DIE_R7XX = 0x4700,
};

class ATI_DirectIO_DisplayAPI : public CDisplayAPI {
public:
    ATI_DirectIO_DisplayAPI();

    // 1 when at least one adapter was bound.
    int Init() override;
    void Dump(CReportGenerator* report) override;
    void Dump2(CReportGenerator* report) override;
    int GetTemperature(CDisplayAdapter* adapter, float* degrees) override;
    int GetCoreClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* min, float* max) override;
    int GetMemoryClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* min, float* max) override;
    int GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb) override;
    int GetMemoryBusWidth(CDisplayAdapter* adapter, uint32_t* bits) override;

    // The PLL output in MHz of a control value A and feedback F; -1.0 for
    // a post divider of 0.
    static float ComputePLLClock(uint32_t family, float referenceMHz, uint32_t control, uint32_t unused,
                                 uint32_t feedback);
    static float ComputeMemoryPLLClock(float referenceMHz, uint32_t value);
};

// The reference clocks (kHz) a video BIOS gives, read through `readWord`
// (an address relative to the BIOS base, the 16-bit word there; false when
// it cannot be read). Pointers and clocks out of range leave both clocks
// as they were.
struct ATIReferenceClocks {
    int32_t core = 27000;
    int32_t memory = 27000;
};
using ATIBIOSWordReader = bool (*)(void* context, uint32_t offset, uint32_t* value);
// Legacy layout; `withMemory` also sets the memory clock.
void ReadLegacyReferenceClocks(ATIBIOSWordReader read, void* context, bool withMemory, ATIReferenceClocks* clocks);
// ATOM layout; `r8xxMemory` takes the memory clock from its own word.
void ReadAtomReferenceClocks(ATIBIOSWordReader read, void* context, bool r8xxMemory, ATIReferenceClocks* clocks);

// The thermal-chip code of an I2C manufacturer and device id; 0xFFFFFFFF
// for none.
uint32_t ATIThermalChipOf(uint8_t manufacturer, uint8_t device);
// A signed 9-bit on-die reading in whole degrees.
int32_t ATIOnDieTemperature(uint32_t value);
