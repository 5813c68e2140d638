// The register window (BAR0) of an NVIDIA GPU: memory-mapped 32-bit
// registers that keep what is written, starting with the values the image
// gives (others read 0), and the four I2C buses of the G80 generation on:
// line register 0xE138 + 0x18 * bus, bit 0 the clock and bit 1 the data
// line. Writing a line register drives the bus (1 releases a line); reading
// it gives the levels on the lines in bits 0-1 and the written value above.
// The video BIOS shows, read-only, in the ROM window at 0x300000 (1 MiB;
// beyond the image it reads 0xFF). The window answers while its function's
// BAR0 names its base and memory decoding (command bit 1) is on; the model
// never moves it.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "machine/devices/i2c_line_bus.h"
#include "machine/devices/memory_bus.h"
#include "machine/devices/pci_config_space.h"

namespace vexa::machine {

struct GpuRegisterSettings {
    static constexpr unsigned kBuses = 4;
    static constexpr uint32_t kLineRegister = 0xE138, kLineStride = 0x18;
    static constexpr uint32_t kRomWindow = 0x300000, kRomWindowSize = 0x100000;

    PciAddress function;
    uint64_t base = 0;
    uint64_t size = 0x1000000;
    std::map<uint32_t, uint32_t> registers;  // dword offset -> value at the start
    // Per bus: 7-bit address -> the device's registers from 0 on.
    std::array<std::map<uint8_t, std::vector<uint8_t>>, kBuses> i2c;
    std::vector<uint8_t> rom;  // the video BIOS, at most kRomWindowSize bytes
};

class NvidiaRegisterWindow final : public MemoryDevice {
public:
    // `space` holds the GPU's function and outlives the window.
    NvidiaRegisterWindow(GpuRegisterSettings settings, const PciConfigSpace& space);

    std::string name() const override { return "GPU register window"; }
    uint64_t base() const override { return settings_.base; }
    uint64_t size() const override { return settings_.size; }
    bool enabled() const override;
    void read(uint64_t offset, std::span<uint8_t> out) override;
    void write(uint64_t offset, std::span<const uint8_t> data) override;

    const I2cLineBus& bus(unsigned index) const { return *buses_[index]; }

private:
    uint32_t dword(uint32_t offset) const;
    // The bus of a line register; null for any other offset.
    I2cLineBus* busAt(uint32_t offset) const;

    GpuRegisterSettings settings_;
    const PciConfigSpace& space_;
    std::array<std::unique_ptr<I2cLineBus>, GpuRegisterSettings::kBuses> buses_;
};

} // namespace vexa::machine
