#include "tests/sdk/monitor/sensor_chip_registers.h"

#include "sdk/hw/io_request.h"

namespace vexa::test {

SensorChipRegisters::SensorChipRegisters(uint8_t fill) : CRegisterSpace(REGSPACE_SMBUS, nullptr) {
    for (auto& bank : banks_) bank.fill(fill);
}

SensorChipRegisters& SensorChipRegisters::Set(uint8_t reg, uint8_t value, unsigned bank) {
    banks_.at(bank)[reg] = value;
    return *this;
}

SensorChipRegisters& SensorChipRegisters::Set(const std::map<uint8_t, uint8_t>& registers, unsigned bank) {
    for (const auto& [reg, value] : registers) Set(reg, value, bank);
    return *this;
}

SensorChipRegisters& SensorChipRegisters::SetWord(uint8_t reg, uint16_t value) {
    words_[reg] = value;
    return *this;
}

SensorChipRegisters& SensorChipRegisters::Fail(uint8_t reg) {
    failing_.insert(reg);
    return *this;
}

SensorChipRegisters& SensorChipRegisters::Heal(uint8_t reg) {
    failing_.erase(reg);
    return *this;
}

SensorChipRegisters& SensorChipRegisters::UseBankRegister(uint8_t reg, uint8_t mask) {
    bankRegister_ = reg;
    bankMask_ = mask;
    bankValue_ = Get(reg);
    bank_ = bankValue_ & mask;
    return *this;
}

int SensorChipRegisters::Execute(CIORequest* request) {
    const auto reg = uint8_t(request->m_dwRegister);
    switch (request->m_dwOperation) {
    case IOOP_READ_BYTE:
        m_reads.push_back(reg);
        if (failing_.count(reg)) return 0;
        request->m_dwData = int(reg) == bankRegister_ ? bankValue_ : banks_[bank_][reg];
        return 1;
    case IOOP_READ_WORD: {
        m_reads.push_back(reg);
        if (failing_.count(reg)) return 0;
        const auto word = words_.find(reg);
        request->m_dwData = word != words_.end() ? word->second : uint32_t(banks_[bank_][reg]);
        return 1;
    }
    case IOOP_WRITE_BYTE:
        m_writes.emplace_back(reg, uint8_t(request->m_dwData));
        if (int(reg) == bankRegister_) {
            bankValue_ = uint8_t(request->m_dwData);
            bank_ = bankValue_ & bankMask_;
        } else {
            banks_[bank_][reg] = uint8_t(request->m_dwData);
        }
        return 1;
    default: return 0;
    }
}

} // namespace vexa::test
