// The SMBus host controller of AMD's south bridges of the Athlon era
// (AMD-756, -766, -768 and -8111; the library calls the family AMD-755):
// 16 ports at offset 0xE0 of the power-management I/O block whose base is
// bits 15:8 of register 0x58 of the ACPI function, decoded while bit 7 of
// 0x41 is set. Its registers are words.
//
// Registers, at offsets from the base:
//   0x00 global status (word): 0x01 aborted, 0x02 collision, 0x04 protocol
//        error (no acknowledge), 0x08 host busy (read-only), 0x10 host cycle
//        done, 0x20 time-out, 0x0800 SMBus busy (read-only); writing 1
//        clears a bit.
//   0x02 global enable (word): bits 2:0 the cycle (0 quick, 2 byte data, 3
//        word data), 0x08 start and 0x20 abort (both read 0); the rest is
//        kept.
//   0x04 address (bit 0: read), 0x06 data (word: data 0, data 1), 0x08
//   command. The other ports keep what is written.
// Other cycles (byte, process call, block) end with a protocol error.
#pragma once

#include "machine/devices/smbus_port_host.h"

#include <array>

namespace vexa::machine {

class Amd756SmbusHost final : public SmbusPortHost {
public:
    static constexpr unsigned kPorts = 16;
    static constexpr unsigned kBaseRegister = 0x58;
    static constexpr uint32_t kBaseMask = 0xFF00;
    static constexpr uint16_t kBlockOffset = 0xE0;
    static constexpr PciEnableBits kDecode{0x41, 0x80};

    enum Status : uint8_t {
        kAborted = 0x01,
        kCollision = 0x02,
        kProtocolError = 0x04,
        kHostBusy = 0x08,
        kCycleDone = 0x10,
        kTimeOut = 0x20,
    };

    Amd756SmbusHost(uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment, bool stuckBusy)
        : SmbusPortHost("AMD-756 SMBus controller", base, kPorts, 2, std::move(gate), std::move(segment), stuckBusy) {}

    uint8_t status() const { return registers_[0]; }

protected:
    uint8_t readRegister(unsigned offset) override { return registers_[offset]; }
    void writeRegister(unsigned offset, uint8_t value) override;

private:
    void start();

    std::array<uint8_t, kPorts> registers_{};
};

} // namespace vexa::machine
