// The SMBus engines of Intel's integrated memory controllers from Sandy
// Bridge-EP on (Xeon E5/E7 v1 to v4, Core i7 of the X79 and X99
// platforms): two engines in configuration space of the memory controller's
// function, at 0x180 and 0x190. The image's slaves sit behind the engine at
// 0x180; the one at 0x190 has none.
//
// Each engine has three dwords:
//   +0 status: bit 31 read data valid, 30 write done, 29 bus error (no
//      acknowledge), 28 busy; bits 15:0 the data read (a word with the
//      first byte on the wire in bits 15:8, a byte in bits 7:0).
//   +4 command: bit 31 starts it, bit 29 a word, bit 27 a write, bits 26:24
//      the device, 23:16 the register, 15:0 the data to write (a word first
//      byte in bits 15:8).
//   +8 control: bits 31:28 the device type (the slave address is type << 3 |
//      device: 0011b for the modules' thermal sensors at 0x18-0x1F, 1010b
//      for their EEPROMs at 0x50-0x57, 0110b for the DDR4 page select at
//      0x36/0x37), bit 27 the clock override: clear, the clock is held low
//      and a started command waits until it is set again. The other bits
//      are kept.
// A start clears the completion bits; the engine shows busy at the next
// status read and its outcome from the read after (with the clock held,
// busy until the clock is released, then as before).
#pragma once

#include "machine/devices/pci_config_space.h"
#include "machine/devices/smbus_segment.h"

#include <array>

namespace vexa::machine {

class ImcSmbusEngines final : public PciRegisterBlock {
public:
    static constexpr unsigned kFirstEngine = 0x180;
    static constexpr unsigned kSecondEngine = 0x190;

    enum Status : uint32_t { kReadDone = 0x80000000, kWriteDone = 0x40000000, kBusError = 0x20000000, kBusy = 0x10000000 };

    // `segment`: the slaves of the engine at 0x180.
    ImcSmbusEngines(PciAddress function, SmbusSegment segment, bool stuckBusy);

    PciAddress function() const override { return function_; }
    unsigned first() const override { return kFirstEngine; }
    unsigned last() const override { return kSecondEngine + 11; }
    void read(unsigned offset, std::span<uint8_t> out) override;
    void write(unsigned offset, std::span<const uint8_t> data) override;

    SmbusSegment& segment() { return engines_[0].segment; }

private:
    enum class Phase { Idle, Held, Pending };

    struct Engine {
        SmbusSegment segment;
        std::array<uint32_t, 3> registers{};  // status, command, control
        Phase phase = Phase::Idle;
    };

    void started(Engine& engine);
    void run(Engine& engine);

    PciAddress function_;
    bool stuckBusy_;
    std::array<Engine, 2> engines_;
};

} // namespace vexa::machine
