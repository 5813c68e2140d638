// The SMBus host controller of the ALi (ULi) M1563 south bridge: 16 ports
// at the base in bits 15:4 of the function's register 0x80, decoded while
// its bit 0 is set; transfers start while bit 1 (host enable) is set.
//
// Registers, at offsets from the base:
//   0x00 status: 0x01 busy (read-only), 0x02 done, 0x04 device error (no
//        acknowledge), 0x08 bus error, 0x10 failed (killed), 0x80 byte done
//        (blocks); writing 1 clears a bit.
//   0x01 control 1 (0x40 last byte, 0x80 time-out): kept, but a block's
//        start clears last byte, which software sets for the transfer it
//        is in (no public description gives its read value; this keeps
//        drivers that set it before or after a block working).
//   0x02 control 2: bits 5:3 the transfer (0 quick, 2 byte data, 3 word
//        data, 5 block), 0x40 start and 0x04 kill (both read 0).
//   0x03 command, 0x04 address (bit 0: read), 0x05 data 0 (the block
//   count), 0x06 data 1, 0x07 block data.
// A block goes byte by byte: the first start begins it with the first byte
// (reads: in block data, the count in data 0; writes: taken from block
// data with the count from data 0), each further start moves the next
// byte; each byte sets byte done, and the last one done as well. Other
// transfer types end with a device error.
#pragma once

#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class AliM1563SmbusHost final : public SmbusPortHost {
public:
    static constexpr unsigned kPorts = 16;
    static constexpr unsigned kBaseRegister = 0x80;
    static constexpr uint32_t kBaseMask = 0xFFF0;
    static constexpr PciEnableBits kDecode{0x80, 0x01};
    static constexpr PciEnableBits kHostEnable{0x80, 0x02};

    enum Status : uint8_t {
        kBusy = 0x01,
        kDone = 0x02,
        kDeviceError = 0x04,
        kBusError = 0x08,
        kFailed = 0x10,
        kByteDone = 0x80,
    };

    AliM1563SmbusHost(uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment, bool stuckBusy)
        : SmbusPortHost("ALi M1563 SMBus controller", base, kPorts, 1, std::move(gate), std::move(segment),
                        stuckBusy) {}

    uint8_t status() const { return status_; }

protected:
    uint8_t readRegister(unsigned offset) override;
    void writeRegister(unsigned offset, uint8_t value) override;

private:
    enum class Block { None, Reading, Writing };

    void start();
    void finish(uint8_t status);
    void startBlock();
    void nextBlockByte();

    uint8_t status_ = 0;
    std::array<uint8_t, kPorts> registers_{};  // all but status
    Block block_ = Block::None;
    std::vector<uint8_t> blockBytes_;
    size_t blockCount_ = 0;
    size_t moved_ = 0;
};

} // namespace vexa::machine
