// The SMBus host controllers of Intel south bridges, driven through the
// ports of the SMBus I/O base: the ICH family (ICH1 to the PCH, and the
// ServerWorks and other bridges that copy it) and the SCH of the Atom
// platforms.
//
// ICH transfers take the controller's in-use semaphore (host status bit
// 0x40, set by the hardware when status is read while it is clear) at the
// start and release it at the end, so that firmware and other software
// sharing the controller wait for them.
#pragma once

#include "sdk/hw/smbus_controller.h"

// The ICH register map, which the VIA controllers share (smbus_via_ati.h).
namespace IchSMBus {
constexpr uint32_t kHostStatus = 0x00;
constexpr uint32_t kHostControl = 0x02;
constexpr uint32_t kHostCommand = 0x03;
constexpr uint32_t kSlaveAddress = 0x04;
constexpr uint32_t kData0 = 0x05;  // also the block byte count
constexpr uint32_t kData1 = 0x06;
constexpr uint32_t kBlockData = 0x07;
constexpr uint32_t kAuxControl = 0x0D;  // ICH4 and later

// Host status.
constexpr uint8_t kBusy = 0x01;
constexpr uint8_t kComplete = 0x02;
constexpr uint8_t kDeviceError = 0x04;
constexpr uint8_t kBusError = 0x08;
constexpr uint8_t kFailed = 0x10;
constexpr uint8_t kErrors = kDeviceError | kBusError | kFailed;
constexpr uint8_t kInUse = 0x40;
constexpr uint8_t kByteDone = 0x80;
// Written to host status before a transfer: every sticky bit but the semaphore.
constexpr uint8_t kClearStatus = 0xBF;

// Host control: the transfer type in bits 4:2.
constexpr uint8_t kByteData = 0x08;
constexpr uint8_t kWordData = 0x0C;
constexpr uint8_t kBlock = 0x14;
constexpr uint8_t kLastByte = 0x20;
constexpr uint8_t kStart = 0x40;

// Auxiliary control: the 32-byte block buffer.
constexpr uint8_t kBlockBuffer = 0x02;

// A transfer that has ended: not busy, and done or failed.
constexpr bool Finished(uint32_t status) { return !(status & kBusy) && (status & (kComplete | kErrors)); }
} // namespace IchSMBus

class Intel_ICH1_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 1000;
    // Bounds of the semaphore wait and of the byte read's busy wait.
    static constexpr int32_t kSemaphorePolls = 500;
    static constexpr int32_t kByteReadPolls = 500;

    explicit Intel_ICH1_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    // Registers above 255 fail. The kernel driver is asked first when the
    // space is a port space; only its answer 2 ("use the port protocol")
    // goes on to the ports.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;
    // The block's length comes from the device's first byte, at most kBlockMax.
    int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;
    int WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) override;
    // 1 to kBlockMax bytes, each handed over when the controller has sent
    // the one before; the transfer ends when the last one has gone.
    int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) override;

protected:
    Intel_ICH1_SMBusRegisterSpace(CIOSpace* ports, int32_t pollCount) : CSMBusRegisterSpace(ports, pollCount) {}

    // Waits for the in-use semaphore; false when another party keeps it.
    bool Acquire();
    // Clears every status bit that is set, the semaphore included.
    void Release();
    // The data transfers (byte and word, either direction).
    int ReadData(uint8_t slave, uint32_t reg, uint8_t type, int32_t polls, uint8_t* data0, uint8_t* data1);
    int WriteData(uint8_t slave, uint32_t reg, uint8_t type, uint8_t data0, uint8_t data1);
    // The block transfers of ICH1 and ICH4; `ich4` switches the 32-byte
    // buffer off for the transfer and stops at the first error after a byte.
    int ReadBlockBytes(uint8_t slave, uint32_t reg, uint8_t* buffer, bool ich4);
    int WriteBlockBytes(uint8_t slave, uint32_t reg, const uint8_t* buffer, int32_t count, bool ich4);

private:
    // Clears a status with any of `mask` set: written back, read again.
    uint8_t ClearStatus(uint8_t status, uint8_t mask);
    // Waits for the byte-done bit; false on time-out or an error.
    bool WaitByteDone(uint8_t& status);
};

// ICH4 and later (to the 100-series PCH): the ICH1 byte and word transfers
// with their bounds, and block transfers of their own with the poll count
// 200 and the 32-byte buffer switched off for their duration.
class Intel_ICH4_SMBusRegisterSpace : public Intel_ICH1_SMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;

    explicit Intel_ICH4_SMBusRegisterSpace(CIOSpace* ports) : Intel_ICH1_SMBusRegisterSpace(ports, kPollCount) {}

    int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) override;
    int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) override;
};

// The SCH (Atom US15W): its own register map; byte reads only.
class Intel_SCH_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 1000;
    static constexpr int32_t kSemaphorePolls = 500;

    static constexpr uint32_t kHostControl = 0x00;
    static constexpr uint32_t kHostStatus = 0x01;
    static constexpr uint32_t kSlaveAddress = 0x04;
    static constexpr uint32_t kCommand = 0x05;
    static constexpr uint32_t kData0 = 0x06;

    static constexpr uint8_t kByteData = 0x02;
    static constexpr uint8_t kStart = 0x10;
    static constexpr uint8_t kDone = 0x01;
    static constexpr uint8_t kErrors = 0x06;
    static constexpr uint8_t kBusy = 0x08;
    static constexpr uint8_t kInUse = 0x40;

    explicit Intel_SCH_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
};
