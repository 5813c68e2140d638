#include "sdk/hw/register_space_pmio.h"

int PMIO_RegisterSpace::Execute(CIORequest* request) {
    return ExecuteByDirection(
        request, [this](uint8_t reg, uint8_t* value) { return ReadByte(reg, value); },
        [this](uint8_t reg, uint8_t value) { return WriteByte(reg, value); });
}

int Banked_PMIO_RegisterSpace::SelectBank(int8_t bank) {
    if (bank == kCurrentBank) return 1;
    uint8_t select = 0;
    if (!ReadByte(m_byBankOffset, &select)) return 0;
    return WriteByte(m_byBankOffset, (select & 0xF0) | (bank & 0x0F));
}

int Banked_PMIO_RegisterSpace::ReadRegister(int8_t bank, uint8_t reg, uint8_t* value) {
    return SelectBank(bank) ? ReadByte(reg, value) : 0;
}

int Banked_PMIO_RegisterSpace::WriteRegister(int8_t bank, uint8_t reg, uint8_t value) {
    return SelectBank(bank) ? WriteByte(reg, value) : 0;
}

int VIA_686AB_HWM_RegisterSpace::ReadRegister(uint8_t reg, uint32_t* value) {
    uint8_t byte = 0;
    const bool read = WriteByte(kConfiguration, kStartMonitoring) && ReadByte(reg, &byte);
    if (value) *value = read ? byte : kNoReading;
    return 1;
}
