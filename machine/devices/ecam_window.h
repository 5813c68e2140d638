// The PCI Express enhanced configuration mechanism (ECAM, "MMCFG"): a
// window of physical memory in which the 4 KB configuration space of every
// function of buses 0..buses-1 lies at
//     ((bus * 32 + device) * 8 + function) * 4096 + register,
// that is bus << 20 | device << 15 | function << 12 | register. Reads and
// writes reach the machine's PCI configuration space as direct accesses
// do: an absent function reads all ones and ignores writes. An access that
// crosses from one function into the next is split between them.
#pragma once

#include "machine/devices/memory_bus.h"
#include "machine/devices/pci_config_space.h"

namespace vexa::machine {

struct EcamSettings {
    static constexpr uint64_t kBusBytes = 1u << 20;
    static constexpr unsigned kMaxBuses = 256;

    uint64_t base = 0xE0000000;  // a multiple of kBusBytes
    unsigned buses = kMaxBuses;  // 1..256
    bool operator==(const EcamSettings&) const = default;
};

class EcamWindow final : public MemoryDevice {
public:
    EcamWindow(const EcamSettings& settings, PciConfigSpace& space) : settings_(settings), space_(space) {}

    std::string name() const override { return "PCI Express configuration window"; }
    uint64_t base() const override { return settings_.base; }
    uint64_t size() const override { return uint64_t(settings_.buses) * EcamSettings::kBusBytes; }
    void read(uint64_t offset, std::span<uint8_t> out) override;
    void write(uint64_t offset, std::span<const uint8_t> data) override;

private:
    EcamSettings settings_;
    PciConfigSpace& space_;
};

} // namespace vexa::machine
