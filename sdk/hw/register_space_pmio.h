// Blocks of byte registers in I/O space: a chipset's power-management I/O
// block (plain, or with a bank-select register that pages its registers),
// and the hardware monitor of VIA's 686A/B southbridges.
#pragma once

#include "sdk/hw/register_space.h"

// Register n is the byte at offset n of the I/O space; ReadByte and
// WriteByte of the base reach it.
class PMIO_RegisterSpace : public CRegisterSpace {
public:
    explicit PMIO_RegisterSpace(CIOSpace* ioSpace) : CRegisterSpace(REGSPACE_PMIO, ioSpace) {}

    // Only the direction nibble of the operation counts: 1 reads the
    // register's byte into the low byte of the data, 2 writes the data's
    // low byte; other operations fail.
    int Execute(CIORequest* request) override;
};

// A block whose bank-select register (its low four bits) picks the page of
// registers the other offsets show.
class Banked_PMIO_RegisterSpace : public CRegisterSpace {
public:
    static constexpr int8_t kCurrentBank = -1;

    Banked_PMIO_RegisterSpace(CIOSpace* ioSpace, uint8_t bankOffset)
        : CRegisterSpace(REGSPACE_BANKED_PMIO, ioSpace), m_byBankOffset(bankOffset) {}

    // Unless the bank is kCurrentBank, first sets the bank register's low
    // four bits to bank & 0xF, keeping its other bits; then accesses the
    // register and answers with that access's result. When the bank cannot
    // be selected the register is not touched (it would be the wrong
    // bank's) and the access fails; a read then leaves `value` as it was.
    virtual int ReadRegister(int8_t bank, uint8_t reg, uint8_t* value);
    virtual int WriteRegister(int8_t bank, uint8_t reg, uint8_t value);

    uint8_t m_byBankOffset;

private:
    int SelectBank(int8_t bank);
};

// The VIA 686A/B hardware monitor: a read first sets the start bit of the
// monitor's configuration register.
class VIA_686AB_HWM_RegisterSpace : public CRegisterSpace {
public:
    static constexpr uint32_t kConfiguration = 0x40;
    static constexpr uint8_t kStartMonitoring = 0x01;
    // What a read hands back when a port access fails: no byte register
    // holds it, so callers can tell it from a reading.
    static constexpr uint32_t kNoReading = 0xFFFFFFFF;

    explicit VIA_686AB_HWM_RegisterSpace(CIOSpace* ioSpace) : CRegisterSpace(REGSPACE_VIA_686_HWM, ioSpace) {}

    // Starts monitoring, then reads the register's byte into `value`
    // (kNoReading when either access fails). Always 1.
    int ReadRegister(uint8_t reg, uint32_t* value);
};
