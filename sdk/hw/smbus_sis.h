// The SMBus host controllers of SiS south bridges: the SiS 630/964/965/966
// and 5595-derived controllers (SiS_SMBusRegisterSpace) and the SiS 968
// (SiS968_SMBusRegisterSpace), which moves its byte and word data to other
// ports and has a 32-byte block buffer. They are slow: the controller is
// polled every 10 ms.
#pragma once

#include "sdk/hw/smbus_controller.h"

namespace SiSSMBus {
constexpr uint32_t kStatus = 0x00;       // write-one-to-clear
constexpr uint32_t kControl = 0x02;      // bits 1:0 show an active transfer
constexpr uint32_t kHostControl = 0x03;  // start and transfer type, or kill
constexpr uint32_t kSlaveAddress = 0x04;
constexpr uint32_t kCommand = 0x05;
constexpr uint32_t kBlockCount = 0x07;
constexpr uint32_t kData = 0x08;         // 0x08-0x0F: data bytes, 8 at a time
constexpr uint32_t kDataBytes = 8;

constexpr uint8_t kFailure = 0x06;
constexpr uint8_t kDone = 0x08;
constexpr uint8_t kBufferReady = 0x10;
constexpr uint8_t kActive = 0x03;
constexpr uint8_t kKill = 0x20;

constexpr uint8_t kStartByteData = 0x12;
constexpr uint8_t kStartWordData = 0x13;
constexpr uint8_t kStartBlock = 0x15;
} // namespace SiSSMBus

class SiS_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;

    explicit SiS_SMBusRegisterSpace(CIOSpace* ports) : SiS_SMBusRegisterSpace(ports, true, SiSSMBus::kData) {}

    // Registers above 255 fail.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;
    // Eight bytes per wait; the length is the device's count, at most kBlockMax.
    int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;
    int WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) override;
    // count (1 to kBlockMax) bytes, or 0 when the transfer fails: a block
    // the device did not take whole was not written.
    int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) override;

protected:
    // `clearsControl`: the start writes 0x20 to the control port first.
    // `dataPort`: where byte and word transfers keep their data.
    SiS_SMBusRegisterSpace(CIOSpace* ports, bool clearsControl, uint32_t dataPort)
        : CSMBusRegisterSpace(ports, kPollCount), m_bClearsControl(clearsControl), m_dwDataPort(dataPort) {}

    void Address(uint8_t slave, uint32_t reg, bool read);
    // Kills a transfer still running; false when the controller stays busy.
    // Then starts the transfer.
    bool Start(uint8_t startValue);
    // Waits for done or a failure (and the block buffer with `block`).
    bool Wait(bool block, uint8_t& status);
    // Writes the status back: true when it shows no failure.
    bool Finish(uint8_t status);
    int DataTransfer(uint8_t slave, uint32_t reg, bool read, uint8_t startValue, uint8_t* data0, uint8_t* data1);

private:
    bool m_bClearsControl;
    uint32_t m_dwDataPort;
};

// The SiS 968: byte and word data at 0x10/0x11, block transfers through a
// 32-byte buffer in one go (reads from 0x08, writes to 0x10 onward).
class SiS968_SMBusRegisterSpace : public SiS_SMBusRegisterSpace {
public:
    static constexpr uint32_t kDataPort = 0x10;

    explicit SiS968_SMBusRegisterSpace(CIOSpace* ports) : SiS_SMBusRegisterSpace(ports, false, kDataPort) {}

    int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) override;
    // count (1 to kBlockMax) bytes, or 0 when the transfer fails.
    int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) override;
};
