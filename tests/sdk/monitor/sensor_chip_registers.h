// A sensor chip's registers in memory, reached as a register space: banks
// behind a bank register, registers that fail to read, word registers, and
// a log of the writes. The chip monitors are tested on it without a bus.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "sdk/hw/register_space.h"

namespace vexa::test {

class SensorChipRegisters : public CRegisterSpace {
public:
    // Every register of every bank reads `fill` until set.
    explicit SensorChipRegisters(uint8_t fill = 0x00);

    // Register `reg` of `bank`.
    SensorChipRegisters& Set(uint8_t reg, uint8_t value, unsigned bank = 0);
    SensorChipRegisters& Set(const std::map<uint8_t, uint8_t>& registers, unsigned bank = 0);
    // A word register (read as one 16-bit access).
    SensorChipRegisters& SetWord(uint8_t reg, uint16_t value);
    // Reads of this register fail from now on.
    SensorChipRegisters& Fail(uint8_t reg);
    SensorChipRegisters& Heal(uint8_t reg);
    // Writes to `reg` select bank (value & mask); the register reads the
    // value written in every bank.
    SensorChipRegisters& UseBankRegister(uint8_t reg, uint8_t mask);

    int Execute(CIORequest* request) override;

    uint8_t Get(uint8_t reg, unsigned bank = 0) const { return banks_.at(bank)[reg]; }
    unsigned CurrentBank() const { return bank_; }
    // Every register read, in order (byte and word reads).
    std::vector<uint8_t> m_reads;
    // Every write, in order.
    std::vector<std::pair<uint8_t, uint8_t>> m_writes;

private:
    std::array<std::array<uint8_t, 256>, 8> banks_{};
    std::map<uint8_t, uint16_t> words_;
    std::set<uint8_t> failing_;
    int bankRegister_ = -1;
    uint8_t bankMask_ = 0;
    uint8_t bankValue_ = 0;
    unsigned bank_ = 0;
};

} // namespace vexa::test
