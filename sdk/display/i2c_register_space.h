// A graphics adapter's own I2C buses as a register space: a request names
// the bus and the 7-bit device, its register and operation; the space maps
// byte, word and two-byte-address transfers onto the operations below,
// which each GPU generation's engine implements as far as it can. The base
// bodies transfer nothing and answer 0.
#pragma once

#include <cstdint>

#include "sdk/hw/register_space.h"

class CI2CRegisterSpace : public CRegisterSpace {
public:
    CI2CRegisterSpace(CIOSpace* space, uint32_t familyCode, const char* mutexName);

    int Execute(CIORequest* request) override;

    // The first argument is always 0; `device` is the 7-bit address.
    virtual uint32_t I2CReadByte(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t*) { return 0; }
    virtual uint32_t I2CWriteByte(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t) { return 0; }
    virtual uint32_t I2CReadWord(uint32_t, uint8_t, uint8_t, uint8_t, uint16_t*) { return 0; }
    virtual uint32_t I2CWriteWord(uint32_t, uint8_t, uint8_t, uint8_t, uint16_t) { return 0; }
    virtual uint32_t I2CReadWord16(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t*, uint8_t*) { return 0; }
    virtual uint32_t I2CWriteByte16(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint32_t) { return 0; }
    // One-time engine set-up after construction.
    virtual uint32_t InitEngine() { return 0; }
    // Locks (1) or unlocks (0) the GPU's extended registers.
    virtual uint32_t SetLock(uint32_t) { return 0; }

    // One byte of a device register through LockedExecute; 1 with the byte
    // stored, 0 with the output untouched.
    uint32_t ReadByteData(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value);

    uint32_t FamilyCode;
    const char* MutexName;
};
