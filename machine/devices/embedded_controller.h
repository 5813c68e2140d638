// The ACPI embedded controller of a notebook or mainboard: the command and
// status port 0x66 and the data port 0x62 in front of 256 byte registers.
// Command 0x80 reads the register whose number follows on the data port
// (its byte then waits in the output buffer, status bit 0), command 0x81
// writes the byte that follows the register number. The controller takes
// every byte at once, so the input-buffer bit (1) is set only on a
// controller that does not answer at all.
#pragma once

#include "machine/devices/data_command_ports.h"

#include <array>
#include <cstdint>
#include <set>

namespace vexa::machine {

struct EmbeddedControllerSettings {
    std::array<uint8_t, 256> registers{};
    // Registers whose read the controller never completes (the output
    // buffer stays empty), as a controller busy with its firmware does.
    std::set<uint8_t> silentRegisters;
    // Registers whose reads alternate between the byte and the byte with
    // its lowest bit flipped: a reading that is still changing.
    std::set<uint8_t> flickeringRegisters;
    // A controller that never empties its input buffer: every wait times out.
    bool answers = true;
};

class EmbeddedController final : public DataAndCommandPorts {
public:
    static constexpr uint16_t kDataPort = 0x62;
    static constexpr uint16_t kCommandPort = 0x66;
    static constexpr uint8_t kReadCommand = 0x80;
    static constexpr uint8_t kWriteCommand = 0x81;
    static constexpr uint8_t kOutputFull = 0x01;
    static constexpr uint8_t kInputFull = 0x02;

    explicit EmbeddedController(EmbeddedControllerSettings settings)
        : DataAndCommandPorts(kDataPort, kCommandPort), settings_(std::move(settings)) {}

    std::string name() const override { return "embedded controller"; }
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    uint8_t reg(uint8_t index) const { return settings_.registers[index]; }

private:
    enum class Step : uint8_t { Idle, ReadAddress, WriteAddress, WriteValue };

    EmbeddedControllerSettings settings_;
    Step step_ = Step::Idle;
    uint8_t address_ = 0;
    uint8_t output_ = 0;
    bool outputFull_ = false;
    unsigned flicker_ = 0;
};

} // namespace vexa::machine
