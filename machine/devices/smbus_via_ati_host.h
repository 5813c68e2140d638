// The SMBus host controllers that keep Intel's PIIX4 register set: VIA's
// south bridges (VT82C686 at 0x90 of its power-management function 00:07.4,
// VT8233 to VT8237 at 0xD0 of the LPC bridge 00:11.0) and ATI/AMD's (SB600
// and SB700 at 0x90 of the SMBus function 00:14.0; SB800 and the AMD FCH
// with the base in their power-management registers, amd_pm_registers.h).
// The host interface enable is bit 0 of 0xD2 of the function where the
// base is a PCI register.
//
// Registers, at offsets from the base (16 ports):
//   0x00 host status: 0x01 busy (read-only), 0x02 done (interrupt), 0x04
//        device error (no acknowledge), 0x08 bus collision, 0x10 failed
//        (killed); writing 1 clears a bit. Bits 7:5 read 0: these chips
//        have no in-use semaphore and no byte-done bit.
//   0x02 host control: 0x02 kill, bits 4:2 the transfer (0 quick, 2 byte
//        data, 3 word data, 5 block), 0x40 start (reads 0). Reading it puts
//        the block buffer's index back to its start.
//   0x03 command, 0x04 address (bit 0: read), 0x05 data 0 (the block
//   count), 0x06 data 1, 0x07 block data: the 32-byte block buffer, one
//   byte per access from the index on. The other ports keep what is written.
// Other transfer types (byte, process call) are not modelled: they end
// with a device error.
#pragma once

#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class ViaAtiSmbusHost final : public SmbusPortHost {
public:
    static constexpr unsigned kPorts = 16;
    static constexpr uint32_t kBaseMask = 0xFFF0;
    static constexpr PciEnableBits kHostEnable{0xD2, 0x01};

    enum Status : uint8_t { kBusy = 0x01, kDone = 0x02, kDeviceError = 0x04, kCollision = 0x08, kFailed = 0x10 };

    ViaAtiSmbusHost(std::string name, uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment,
                    bool stuckBusy)
        : SmbusPortHost(std::move(name), base, kPorts, 1, std::move(gate), std::move(segment), stuckBusy) {}

    uint8_t status() const { return status_; }

protected:
    uint8_t readRegister(unsigned offset) override;
    void writeRegister(unsigned offset, uint8_t value) override;

private:
    void start(uint8_t control);
    bool run(unsigned type);

    uint8_t status_ = 0;
    std::array<uint8_t, kPorts> registers_{};  // all but status and block data
    std::array<uint8_t, 32> buffer_{};
    size_t index_ = 0;
};

} // namespace vexa::machine
