// The SMBus host controllers of nVidia nForce chipsets (nForce2 to the MCP
// series): the protocol byte names the transfer and starts it; an nForce
// function often carries two controllers, one per I/O base.
#pragma once

#include "sdk/hw/smbus_controller.h"

class nVidia_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;

    static constexpr uint32_t kProtocol = 0x00;
    static constexpr uint32_t kStatus = 0x01;
    static constexpr uint32_t kSlaveAddress = 0x02;
    static constexpr uint32_t kCommand = 0x03;
    static constexpr uint32_t kData0 = 0x04;
    static constexpr uint32_t kData1 = 0x05;

    static constexpr uint8_t kWriteByteData = 0x06;
    static constexpr uint8_t kReadByteData = 0x07;
    static constexpr uint8_t kWriteWordData = 0x08;
    static constexpr uint8_t kReadWordData = 0x09;

    static constexpr uint8_t kDone = 0x80;
    static constexpr uint8_t kErrorCode = 0x1F;  // 0: no error; 0x10: address not acknowledged, ...
    static constexpr uint32_t kRetryMs = 20;

    explicit nVidia_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    // Registers above 255 fail; the kernel driver is asked first on a port
    // space, and only its answer 2 goes on to the ports.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;
    int WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) override;

private:
    // Done, once at once or after one retry, and without an error code: a
    // device that does not answer ends its transfer with an error code.
    bool Completed();
};
