// The SMBus host controller of the AMD-755 (and 756/766/768) south bridge:
// 16-bit registers, byte reads only.
#pragma once

#include "sdk/hw/smbus_controller.h"

class AMD_AM755_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 200;

    static constexpr uint32_t kStatus = 0x00;   // word
    static constexpr uint32_t kControl = 0x02;  // word
    static constexpr uint32_t kAddress = 0x04;  // word
    static constexpr uint32_t kData = 0x06;     // word
    static constexpr uint32_t kCommand = 0x08;  // byte

    static constexpr uint16_t kBusyAny = 0x0808;  // host and slave busy
    static constexpr uint16_t kHostBusy = 0x08;
    static constexpr uint16_t kErrors = 0x26;     // collision, protocol error, time-out
    static constexpr uint16_t kClear = 0x37;
    static constexpr uint16_t kStartByteData = 0x0A;
    static constexpr uint16_t kAbort = 0x20;

    explicit AMD_AM755_SMBusRegisterSpace(CIOSpace* ports) : CSMBusRegisterSpace(ports, kPollCount) {}

    // Registers above 255 fail.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
};
