// The SMBus host controllers of VIA south bridges (VT82C596 to VT8237 and
// the VX chipsets), which use the ICH register map (smbus_intel_ich.h)
// without its semaphore and without the kernel driver's request, and of
// ATI and AMD south bridges (SB400 to SB900, Hudson), which read bytes the
// ICH way and do everything else the VIA way.
#pragma once

#include "sdk/hw/smbus_controller.h"

class VIA_VT82_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;
    static constexpr int32_t kByteReadPolls = 500;

    explicit VIA_VT82_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    // Registers above 255 fail.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;
    // The whole block comes into the controller's buffer first; the length
    // is the device's first byte, at most kBlockMax.
    int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;
    int WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) override;
    // count (1 to kBlockMax) bytes, or 0.
    int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) override;

private:
    int WriteData(uint8_t slave, uint32_t reg, uint8_t type, uint8_t data0, uint8_t data1);
    // Writes a status that has bits set back to clear them.
    void ClearStatus();
};

// Each transfer runs on a controller object of the family it borrows from,
// made for that call on the same ports: byte reads on an ICH1 (the kernel
// driver's ICH request first), everything else on a VIA.
class ATI_SB_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;

    explicit ATI_SB_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;
    int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;
    int WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) override;
    int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) override;
};
