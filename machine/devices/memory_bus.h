// The memory-mapped devices of a simulated machine: register blocks that
// answer physical-memory accesses inside their address range in place of
// RAM (the HPET, the local APIC page, the PCI Express configuration
// window). An access that starts inside a device must end inside it too;
// one that runs past the device's end fails, as the chipset would not
// split it between two targets.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexa::machine {

class MemoryDevice {
public:
    virtual ~MemoryDevice() = default;
    virtual std::string name() const = 0;
    virtual uint64_t base() const = 0;
    virtual uint64_t size() const = 0;  // bytes, at least 1
    // offset + size of the access <= size(); the bus checks.
    virtual void read(uint64_t offset, std::span<uint8_t> out) = 0;
    virtual void write(uint64_t offset, std::span<const uint8_t> data) = 0;
    // Whether the device answers its range at the moment; one its chipset
    // has switched off leaves the addresses to whatever lies beneath.
    virtual bool enabled() const { return true; }

    uint64_t last() const { return base() + (size() - 1); }
};

// A device made of naturally aligned 64-bit registers. Accesses of any
// size and alignment are cut into the registers they touch: a read takes
// the bytes it covers from each register, a write hands each register the
// bytes it covers together with a mask of them.
class QwordRegisterBlock : public MemoryDevice {
public:
    void read(uint64_t offset, std::span<uint8_t> out) final;
    void write(uint64_t offset, std::span<const uint8_t> data) final;

protected:
    // `offset` is a multiple of 8.
    virtual uint64_t readRegister(uint64_t offset) = 0;
    // `mask` has all ones in the bytes the access wrote; the bits of
    // `value` outside it are zero.
    virtual void writeRegister(uint64_t offset, uint64_t value, uint64_t mask) = 0;
};

class MemoryBus {
public:
    // False (with a message) when the device is empty, wraps past the end
    // of the address space or overlaps a device already attached.
    bool attach(std::unique_ptr<MemoryDevice> device, std::string& error);

    // Whether an enabled device answers at `address`; such accesses never
    // reach RAM.
    bool decodes(uint64_t address) const { return deviceAt(address) != nullptr; }
    // The device that claims a byte of [first, last], if any, enabled or not.
    const MemoryDevice* overlapping(uint64_t first, uint64_t last) const;

    // False when no device holds the access from its first to its last byte.
    bool read(uint64_t address, std::span<uint8_t> out);
    bool write(uint64_t address, std::span<const uint8_t> data);

private:
    MemoryDevice* deviceAt(uint64_t address) const;
    // The device holding all of [address, address + size), or null.
    MemoryDevice* holder(uint64_t address, size_t size) const;

    std::vector<std::unique_ptr<MemoryDevice>> devices_;
};

} // namespace vexa::machine
