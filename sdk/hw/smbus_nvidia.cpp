#include "sdk/hw/smbus_nvidia.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

constexpr uint32_t kUsePortProtocol = 2;  // the driver's answer: go through the ports

} // namespace

bool nVidia_SMBusRegisterSpace::Completed() {
    uint8_t status = 0;
    const bool done = PollPort(kStatus, [](uint32_t s) { return (s & kDone) != 0; }, 1, kRetryMs, status);
    return done && !(status & kErrorCode);
}

int nVidia_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (reg > 0xFF) return 0;
    if (HasPortSpace()) {
        if (CKMDriver* driver = GetSDK()->GetDriver()) {
            const uint32_t answer = driver->ReadSMBusByteNVidia(GetBaseLow(), slave, reg, value);
            if (answer != kUsePortProtocol) return answer ? 1 : 0;
        }
    }
    if (value) *value = 0;
    Out(kCommand, reg);
    Out(kSlaveAddress, uint8_t(slave << 1 | 1));
    Out(kProtocol, kReadByteData);
    if (!Completed()) return 0;
    if (value) *value = In(kData0);
    return 1;
}

int nVidia_SMBusRegisterSpace::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    if (low) *low = 0;
    if (high) *high = 0;
    Out(kCommand, reg);
    Out(kSlaveAddress, uint8_t(slave << 1 | 1));
    Out(kProtocol, kReadWordData);
    if (!Completed()) return 0;
    if (low) *low = In(kData0);
    if (high) *high = In(kData1);
    return 1;
}

int nVidia_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    Out(kCommand, reg);
    Out(kData0, value);
    Out(kSlaveAddress, uint8_t(slave << 1));
    Out(kProtocol, kWriteByteData);
    return Completed() ? 1 : 0;
}

int nVidia_SMBusRegisterSpace::WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) {
    Out(kCommand, reg);
    Out(kData0, low);
    Out(kData1, high);
    Out(kSlaveAddress, uint8_t(slave << 1));
    Out(kProtocol, kWriteWordData);
    return Completed() ? 1 : 0;
}
