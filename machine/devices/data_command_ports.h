// A controller behind a data port and a separate command/status port
// (embedded controllers, the abit uGuru, the Apple SMC): byte accesses of
// the two ports are its, everything else is the bus's.
#pragma once

#include "machine/devices/port_bus.h"

namespace vexa::machine {

class DataAndCommandPorts : public PortDevice {
public:
    DataAndCommandPorts(uint16_t dataPort, uint16_t commandPort) : data_(dataPort), command_(commandPort) {}

    std::vector<PortRange> ranges() const override { return {PortRange{data_, data_}, PortRange{command_, command_}}; }
    bool decodes(uint16_t port, unsigned width) const override {
        return width == 1 && (port == data_ || port == command_);
    }

private:
    uint16_t data_, command_;
};

} // namespace vexa::machine
