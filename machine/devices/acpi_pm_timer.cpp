#include "machine/devices/acpi_pm_timer.h"

#include "machine/clock.h"

namespace vexa::machine {

std::vector<PortRange> AcpiPmTimer::ranges() const { return {PortRange{port_, uint16_t(port_ + 3)}}; }

bool AcpiPmTimer::decodes(uint16_t port, unsigned width) const {
    return port >= port_ && unsigned(port - port_) + width <= 4;
}

uint32_t AcpiPmTimer::count() {
    const unsigned __int128 ticks = (unsigned __int128)clock().nowNs() * kFrequencyHz / 1'000'000'000u;
    return uint32_t(ticks) & kCounterMask;
}

uint32_t AcpiPmTimer::read(uint16_t port, unsigned width) {
    const uint32_t value = count() >> (8 * unsigned(port - port_));
    return width >= 4 ? value : value & ((1u << (8 * width)) - 1);
}

} // namespace vexa::machine
