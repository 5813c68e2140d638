// The power-management registers of ATI/AMD south bridges (SB600 to the
// FCH), reached through the index port 0xCD6 and the data port 0xCD7:
// 256 byte registers that keep what is written. The SMBus base of the SB800
// and of the AMD FCH lives there (AmdPmSmbusGate):
//   SB800 layout: register 0x2C bit 0 enables the SMBus ports, their base is
//     bits 15:5 of the word 0x2D:0x2C;
//   FCH layout (Hudson-2 and later, "KERNCZ"): register 0x00 bit 4 enables
//     them, register 0x01 is bits 15:8 of the base.
#pragma once

#include "machine/devices/port_bus.h"
#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class AmdPmRegisters final : public PortDevice {
public:
    static constexpr uint16_t kIndexPort = 0xCD6;
    static constexpr uint16_t kDataPort = 0xCD7;

    std::string name() const override { return "AMD power-management registers (0xCD6/0xCD7)"; }
    std::vector<PortRange> ranges() const override { return {PortRange{kIndexPort, kDataPort}}; }
    bool decodes(uint16_t port, unsigned width) const override {
        return width == 1 && (port == kIndexPort || port == kDataPort);
    }
    uint32_t read(uint16_t port, unsigned) override { return port == kIndexPort ? index_ : registers_[index_]; }
    void write(uint16_t port, unsigned, uint32_t value) override;

    uint8_t at(uint8_t index) const { return registers_[index]; }
    void set(uint8_t index, uint8_t value) { registers_[index] = value; }

private:
    uint8_t index_ = 0;
    std::array<uint8_t, 256> registers_{};
};

// The SMBus base in the power-management registers.
class AmdPmSmbusGate final : public SmbusHostGate {
public:
    enum class Layout { Sb800, Fch };

    AmdPmSmbusGate(const AmdPmRegisters& registers, Layout layout) : registers_(registers), layout_(layout) {}

    // Writes `base` with the enable bit into the registers of `layout`.
    static void place(AmdPmRegisters& registers, Layout layout, uint16_t base);
    // The alignment a base of `layout` needs.
    static uint16_t alignment(Layout layout) { return layout == Layout::Sb800 ? 0x20 : 0x100; }

    uint16_t base() const override;
    bool hostEnabled() const override { return true; }

private:
    const AmdPmRegisters& registers_;
    Layout layout_;
};

} // namespace vexa::machine
