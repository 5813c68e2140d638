// A graphics adapter's I2C buses (display data channels, the bus of an
// external thermal chip) as a register space: a caller fills a CI2CRequest
// (bus, 7-bit device address) with a register and an operation and runs it
// through LockedExecute; the space maps it onto one of six transfer
// operations, which each GPU generation's subclass implements on its own
// I2C hardware. The base transfers answer nothing, so an engine answers
// only what it implements. The first argument of every transfer is always
// 0 and unused.
#pragma once

#include <cstdint>

#include "sdk/hw/register_space.h"

class CDisplayAdapter;
class CDisplayAPI;

class CI2CRegisterSpace : public CRegisterSpace {
public:
    // `space` is the GPU's register window (shared, not owned), or null;
    // the mutex name identifies the engine's family and creates nothing.
    CI2CRegisterSpace(CIOSpace* space, uint32_t familyCode, const char* mutexName);

    // Width 0x10 (byte), 0x20 (word) and 0x200 (a two-byte register
    // address: register byte 1 high, byte 0 low) in either direction;
    // anything else fails without touching the request.
    int Execute(CIORequest* request) override;

    virtual int I2CReadByte(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t*) { return 0; }
    virtual int I2CWriteByte(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t) { return 0; }
    virtual int I2CReadWord(uint32_t, uint8_t, uint8_t, uint8_t, uint16_t*) { return 0; }
    virtual int I2CWriteWord(uint32_t, uint8_t, uint8_t, uint8_t, uint16_t) { return 0; }
    // Two data bytes back from a register with a two-byte address.
    virtual int I2CReadWord16(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t*, uint8_t*) { return 0; }
    virtual int I2CWriteByte16(uint32_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint32_t) { return 0; }
    // One-time engine set-up after construction.
    virtual int InitEngine() { return 0; }
    // Locks (1) or unlocks (0) the GPU's extended registers.
    virtual int SetLock(uint32_t) { return 0; }

    // One byte read through LockedExecute; 1 with the byte stored, 0 with
    // `value` untouched.
    int ReadByteData(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value);

    uint32_t FamilyCode;
    const char* MutexName;
};

// The I2C read of a display API (the driver library's own I2C call) as a
// register space; no I/O space.
class DisplayAPI_I2CRegisterSpace : public CI2CRegisterSpace {
public:
    DisplayAPI_I2CRegisterSpace(CDisplayAPI* api, CDisplayAdapter* adapter);

    int I2CReadByte(uint32_t zero, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) override;

    CDisplayAPI* API;          // not owned
    CDisplayAdapter* Adapter;  // not owned
};
