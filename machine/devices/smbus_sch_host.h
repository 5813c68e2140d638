// The SMBus host controller of the Intel SCH (US15W, the Atom Z5xx
// platform): 64 ports at the base the LPC bridge's SMBA register (0x40)
// holds, bit 31 enabling them.
//
// Registers, at offsets from the base:
//   0x00 host control: bits 2:0 the transfer (0 quick, 2 byte data, 3 word
//        data, 5 block), 0x10 start (reads 0); the other bits keep what is
//        written.
//   0x01 host status: 0x01 done, 0x02 device error (no acknowledge), 0x04
//        bus collision, 0x08 busy (read-only); writing 1 clears a bit. The
//        SCH has no in-use semaphore: the other bits read 0.
//   0x02 clock divider (kept), 0x04 address (bit 0: read), 0x05 command,
//   0x06 data 0 (the block count), 0x07 data 1, 0x20-0x3F block data.
// Other transfer types (byte, process call) are not modelled: they end
// with a device error.
#pragma once

#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class SchSmbusHost final : public SmbusPortHost {
public:
    static constexpr unsigned kPorts = 64;
    static constexpr unsigned kBaseRegister = 0x40;  // SMBA of the LPC bridge
    static constexpr uint32_t kBaseMask = 0xFFC0;
    static constexpr PciEnableBits kEnable{0x43, 0x80};  // SMBA bit 31

    enum Status : uint8_t { kDone = 0x01, kDeviceError = 0x02, kCollision = 0x04, kBusy = 0x08 };

    SchSmbusHost(uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment, bool stuckBusy)
        : SmbusPortHost("SCH SMBus controller", base, kPorts, 1, std::move(gate), std::move(segment), stuckBusy) {}

    uint8_t status() const { return status_; }

protected:
    uint8_t readRegister(unsigned offset) override;
    void writeRegister(unsigned offset, uint8_t value) override;

private:
    void start();
    bool run(unsigned type);

    uint8_t status_ = 0;
    std::array<uint8_t, kPorts> registers_{};  // all but status
};

} // namespace vexa::machine
