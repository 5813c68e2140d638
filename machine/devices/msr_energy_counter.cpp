#include "machine/devices/msr_energy_counter.h"

#include <cmath>

#include "machine/clock.h"

namespace vexa::machine {

uint32_t MsrEnergyCounter::read(unsigned unitBits) const {
    constexpr long double kWrap = 4294967296.0L;
    const long double countsPerSecond = static_cast<long double>(watts_) * std::ldexp(1.0L, int(unitBits & 0x1F));
    const long double counts = std::floor(countsPerSecond * static_cast<long double>(clock().nowNs()) / 1e9L);
    // Only the low 32 bits count; the remainder keeps them exact for any
    // count a long double holds to the unit.
    const auto low = static_cast<uint64_t>(std::fmod(counts, kWrap));
    return static_cast<uint32_t>(start_ + low);
}

} // namespace vexa::machine
