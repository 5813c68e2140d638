// The I/O port space of a simulated machine: devices claim port ranges and
// answer the accesses that start inside them. A port no device claims
// behaves as on a PC's bus with nobody answering: reads succeed with all
// ones, writes succeed and go nowhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexa::machine {

struct PortRange {
    uint16_t first = 0, last = 0;  // inclusive
};

class PortDevice {
public:
    virtual ~PortDevice() = default;
    virtual std::string name() const = 0;
    // The ports the device occupies; no two devices of a bus may overlap.
    virtual std::vector<PortRange> ranges() const = 0;
    // Whether the device answers an access of `width` bytes at `port`.
    // Returning false leaves the access to the bus (all ones / dropped).
    virtual bool decodes(uint16_t port, unsigned width) const = 0;
    virtual uint32_t read(uint16_t port, unsigned width) = 0;
    virtual void write(uint16_t port, unsigned width, uint32_t value) = 0;
};

class PortBus {
public:
    // False (with a message) when the device's ports overlap a device
    // already attached.
    bool attach(std::unique_ptr<PortDevice> device, std::string& error);
    uint32_t read(uint16_t port, unsigned width);
    void write(uint16_t port, unsigned width, uint32_t value);

private:
    PortDevice* deviceFor(uint16_t port, unsigned width) const;
    std::vector<std::unique_ptr<PortDevice>> devices_;
};

} // namespace vexa::machine
