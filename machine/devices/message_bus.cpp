#include "machine/devices/message_bus.h"

#include <algorithm>
#include <cstring>

namespace vexa::machine {

namespace {

uint32_t dwordAt(const std::array<uint8_t, 12>& bytes, unsigned index) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + index, 4);
    return value;
}

bool listed(std::span<const uint8_t> opcodes, uint8_t opcode) {
    return std::find(opcodes.begin(), opcodes.end(), opcode) != opcodes.end();
}

constexpr unsigned kOpcodeByte = MessageBus::kControl + 3;

} // namespace

MessageBus::MessageBus(const std::vector<MessageBusRegister>& registers) {
    for (const MessageBusRegister& reg : registers) registers_[{reg.port, reg.reg}] = reg.value;
}

void MessageBus::read(unsigned offset, std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size() && offset + i <= last(); ++i) {
        const unsigned reg = offset + unsigned(i);
        out[i] = reg < kData ? 0 : bytes_[reg - kControl];
    }
}

void MessageBus::write(unsigned offset, std::span<const uint8_t> data) {
    bool sends = false;
    for (size_t i = 0; i < data.size() && offset + i <= last(); ++i) {
        const unsigned reg = offset + unsigned(i);
        bytes_[reg - kControl] = data[i];
        sends = sends || reg == kOpcodeByte;
    }
    if (sends) send(dwordAt(bytes_, 0));
}

void MessageBus::send(uint32_t control) {
    const auto opcode = uint8_t(control >> 24);
    const auto port = uint8_t(control >> 16);
    const uint32_t reg = (dwordAt(bytes_, kControlExtension - kControl) & 0xFFFFFF00u) | ((control >> 8) & 0xFF);
    const unsigned data = kData - kControl;
    if (listed(kReadOpcodes, opcode)) {
        const auto found = registers_.find({port, reg});
        const uint32_t value = found == registers_.end() ? 0 : found->second;
        std::memcpy(bytes_.data() + data, &value, 4);
    } else if (listed(kWriteOpcodes, opcode)) {
        registers_[{port, reg}] = dwordAt(bytes_, data);
    }
}

} // namespace vexa::machine
