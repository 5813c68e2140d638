// The SMBus host controllers of ALi (ULi) south bridges: the M7101 power
// management unit of the M1535/M1543 bridges (byte transfers only) and the
// M1563 and its successors M1573/M1575, an ICH-like register set with a
// second control register.
#pragma once

#include "sdk/hw/smbus_controller.h"

class ALI_M7101_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;

    static constexpr uint32_t kStatus = 0x00;
    static constexpr uint32_t kType = 0x01;
    static constexpr uint32_t kStart = 0x02;  // any write starts
    static constexpr uint32_t kSlaveAddress = 0x03;
    static constexpr uint32_t kData0 = 0x04;
    static constexpr uint32_t kCommand = 0x07;

    static constexpr uint8_t kIdle = 0x04;
    static constexpr uint8_t kBusy = 0x08;
    static constexpr uint8_t kDone = 0x10;
    static constexpr uint8_t kErrors = 0xE0;
    static constexpr uint8_t kByteData = 0x20;

    explicit ALI_M7101_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    // Registers above 255 fail. Both directions fail on any error bit.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;

private:
    // Waits for the idle controller, addresses the device and starts;
    // then waits for the end. False on a time-out or an error.
    bool Transfer(uint8_t address, uint32_t reg, const uint8_t* data);
};

class ALI_M1563_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;

    static constexpr uint32_t kStatus = 0x00;
    static constexpr uint32_t kControl2 = 0x01;
    static constexpr uint32_t kControl = 0x02;
    static constexpr uint32_t kCommand = 0x03;
    static constexpr uint32_t kSlaveAddress = 0x04;
    static constexpr uint32_t kData0 = 0x05;  // also the block count
    static constexpr uint32_t kData1 = 0x06;
    static constexpr uint32_t kBlockData = 0x07;

    static constexpr uint8_t kBusy = 0x01;
    static constexpr uint8_t kErrors = 0x1C;
    static constexpr uint8_t kBusError = 0x08;
    static constexpr uint8_t kFailed = 0x10;
    static constexpr uint8_t kByteDone = 0x80;
    static constexpr uint8_t kByteData = 0x10;
    static constexpr uint8_t kWordData = 0x18;
    static constexpr uint8_t kBlock = 0x28;
    static constexpr uint8_t kStartBit = 0x40;
    static constexpr uint8_t kKill = 0x04;
    static constexpr uint8_t kBlockEnd = 0x40;  // in the second control register

    explicit ALI_M1563_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    // Registers above 255 fail for byte reads.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;
    int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;
    int WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) override;
    int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) override;

private:
    bool WaitNotBusy(uint8_t& status);
    // Clears errors left in status; false when they stay.
    bool ClearErrors();
    int DataTransfer(uint8_t slave, uint32_t reg, bool read, bool word, uint8_t* data0, uint8_t* data1);
    // Starts the next block byte and waits for it; false when the block ends.
    bool NextBlockByte(uint8_t& status);
    void EndBlock();
};
