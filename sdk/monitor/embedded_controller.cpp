#include "sdk/monitor/embedded_controller.h"

#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

constexpr uint32_t kCommandPort = 0x66, kDataPort = 0x62;
constexpr uint8_t kReadCommand = 0x80, kWriteCommand = 0x81;
constexpr uint8_t kBothBuffers = 0x03, kInputFull = 0x02, kOutputFull = 0x01;
constexpr int kWaitTries = 10;
constexpr uint32_t kWaitSleepMs = 10;
constexpr uint32_t kStableGapMs = 10, kUnstablePenaltyMs = 50;

CKMDriver* Driver() { return GetSDK()->GetDriver(); }

bool WritePort(uint32_t port, uint8_t value) {
    CKMDriver* driver = Driver();
    return driver && driver->WritePortByte(port, value);
}

// The command, then the address, each once the controller took the byte before.
bool SendCommand(uint8_t command, uint8_t address) {
    return ECWaitStatus(kBothBuffers, 0) && WritePort(kCommandPort, command) && ECWaitStatus(kInputFull, 0) &&
           WritePort(kDataPort, address);
}

} // namespace

int ECWaitStatus(uint8_t mask, uint32_t expected) {
    CKMDriver* driver = Driver();
    if (!driver) return 0;
    for (int attempt = 0; attempt < kWaitTries; ++attempt) {
        uint8_t status = 0;
        if (driver->ReadPortByte(kCommandPort, &status) && uint32_t((status & mask) != 0) == expected) return 1;
        Sleep(kWaitSleepMs);
    }
    return 0;
}

int ECReadByte(uint8_t address, uint8_t* value) {
    // The byte is there once the output buffer is full; reading the data
    // port before would give whatever an earlier transaction left in it.
    if (!value || !SendCommand(kReadCommand, address) || !ECWaitStatus(kOutputFull, 1)) return 0;
    CKMDriver* driver = Driver();
    return driver && driver->ReadPortByte(kDataPort, value) ? 1 : 0;
}

int ECWriteByte(uint8_t address, uint8_t value) {
    if (!SendCommand(kWriteCommand, address) || !ECWaitStatus(kInputFull, 0) || !WritePort(kDataPort, value))
        return 0;
    return ECWaitStatus(kInputFull, 0);
}

int ECReadStable(uint8_t address, uint8_t* value) {
    uint8_t first = 0, second = 0;
    const bool firstRead = ECReadByte(address, &first);
    Sleep(kStableGapMs);
    if (firstRead && ECReadByte(address, &second) && first == second) {
        *value = first;
        return 1;
    }
    Sleep(kUnstablePenaltyMs);
    return 0;
}
