// The configuration registers of Cyrix processors (486DLC to 6x86MX,
// MediaGX and Geode GX1): a register number written to port 0x22 selects
// one register, and the next access of port 0x23 reads or writes it. The
// processor answers port 0x23 only for the access that follows an index
// write naming one of its registers; any other access of 0x23, and every
// read of 0x22, is left to the bus. Only the device identification
// registers are modelled: DIR0 (0xFE), the device id, and DIR1 (0xFF), the
// stepping and revision, both read-only, as on the processor.
#pragma once

#include <optional>

#include "machine/devices/port_bus.h"

namespace vexa::machine {

struct CyrixConfigurationSettings {
    uint8_t dir0 = 0;
    uint8_t dir1 = 0;
    bool operator==(const CyrixConfigurationSettings&) const = default;
};

class CyrixConfiguration final : public PortDevice {
public:
    static constexpr uint16_t kIndexPort = 0x22;
    static constexpr uint16_t kDataPort = 0x23;
    static constexpr uint8_t kDIR0 = 0xFE;
    static constexpr uint8_t kDIR1 = 0xFF;

    explicit CyrixConfiguration(const CyrixConfigurationSettings& settings) : settings_(settings) {}

    std::string name() const override { return "Cyrix configuration registers"; }
    std::vector<PortRange> ranges() const override { return {PortRange{kIndexPort, kDataPort}}; }
    // Byte writes of the index port; byte accesses of the data port while
    // an index of a modelled register is selected.
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

private:
    // The register the last index write selected, until the data port's
    // access uses it.
    std::optional<uint8_t> selected_;
    CyrixConfigurationSettings settings_;
};

} // namespace vexa::machine
