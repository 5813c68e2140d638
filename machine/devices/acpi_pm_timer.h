// The ACPI power-management timer: a free-running 24-bit up-counter at
// 3.579545 MHz, read as a dword at its port (bits 31:24 read 0). Byte and
// word reads of its four ports give the matching bytes; writes are
// ignored, the register being read-only. The count follows the installed
// clock, so a test that drives a ManualClock drives the timer.
#pragma once

#include "machine/devices/port_bus.h"

namespace vexa::machine {

class AcpiPmTimer final : public PortDevice {
public:
    static constexpr uint64_t kFrequencyHz = 3'579'545;
    static constexpr uint32_t kCounterMask = 0x00FFFFFF;

    explicit AcpiPmTimer(uint16_t port) : port_(port) {}

    std::string name() const override { return "ACPI PM timer"; }
    std::vector<PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t, unsigned, uint32_t) override {}

    // The counter at the clock's present time.
    static uint32_t count();

private:
    uint16_t port_;
};

} // namespace vexa::machine
