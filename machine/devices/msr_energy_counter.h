// A RAPL energy-status counter of an Intel processor: MSR_PKG_ENERGY_STATUS
// (0x611), MSR_PP0_ENERGY_STATUS (0x639, the cores), MSR_PP1_ENERGY_STATUS
// (0x641, the graphics) and MSR_DRAM_ENERGY_STATUS (0x619). It counts the
// energy its domain used in the unit MSR_RAPL_POWER_UNIT (0x606) states:
// 2^-ESU joules with ESU = bits 12:8. A domain drawing `watts` adds
// watts x 2^ESU counts a second from the installed clock. The count is 32
// bits wide and wraps (within minutes at high loads); the processor does
// not let software write it.
#pragma once

#include <cstdint>

namespace vexa::machine {

class MsrEnergyCounter {
public:
    // MSR_RAPL_POWER_UNIT and the unit a processor without it counts in:
    // 2^-16 J, the 15.3 uJ of Sandy Bridge.
    static constexpr uint32_t kPowerUnitMsr = 0x606;
    static constexpr unsigned kDefaultUnitBits = 16;

    MsrEnergyCounter() = default;
    // `start`: the count at the clock's zero; `watts` > 0.
    MsrEnergyCounter(uint64_t start, double watts) : start_(start), watts_(watts) {}

    // The count in units of 2^-unitBits J (0..31).
    uint32_t read(unsigned unitBits) const;
    // ESU of a MSR_RAPL_POWER_UNIT value.
    static unsigned unitBitsOf(uint64_t powerUnit) { return unsigned(powerUnit >> 8) & 0x1F; }

private:
    uint64_t start_ = 0;
    double watts_ = 0;
};

} // namespace vexa::machine
