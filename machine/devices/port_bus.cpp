#include "machine/devices/port_bus.h"

namespace vexa::machine {

bool PortBus::attach(std::unique_ptr<PortDevice> device, std::string& error) {
    for (const auto& present : devices_)
        for (const PortRange& a : present->ranges())
            for (const PortRange& b : device->ranges())
                if (a.first <= b.last && b.first <= a.last) {
                    error = device->name() + " and " + present->name() + " claim the same I/O ports";
                    return false;
                }
    devices_.push_back(std::move(device));
    return true;
}

PortDevice* PortBus::deviceFor(uint16_t port, unsigned width) const {
    for (const auto& device : devices_)
        if (device->decodes(port, width)) return device.get();
    return nullptr;
}

uint32_t PortBus::read(uint16_t port, unsigned width) {
    if (PortDevice* device = deviceFor(port, width)) return device->read(port, width);
    return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

void PortBus::write(uint16_t port, unsigned width, uint32_t value) {
    if (PortDevice* device = deviceFor(port, width)) device->write(port, width, value);
}

} // namespace vexa::machine
