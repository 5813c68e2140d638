// The SMBus host controller of an Intel ICH (ICH2 to the PCH) on the I/O
// ports of its SMBus base, with one segment of slaves behind it.
//
// Registers, at offsets from the base (32 ports):
//   0x00 host status: 0x01 busy (read-only), 0x02 done, 0x04 device error
//        (no acknowledge), 0x08 bus error, 0x10 failed (killed), 0x40 in
//        use, 0x80 byte done; writing 1 clears a bit. The in-use semaphore
//        is set by a read that finds it clear.
//   0x02 host control: 0x02 kill, bits 4:2 the transfer (0 quick, 2 byte
//        data, 3 word data, 5 block), 0x20 last byte, 0x40 start (reads 0).
//        Reading it puts the block buffer's pointer back to its start.
//   0x03 command, 0x04 address (bit 0: read), 0x05 data 0 (the block
//   count), 0x06 data 1, 0x07 block data, 0x0D auxiliary control (0x02:
//   the 32-byte block buffer).
// Transfers complete at once when started. A block without the buffer
// goes byte by byte: each byte waits in block data with byte done set
// until software clears byte done; with last byte set at that moment, or
// after the announced count, the transfer ends. Other transfer types fail
// (failed bit).
//
// The ports answer while the PCI function is shown, its I/O decoding
// (command bit 0) is on and its base register (0x20) still holds the base;
// transfers start only while the host is enabled (0x40 bit 0). The model
// does not move with the base register. For tests, a controller can be
// stuck busy: every transfer hangs with the busy bit set.
#pragma once

#include "machine/devices/pci_config_space.h"
#include "machine/devices/port_bus.h"
#include "machine/devices/smbus_segment.h"

#include <vector>

namespace vexa::machine {

class IchSmbusHost final : public PortDevice {
public:
    static constexpr unsigned kPorts = 32;
    static constexpr unsigned kBaseRegister = 0x20;
    static constexpr unsigned kHostConfig = 0x40;

    enum Status : uint8_t {
        kBusy = 0x01,
        kDone = 0x02,
        kDeviceError = 0x04,
        kBusError = 0x08,
        kFailed = 0x10,
        kInUse = 0x40,
        kByteDone = 0x80,
    };

    IchSmbusHost(const PciConfigSpace& space, PciAddress function, uint16_t base, SmbusSegment segment,
                 bool stuckBusy = false);

    std::string name() const override { return "ICH SMBus controller"; }
    std::vector<PortRange> ranges() const override { return {PortRange{base_, uint16_t(base_ + kPorts - 1)}}; }
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    uint8_t status() const { return status_; }
    SmbusSegment& segment() { return segment_; }

private:
    enum class Block { None, ReadBytes, WriteBytes };

    void start(uint8_t control);
    void finish(bool acknowledged);
    void startBlock(bool read);
    // Software cleared byte done during a byte-by-byte block.
    void nextBlockByte();
    uint8_t address() const { return uint8_t(address_ >> 1); }
    bool reading() const { return address_ & 1; }

    const PciConfigSpace& space_;
    PciAddress function_;
    uint16_t base_;
    SmbusSegment segment_;
    bool stuckBusy_;

    uint8_t status_ = 0;
    uint8_t control_ = 0;
    uint8_t command_ = 0;
    uint8_t address_ = 0;
    uint8_t data0_ = 0;
    uint8_t data1_ = 0;
    uint8_t aux_ = 0;
    uint8_t blockData_ = 0;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(32, 0);  // the 32-byte block buffer
    size_t bufferPointer_ = 0;
    Block block_ = Block::None;
    std::vector<uint8_t> blockBytes_;  // byte by byte: the bytes of the transfer
    size_t blockCount_ = 0;            // the announced count
    size_t delivered_ = 0;             // reads: the bytes handed to software so far
};

} // namespace vexa::machine
