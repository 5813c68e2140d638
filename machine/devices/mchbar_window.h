// The memory controller's register window (MCHBAR) of an Intel host
// bridge: a block of memory-mapped registers that keep what is written,
// like RAM, starting with the values the image gives (unset registers read
// 0). Where the window sits and whether it answers is the chipset's
// choice, read from configuration space at every access, by layout:
//
//   i865    device 00:06.0 BAR 0x10 (bits 31:12) with memory decoding on
//           (command bit 1); the host bridge hides device 6 while bit 1 of
//           its register 0xF4 is clear
//   i915    host bridge 0x44 (bits 31:14), enabled by bit 28 of 0x54
//   i945    host bridge 0x44 (bits 31:14), enabled by its bit 0 (i945-i975X)
//   bar48   host bridge 0x48 (bits 31:14), enabled by its bit 0 (P965 to
//           Clarkdale)
//   core    as bar48, for the processors with an integrated controller
//           (Sandy Bridge on), whose windows are 32 KB
//
// The block answers only while the register names its base with the
// enable set; the model never moves it.
#pragma once

#include "machine/devices/memory_bus.h"
#include "machine/devices/pci_config_space.h"

#include <map>
#include <vector>

namespace vexa::machine {

enum class MchbarLayout { I865, I915, I945, Bar48, Core };

struct MchbarSettings {
    static constexpr uint64_t kMinSize = 0x1000;
    static constexpr uint64_t kMaxSize = 0x10000;

    MchbarLayout layout = MchbarLayout::Bar48;
    uint64_t base = 0;
    uint64_t size = 0x4000;                   // a multiple of 4 KB, kMinSize to kMaxSize
    std::map<uint32_t, uint32_t> registers;   // dword offset -> value at the start
    bool operator==(const MchbarSettings&) const = default;

    // The window size of a layout when the image gives none.
    static uint64_t defaultSize(MchbarLayout layout);
};

class MchbarWindow final : public MemoryDevice {
public:
    // `space` holds the host bridge (and device 6) and outlives the window.
    MchbarWindow(const MchbarSettings& settings, const PciConfigSpace& space);

    std::string name() const override { return "memory controller window"; }
    uint64_t base() const override { return settings_.base; }
    uint64_t size() const override { return settings_.size; }
    bool enabled() const override;
    void read(uint64_t offset, std::span<uint8_t> out) override;
    void write(uint64_t offset, std::span<const uint8_t> data) override;

private:
    uint32_t configDword(PciAddress function, unsigned offset) const;

    MchbarSettings settings_;
    const PciConfigSpace& space_;
    std::vector<uint8_t> bytes_;
};

// The i865/i875 host bridge's device-6 switch: device 00:06.0 is hidden
// while bit 1 of the bridge's register 0xF4 is clear.
class I865Device6Gate final : public PciFunctionGate {
public:
    static constexpr PciAddress kDevice6{0, 6, 0};
    bool hides(PciAddress address, const PciConfigSpace& space) const override;
};

} // namespace vexa::machine
