// The hardware I2C engines of four ATI/AMD GPU generations, each reading
// one byte from a device register (a write of the device address and the
// register, then a read with the read address) through the GPU's register
// window. Every register a transfer writes is put back to the value it had
// before once the transfer is over, so the engine is left as it was found.
#pragma once

#include <cstdint>

#include "sdk/display/gpu_i2c.h"

// Reads the dword, then writes (old & ~mask) | (value & mask); 0 when the
// read fails (nothing written), else the write's result.
int ModifyMMIORegister(CIOSpace* space, uint32_t offset, uint32_t value, uint32_t mask);

// What the four engines share: register access that remembers each
// register's value before the transfer's first write to it.
class ATI_I2CRegisterSpace : public CI2CRegisterSpace {
public:
    ATI_I2CRegisterSpace(CIOSpace* space, uint32_t familyCode);

protected:
    uint32_t Read(uint32_t offset);  // all ones when the read fails
    void Write(uint32_t offset, uint32_t value);
    void SetBits(uint32_t offset, uint32_t bits);
    void Modify(uint32_t offset, uint32_t value, uint32_t mask);
    // Reads `status` up to 1000 times until `done` (a test of the value)
    // holds; the last value read.
    template <typename Done>
    uint32_t Poll(uint32_t status, Done done) {
        uint32_t value = 0xFFFFFFFF;
        for (int i = 0; i < kPolls; ++i) {
            value = Read(status);
            if (done(value)) break;
        }
        return value;
    }
    // Writes back what every register written since the last restore held
    // before, the last written first.
    void RestoreRegisters();

    // The registers of a line engine (R6XX, and R8XX on buses 0-5).
    struct LineEngine {
        uint32_t control, interrupts, status, transaction0, transaction1, data;
        uint32_t firstTransaction;  // the address-and-register transaction word
        uint32_t errors;            // status bits that fail a transfer
    };
    // One register read on a line engine whose line is selected: the write
    // of the address and register, the read of `count` bytes, the engine's
    // reset. 1 when the status reported no error.
    uint32_t LineEngineRead(const LineEngine& engine, uint8_t device, uint8_t reg, uint8_t* buffer, uint32_t count);

    static constexpr int kPolls = 1000;

private:
    struct SavedRegister {
        uint32_t offset, value;
    };
    void Remember(uint32_t offset);

    static constexpr int kMaxSaved = 32;
    SavedRegister saved_[kMaxSaved] = {};
    int savedCount_ = 0;
};

// R420 to R481, RV410: one engine on four buses, clocked by dividers of
// the reference clock.
class ATI_R4XX_I2CRegisterSpace : public ATI_I2CRegisterSpace {
public:
    ATI_R4XX_I2CRegisterSpace(CIOSpace* space, uint32_t referenceClockKHz);

    int I2CReadByte(uint32_t zero, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) override;
    // Dividers n - 1 and n for the first n >= 25 with (n - 1) * n above a
    // 320th of the reference clock; the time limit twice n.
    int InitEngine() override;

    uint32_t ReferenceClock;
    uint32_t DividerLow = 0xFFFFFFFF;
    uint32_t DividerHigh = 0xFFFFFFFF;
    uint32_t TimeLimit = 0xFFFFFFFF;

private:
    uint32_t Transfer(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value);
};

// R520 to RV560.
class ATI_R5XX_I2CRegisterSpace : public ATI_I2CRegisterSpace {
public:
    explicit ATI_R5XX_I2CRegisterSpace(CIOSpace* space);

    int I2CReadByte(uint32_t zero, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) override;

private:
    void ResetEngine();
    void WaitIdle();
    uint32_t Transfer(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value);
};

// R600 to RV790: lines 0-2.
class ATI_R6XX_I2CRegisterSpace : public ATI_I2CRegisterSpace {
public:
    explicit ATI_R6XX_I2CRegisterSpace(CIOSpace* space);

    int I2CReadByte(uint32_t zero, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) override;

private:
    uint32_t SelectLine(uint8_t line);
    uint32_t Transfer(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value);
};

// Evergreen and Northern Islands: the line engine on buses 0-5, the pin
// engine on buses 6 and 7 (which also writes).
class ATI_R8XX_I2CRegisterSpace : public ATI_I2CRegisterSpace {
public:
    explicit ATI_R8XX_I2CRegisterSpace(CIOSpace* space);

    int I2CReadByte(uint32_t zero, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) override;
    // Buses above 5 only; 0 without a transfer for the others.
    int I2CWriteByte(uint32_t zero, uint8_t bus, uint8_t device, uint8_t reg, uint8_t value) override;

private:
    uint32_t SelectLine(uint8_t line, uint32_t speed);
    uint32_t SelectPins(uint8_t line);
    // One transfer of the pin engine: the address byte and `count` bytes
    // (written from or read into `buffer`).
    uint32_t PinEngineTransfer(uint8_t line, uint8_t address, const uint8_t* out, uint8_t* in, uint32_t count,
                               bool start, bool stop);
    uint32_t PinEngineReadRegister(uint8_t line, uint8_t address, uint8_t reg, uint8_t* buffer, uint32_t count);
    uint32_t PinEngineWriteRegister(uint8_t line, uint8_t address, uint8_t reg, const uint8_t* data, uint32_t count);
};
