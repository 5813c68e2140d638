// The root complex register block (chipset configuration registers) of an
// Intel ICH6 or later: 16 KB of memory-mapped registers at the base the
// LPC bridge 00:1f.0 holds in its configuration dword 0xF0 (RCBA: base in
// bits 31:14, enable in bit 0).
//
// The registers keep what is written, like RAM; the one the model gives a
// meaning is FD, the function-disable dword at 0x3418 (ich_function_disable.h):
// bit 3 hides the SMBus controller 00:1f.3, bit 24 the thermal sensor
// 00:1f.6, on every path to configuration space, until cleared.
//
// The block sits at the base the image gives and answers there while the
// LPC bridge's dword 0xF0 holds that base with bit 0 set; a register that
// points elsewhere or is disabled switches the block off (the model does
// not move it). The function-disable bits act whether the block answers or
// not, as the hub keeps them either way.
#pragma once

#include "machine/devices/memory_bus.h"
#include "machine/devices/pci_config_space.h"

#include <vector>

namespace vexa::machine {

struct RcbaSettings {
    static constexpr uint64_t kAlignment = 0x4000;  // 16 KB

    uint64_t base = 0xFED1C000;    // a multiple of kAlignment below 4 GiB
    uint32_t functionDisable = 0;  // FD at the start
    bool operator==(const RcbaSettings&) const = default;
};

// The registers themselves, owned by the configuration space as the gate
// that hides the functions their FD bits name.
class RootComplexRegisters final : public PciFunctionGate {
public:
    static constexpr uint64_t kSize = 0x4000;
    static constexpr uint64_t kFunctionDisable = 0x3418;
    static constexpr uint32_t kSmbusDisable = 1u << 3;
    static constexpr uint32_t kThermalDisable = 1u << 24;

    explicit RootComplexRegisters(uint32_t functionDisable);

    bool hides(PciAddress address, const PciConfigSpace& space) const override;

    // offset + size <= kSize; the caller checks.
    void read(uint64_t offset, std::span<uint8_t> out) const;
    void write(uint64_t offset, std::span<const uint8_t> data);

private:
    uint32_t functionDisable() const;

    std::vector<uint8_t> bytes_;
};

// The block's window in physical memory.
class RootComplexBlock final : public MemoryDevice {
public:
    static constexpr unsigned kBaseRegister = 0xF0;  // of the LPC bridge
    static constexpr uint32_t kEnable = 1u;
    static constexpr uint32_t kBaseMask = 0xFFFFC000u;

    // `space` holds the LPC bridge and owns `registers`; both outlive the block.
    RootComplexBlock(uint64_t base, const PciConfigSpace& space, RootComplexRegisters& registers)
        : base_(base), space_(space), registers_(registers) {}

    std::string name() const override { return "root complex register block"; }
    uint64_t base() const override { return base_; }
    uint64_t size() const override { return RootComplexRegisters::kSize; }
    bool enabled() const override;
    void read(uint64_t offset, std::span<uint8_t> out) override { registers_.read(offset, out); }
    void write(uint64_t offset, std::span<const uint8_t> data) override { registers_.write(offset, data); }

private:
    uint64_t base_;
    const PciConfigSpace& space_;
    RootComplexRegisters& registers_;
};

} // namespace vexa::machine
