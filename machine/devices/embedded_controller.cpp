#include "machine/devices/embedded_controller.h"

namespace vexa::machine {

uint32_t EmbeddedController::read(uint16_t port, unsigned) {
    if (port == kCommandPort) {
        if (!settings_.answers) return kInputFull;
        return outputFull_ ? kOutputFull : 0;
    }
    outputFull_ = false;
    return output_;
}

void EmbeddedController::write(uint16_t port, unsigned, uint32_t value) {
    if (!settings_.answers) return;
    const auto byte = uint8_t(value);
    if (port == kCommandPort) {
        outputFull_ = false;
        step_ = byte == kReadCommand ? Step::ReadAddress : byte == kWriteCommand ? Step::WriteAddress : Step::Idle;
        return;
    }
    switch (step_) {
    case Step::ReadAddress:
        step_ = Step::Idle;
        if (settings_.silentRegisters.count(byte)) return;
        output_ = settings_.registers[byte];
        if (settings_.flickeringRegisters.count(byte)) output_ ^= uint8_t(flicker_++ & 1);
        outputFull_ = true;
        return;
    case Step::WriteAddress:
        address_ = byte;
        step_ = Step::WriteValue;
        return;
    case Step::WriteValue:
        settings_.registers[address_] = byte;
        step_ = Step::Idle;
        return;
    case Step::Idle: return;
    }
}

} // namespace vexa::machine
