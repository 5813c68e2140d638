// The SMBus host controllers of nVidia nForce chipsets (nForce2 and later):
// each SMBus function carries two, 64 ports each, at the bases in 0x50 and
// 0x54 (nForce2, nForce3) or in its BARs 0x20 and 0x24 (MCP04 and later,
// decoded while command bit 0 is set). The image's slaves sit behind the
// first; the second has none.
//
// Registers, at offsets from the base:
//   0x00 protocol: writing it starts a transfer. Bit 0 read, bits 6:1 the
//        protocol (0x02 quick, 0x06 byte data, 0x08 word data, 0x0A block
//        data), 0x80 packet error checking (not modelled).
//   0x01 status: 0x80 done and bits 4:0 the outcome: 0 success, 0x10 the
//        address was not acknowledged, 0x1F a protocol the model does not
//        carry out. A new transfer replaces it; writes are ignored.
//   0x02 address (bits 7:1; bit 0 is not used), 0x03 command, 0x04-0x23
//   data (data 0, data 1, the block bytes), 0x24 block count. The other
//   ports keep what is written.
#pragma once

#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class NvidiaSmbusHost final : public SmbusPortHost {
public:
    static constexpr unsigned kPorts = 64;
    static constexpr uint32_t kBaseMask = 0xFFFC;

    static constexpr uint8_t kDone = 0x80;
    static constexpr uint8_t kNoAcknowledge = 0x10;
    static constexpr uint8_t kUnsupported = 0x1F;

    NvidiaSmbusHost(uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment, bool stuckBusy)
        : SmbusPortHost("nForce SMBus controller", base, kPorts, 1, std::move(gate), std::move(segment), stuckBusy) {}

    uint8_t status() const { return registers_[0x01]; }

protected:
    uint8_t readRegister(unsigned offset) override { return registers_[offset]; }
    void writeRegister(unsigned offset, uint8_t value) override;

private:
    void start(uint8_t protocol);
    bool block(uint8_t addressByte);

    std::array<uint8_t, kPorts> registers_{};
};

} // namespace vexa::machine
