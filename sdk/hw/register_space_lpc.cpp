#include "sdk/hw/register_space_lpc.h"

#include "sdk/core/report_generator.h"

int CLPCRegisterSpace::Execute(CIORequest* request) {
    return ExecuteByDirection(
        request, [this](uint8_t reg, uint8_t* value) { return ReadRegister(reg, value); },
        [this](uint8_t reg, uint8_t value) { return WriteRegister(reg, value); });
}

void CLPCRegisterSpace::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("Register space", "\t\t", "LPC, base address = 0x%X%X", GetBaseHigh(), GetBaseLow());
}

int CLPCRegisterSpace::ReadRegister(uint8_t index, uint8_t* value) {
    if (value) *value = 0xFF;
    if (!WriteByte(m_dwIndexOffset, index)) return 0;
    return ReadByte(m_dwDataOffset, value);
}

int CLPCRegisterSpace::WriteRegister(uint8_t index, uint8_t value) {
    if (!WriteByte(m_dwIndexOffset, index)) return 0;
    return WriteByte(m_dwDataOffset, value);
}

uint8_t CLPCRegisterSpace::ReadIndexed(uint8_t index) {
    CLPCRequest request;
    request.m_dwOperation = IOOP_READ_BYTE;
    request.m_dwRegister = index;
    LockedExecute(&request);
    return static_cast<uint8_t>(request.m_dwData);
}

int CLPCRegisterSpace::WriteIndexed(uint8_t index, uint8_t value) {
    CLPCRequest request;
    request.m_dwOperation = IOOP_WRITE_BYTE;
    request.m_dwRegister = index;
    request.m_dwData = value;
    return LockedExecute(&request);
}
