// An index/data port pair on the LPC bus (super-I/O chips, embedded
// controllers, monitor chips): the register number goes to the index port,
// the register's byte comes and goes through the data port.
#pragma once

#include "sdk/hw/register_space.h"

class CLPCRegisterSpace : public CRegisterSpace {
public:
    // The ports are offsets in the I/O space.
    CLPCRegisterSpace(CIOSpace* ioSpace, uint32_t indexOffset, uint32_t dataOffset)
        : CRegisterSpace(REGSPACE_LPC, ioSpace), m_dwIndexOffset(indexOffset), m_dwDataOffset(dataOffset) {}

    // Only the direction nibble of the operation counts: 1 reads the
    // register's byte into the low byte of the data, 2 writes the data's
    // low byte; other operations fail.
    int Execute(CIORequest* request) override;
    // "LPC, base address = 0x<high><low>".
    void Dump(CReportGenerator* report) override;

    // 0xFF stays in `value` when the index cannot be written or the data
    // port not read.
    virtual int ReadRegister(uint8_t index, uint8_t* value);
    virtual int WriteRegister(uint8_t index, uint8_t value);

    // The same as requests run through LockedExecute: the register's byte
    // (0xFF when the read fails), and the write's result.
    uint8_t ReadIndexed(uint8_t index);
    int WriteIndexed(uint8_t index, uint8_t value);

    uint32_t m_dwIndexOffset;
    uint32_t m_dwDataOffset;
};
