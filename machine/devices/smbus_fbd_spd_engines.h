// The SPD controllers of Intel's FB-DIMM memory controller hubs, in
// configuration space of the function that owns them:
//   5000 series (5000P/V/X, 5400, 7300): status words at 0x74 and 0x76,
//     command dwords at 0x78 and 0x7C, one engine per FB-DIMM channel of
//     the branch (device 21 or 22, function 0);
//   E8500: one engine, status at 0x80 and command at 0x84.
// The image's slaves sit behind the first engine; a second has none.
//
// Status (16 bits): 0x8000 read data valid, 0x4000 write done, 0x2000 bus
// error (no acknowledge), 0x1000 busy, bits 7:0 the byte read.
// Command (32 bits): bits 31:28 the device type and 26:24 the device (the
// slave address is type << 3 | device: 1010b, 0-7 for the EEPROMs at
// 0x50-0x57), bits 23:16 the byte address, 15:8 the byte to write, bit 0 a
// write. On the 5000 series bit 27 is the clock override: with it clear the
// clock is held low and a command does not run.
// Writing the command's top byte starts it (unless busy) and clears the
// completion bits; the engine shows busy at the next status read, which a
// transfer on a 100 kHz bus outlasts, and its outcome from the read after.
#pragma once

#include "machine/devices/pci_config_space.h"
#include "machine/devices/smbus_segment.h"

#include <vector>

namespace vexa::machine {

class FbdSpdEngines final : public PciRegisterBlock {
public:
    enum class Chip { Intel5000, E8500 };

    enum Status : uint16_t { kReadDone = 0x8000, kWriteDone = 0x4000, kBusError = 0x2000, kBusy = 0x1000 };

    // `segment`: the slaves of the first engine.
    FbdSpdEngines(Chip chip, PciAddress function, SmbusSegment segment, bool stuckBusy);

    PciAddress function() const override { return function_; }
    unsigned first() const override;
    unsigned last() const override;
    void read(unsigned offset, std::span<uint8_t> out) override;
    void write(unsigned offset, std::span<const uint8_t> data) override;

    SmbusSegment& segment() { return engines_.front().segment; }

private:
    struct Engine {
        unsigned statusRegister;
        unsigned commandRegister;
        SmbusSegment segment;
        uint16_t status = 0;
        uint32_t command = 0;
        bool pending = false;  // started; the outcome shows after one busy read
    };

    uint8_t byteAt(unsigned offset) const;
    void run(Engine& engine);

    Chip chip_;
    PciAddress function_;
    bool stuckBusy_;
    std::vector<Engine> engines_;
};

} // namespace vexa::machine
