// The SMBus host controller of the ALi M7101 power-management unit (with
// the M1535 south bridge): 32 ports at the base in 0xE2 (bits 15:5) of the
// M7101 function, decoded while bit 2 of 0xD1 is set; transfers start while
// the host is enabled (bit 0 of 0xF0).
//
// Registers, at offsets from the base:
//   0x00 status: 0x04 idle and 0x08 busy (read-only), 0x10 done, 0x20
//        device error (no acknowledge), 0x40 bus collision, 0x80 failed
//        (killed); writing 1 clears done and the errors.
//   0x01 transfer type: bits 6:4 (0 quick, 2 byte data, 3 word data), 0x04
//        kill (reads 0); the other bits keep what is written.
//   0x02 start: any write starts the transfer of the type register.
//   0x03 address (bit 0: read), 0x04 data 0, 0x05 data 1, 0x07 command.
// Other transfer types (byte, block) are not modelled: they end with a
// device error.
#pragma once

#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class AliM7101SmbusHost final : public SmbusPortHost {
public:
    static constexpr unsigned kPorts = 32;
    static constexpr unsigned kBaseRegister = 0xE2;
    static constexpr uint32_t kBaseMask = 0xFFE0;
    static constexpr PciEnableBits kDecode{0xD1, 0x04};
    static constexpr PciEnableBits kHostEnable{0xF0, 0x01};

    enum Status : uint8_t {
        kIdle = 0x04,
        kBusy = 0x08,
        kDone = 0x10,
        kDeviceError = 0x20,
        kCollision = 0x40,
        kFailed = 0x80,
    };

    AliM7101SmbusHost(uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment, bool stuckBusy)
        : SmbusPortHost("ALi M7101 SMBus controller", base, kPorts, 1, std::move(gate), std::move(segment),
                        stuckBusy) {}

    uint8_t status() const { return status_; }

protected:
    uint8_t readRegister(unsigned offset) override;
    void writeRegister(unsigned offset, uint8_t value) override;

private:
    void start();
    bool run(unsigned type);

    uint8_t status_ = kIdle;
    std::array<uint8_t, kPorts> registers_{};  // all but status
};

} // namespace vexa::machine
