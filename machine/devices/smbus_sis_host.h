// The SMBus host controllers of SiS south bridges: the SiS 96x (964, 965,
// 966; the SMBus function 1039:0016, 32 ports at its BAR 0x20) and the SiS
// 968, which keeps byte and word data in its own data registers at 0x10 and
// 0x11 (its base is where the image says: no register of the model holds
// it).
//
// Registers, at offsets from the base (32 ports):
//   0x00 status: 0x02 device error (no acknowledge), 0x04 bus collision,
//        0x08 done, 0x10 block buffer ready; writing 1 clears a bit.
//   0x02 control: bit 0 reads 1 while a transfer runs; the other bits keep
//        what is written.
//   0x03 host control: bits 2:0 the transfer (0 quick, 2 byte data, 3 word
//        data, 5 block), 0x10 start, 0x20 kill (both read 0).
//   0x04 address (bit 0: read), 0x05 command, 0x06 bytes processed, 0x07
//   block count, 0x08-0x0F data: byte data at 0x08, word data at 0x08 and
//   0x09 (the 968: 0x10 and 0x11), blocks eight bytes at a time.
// A block goes through the eight data bytes: a read fills them and sets
// buffer ready; clearing buffer ready fills the next eight; a write takes
// eight at the start and eight more each time software clears buffer
// ready. Done comes with the last eight. Other transfer types end with a
// device error.
#pragma once

#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class SisSmbusHost final : public SmbusPortHost {
public:
    static constexpr unsigned kPorts = 32;
    static constexpr uint32_t kBaseMask = 0xFFE0;

    enum class Variant { Sis96x, Sis968 };
    enum Status : uint8_t { kDeviceError = 0x02, kCollision = 0x04, kDone = 0x08, kBufferReady = 0x10 };

    SisSmbusHost(Variant variant, uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment,
                 bool stuckBusy);

    uint8_t status() const { return registers_[0]; }

protected:
    uint8_t readRegister(unsigned offset) override;
    void writeRegister(unsigned offset, uint8_t value) override;

private:
    enum class Block { None, Reading, Writing };

    void start(uint8_t hostControl);
    void finish(uint8_t status);
    void startBlock();
    // Moves the next eight bytes between the data registers and the block.
    void nextChunk();

    unsigned dataPort_;
    bool busy_ = false;
    std::array<uint8_t, kPorts> registers_{};
    Block block_ = Block::None;
    std::vector<uint8_t> blockBytes_;
    size_t blockCount_ = 0;  // writes: the count taken at the start
    size_t moved_ = 0;  // bytes of the block through the data registers so far
};

} // namespace vexa::machine
