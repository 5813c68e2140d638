#include "machine/devices/amd_pm_registers.h"

namespace vexa::machine {

namespace {

constexpr uint8_t kSb800Base = 0x2C;  // and 0x2D
constexpr uint8_t kSb800Enable = 0x01;
constexpr uint8_t kFchDecode = 0x00;
constexpr uint8_t kFchEnable = 0x10;
constexpr uint8_t kFchBaseHigh = 0x01;

} // namespace

void AmdPmRegisters::write(uint16_t port, unsigned, uint32_t value) {
    if (port == kIndexPort) index_ = uint8_t(value);
    else registers_[index_] = uint8_t(value);
}

void AmdPmSmbusGate::place(AmdPmRegisters& registers, Layout layout, uint16_t base) {
    if (layout == Layout::Sb800) {
        registers.set(kSb800Base, uint8_t((base & 0xE0) | kSb800Enable));
        registers.set(kSb800Base + 1, uint8_t(base >> 8));
        return;
    }
    registers.set(kFchDecode, registers.at(kFchDecode) | kFchEnable);
    registers.set(kFchBaseHigh, uint8_t(base >> 8));
}

uint16_t AmdPmSmbusGate::base() const {
    if (layout_ == Layout::Sb800) {
        if (!(registers_.at(kSb800Base) & kSb800Enable)) return 0;
        return uint16_t((registers_.at(kSb800Base + 1) << 8 | registers_.at(kSb800Base)) & 0xFFE0);
    }
    if (!(registers_.at(kFchDecode) & kFchEnable)) return 0;
    return uint16_t(registers_.at(kFchBaseHigh) << 8);
}

} // namespace vexa::machine
