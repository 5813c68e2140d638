#include "machine/devices/memory_bus.h"

#include <cstdio>

namespace vexa::machine {
namespace {

constexpr uint64_t kRegisterBytes = 8;

std::string describe(const MemoryDevice& device) {
    char text[96];
    std::snprintf(text, sizeof text, " at 0x%llX-0x%llX", static_cast<unsigned long long>(device.base()),
                  static_cast<unsigned long long>(device.last()));
    return device.name() + text;
}

} // namespace

// ---- Registers ----

void QwordRegisterBlock::read(uint64_t offset, std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        const uint64_t at = offset + done;
        const uint64_t aligned = at & ~(kRegisterBytes - 1);
        const uint64_t value = readRegister(aligned);
        for (uint64_t byte = at - aligned; byte < kRegisterBytes && done < out.size(); ++byte)
            out[done++] = uint8_t(value >> (8 * byte));
    }
}

void QwordRegisterBlock::write(uint64_t offset, std::span<const uint8_t> data) {
    size_t done = 0;
    while (done < data.size()) {
        const uint64_t at = offset + done;
        const uint64_t aligned = at & ~(kRegisterBytes - 1);
        uint64_t value = 0, mask = 0;
        for (uint64_t byte = at - aligned; byte < kRegisterBytes && done < data.size(); ++byte) {
            value |= uint64_t(data[done++]) << (8 * byte);
            mask |= uint64_t(0xFF) << (8 * byte);
        }
        writeRegister(aligned, value, mask);
    }
}

// ---- Bus ----

bool MemoryBus::attach(std::unique_ptr<MemoryDevice> device, std::string& error) {
    if (device->size() == 0 || device->last() < device->base()) {
        error = device->name() + " is empty or runs past the end of the address space";
        return false;
    }
    if (const MemoryDevice* other = overlapping(device->base(), device->last())) {
        error = describe(*device) + " overlaps " + describe(*other);
        return false;
    }
    devices_.push_back(std::move(device));
    return true;
}

const MemoryDevice* MemoryBus::overlapping(uint64_t first, uint64_t last) const {
    for (const auto& device : devices_)
        if (device->base() <= last && first <= device->last()) return device.get();
    return nullptr;
}

MemoryDevice* MemoryBus::deviceAt(uint64_t address) const {
    for (const auto& device : devices_)
        if (device->base() <= address && address <= device->last() && device->enabled()) return device.get();
    return nullptr;
}

MemoryDevice* MemoryBus::holder(uint64_t address, size_t size) const {
    if (size == 0) return nullptr;
    MemoryDevice* device = deviceAt(address);
    // Compared as distances from the base, which cannot overflow.
    if (!device || size - 1 > device->last() - address) return nullptr;
    return device;
}

bool MemoryBus::read(uint64_t address, std::span<uint8_t> out) {
    MemoryDevice* device = holder(address, out.size());
    if (!device) return false;
    device->read(address - device->base(), out);
    return true;
}

bool MemoryBus::write(uint64_t address, std::span<const uint8_t> data) {
    MemoryDevice* device = holder(address, data.size());
    if (!device) return false;
    device->write(address - device->base(), data);
    return true;
}

} // namespace vexa::machine
