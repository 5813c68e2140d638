// The message bus of Intel's Atom systems on a chip (Bay Trail and its
// kin): the units of the SoC (the power unit, the graphics, the memory
// controller ...) keep registers that software reaches only through three
// registers of the host bridge 00:00.0:
//
// - MCR (0xD0), the message control register: a write sends one message,
//   opcode in bits 31:24, unit port in 23:16, register bits 7:0 in 15:8
//   (bits 7:0 are byte enables, ignored here). It keeps nothing: reads
//   give 0.
// - MDR (0xD4), the message data register: a read message leaves the
//   register's value here; a write message takes its value from here.
// - MCRX (0xD8), the extension: bits 31:8 are register bits 31:8 of the
//   next messages; it keeps what is written.
//
// Read messages are opcodes 0x10 and 0x06, write messages 0x11 and 0x07;
// other opcodes do nothing. A message is sent when a write reaches the
// opcode byte (0xD3). The units' registers are the register file of the
// image; a register it does not list reads 0 until written.
#pragma once

#include "machine/devices/pci_config_space.h"

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace vexa::machine {

struct MessageBusRegister {
    uint8_t port = 0;
    uint32_t reg = 0;
    uint32_t value = 0;
    bool operator==(const MessageBusRegister&) const = default;
};

class MessageBus final : public PciRegisterBlock {
public:
    static constexpr PciAddress kHostBridge{0, 0, 0};
    static constexpr unsigned kControl = 0xD0;
    static constexpr unsigned kData = 0xD4;
    static constexpr unsigned kControlExtension = 0xD8;
    static constexpr uint8_t kReadOpcodes[] = {0x10, 0x06};
    static constexpr uint8_t kWriteOpcodes[] = {0x11, 0x07};

    explicit MessageBus(const std::vector<MessageBusRegister>& registers);

    PciAddress function() const override { return kHostBridge; }
    unsigned first() const override { return kControl; }
    unsigned last() const override { return kControlExtension + 3; }
    void read(unsigned offset, std::span<uint8_t> out) override;
    void write(unsigned offset, std::span<const uint8_t> data) override;

private:
    void send(uint32_t control);

    std::map<std::pair<uint8_t, uint32_t>, uint32_t> registers_;
    // The bytes of MCR (as written, for the message), MDR and MCRX.
    std::array<uint8_t, 12> bytes_{};
};

} // namespace vexa::machine
