#include "machine/devices/smbus_slaves.h"

namespace vexa::machine {

// ---- SPD EEPROM ----

SpdEeprom::SpdEeprom(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() != kPagedSize) bytes_.resize(kPageSize, 0xFF);
}

bool SpdEeprom::read(uint8_t command, std::span<uint8_t> out) {
    const size_t page = pagedSpd() ? page_ * kPageSize : 0;
    for (size_t i = 0; i < out.size(); ++i) out[i] = bytes_[page + (command + i) % kPageSize];
    return true;
}

// ---- JC-42.4 ----

namespace {

bool jc42Writable(uint8_t reg) { return (reg >= 1 && reg <= 4) || reg == 8; }

} // namespace

bool Jc42Sensor::write(uint8_t command, std::span<const uint8_t> data) {
    if (data.size() >= 2 && jc42Writable(command % kRegisters))
        registers_[command % kRegisters] = uint16_t(data[0] << 8 | data[1]);
    return true;
}

bool Jc42Sensor::read(uint8_t command, std::span<uint8_t> out) {
    const uint16_t value = registers_[command % kRegisters];
    for (size_t i = 0; i < out.size(); ++i) out[i] = i % 2 == 0 ? uint8_t(value >> 8) : uint8_t(value);
    return true;
}

// ---- Register image ----

RegisterImageDevice::RegisterImageDevice(std::map<unsigned, Bank> banks, int bankRegister)
    : banks_(std::move(banks)), bankRegister_(bankRegister), bank_(banks_.empty() ? 0 : banks_.begin()->first) {
    if (banks_.empty()) banks_[0].fill(0);
}

bool RegisterImageDevice::write(uint8_t command, std::span<const uint8_t> data) {
    for (size_t i = 0; i < data.size(); ++i) {
        const uint8_t reg = uint8_t(command + i);
        if (int(reg) == bankRegister_) {
            // Every bank shows the selection in its bank register.
            if (banks_.contains(data[i])) bank_ = data[i];
            for (auto& [number, registers] : banks_) registers[reg] = data[i];
        } else {
            banks_[bank_][reg] = data[i];
        }
    }
    return true;
}

bool RegisterImageDevice::read(uint8_t command, std::span<uint8_t> out) {
    const Bank& registers = banks_[bank_];
    for (size_t i = 0; i < out.size(); ++i) out[i] = registers[uint8_t(command + i)];
    return true;
}

} // namespace vexa::machine
