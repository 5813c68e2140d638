// The I2C buses of NVIDIA GPUs from G80 on: plain line registers in the
// register window that software drives and reads back (bit 0 the clock,
// bit 1 the data line; writing 1 releases a line, a write always sets bit
// 2). Buses 0 to 3; every transfer leaves the lines released after its
// STOP, as it found them. Clock stretching is honoured with bounded polls,
// and the time base is the CPUID instruction.
#pragma once

#include <initializer_list>

#include "sdk/display/gpu_i2c.h"

class NVIDIA_G80_I2CRegisterSpace : public CI2CRegisterSpace {
public:
    static constexpr uint32_t kFamilyCode = 0x1050000;
    static constexpr uint32_t kLineRegister = 0xE138;
    static constexpr uint32_t kBusCount = 4;

    explicit NVIDIA_G80_I2CRegisterSpace(CIOSpace* registerWindow);

    int I2CReadByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) override;
    int I2CWriteByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t value) override;
    int I2CReadWord(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint16_t* value) override;
    int I2CWriteWord(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint16_t value) override;
    int I2CReadWord16(uint32_t, uint8_t bus, uint8_t device, uint8_t regHigh, uint8_t regLow, uint8_t* first,
                      uint8_t* second) override;
    int I2CWriteByte16(uint32_t, uint8_t bus, uint8_t device, uint8_t regHigh, uint8_t regLow, uint8_t value,
                       uint32_t) override;
    // 0 unlocks, 1 locks the extended CRT controller registers; other
    // states write nothing. Always 1.
    int SetLock(uint32_t state) override;

    uint32_t PortOffset[kBusCount] = {0x00, 0x18, 0x30, 0x48};

private:
    // The line primitives, by port offset.
    static void I2CDelay(int units);
    void SetLines(uint32_t port, uint32_t clock, uint32_t data);
    int GetLines(uint32_t port, uint32_t* clock, uint32_t* data);
    int ReleaseClock(uint32_t port, uint32_t data, int polls);
    int SendStart(uint32_t port, int polls);
    void SendStop(uint32_t port);
    void WriteBit(uint32_t port, uint32_t bit, int polls);
    void ReadBit(uint32_t port, uint32_t* bit, int polls);
    int SendByte(uint32_t port, uint8_t byte);
    int ReceiveByte(uint32_t port, uint8_t* value, bool nack);
    int SendAddress(uint32_t port, uint8_t addressByte);
    // The port of a bus; false for a bus without one.
    bool PortOf(uint8_t bus, uint32_t* port) const;
    // One transfer: START with the write address and `bytes`, then `rest`
    // (port) when every byte was acknowledged; STOP once the address was.
    // 0 for a bus without a port or a device that does not answer.
    template <typename Rest>
    int Transfer(uint8_t bus, uint8_t device, std::initializer_list<uint8_t> bytes, Rest rest);
};
