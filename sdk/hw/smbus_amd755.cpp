#include "sdk/hw/smbus_amd755.h"

namespace {

constexpr uint32_t kYield = 0;
// The controller shows busy only some time after the start.
constexpr uint32_t kStartSettleMs = 1;

} // namespace

int AMD_AM755_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (value) *value = 0;
    if (reg > 0xFF) return 0;
    OutWord(kAddress, uint32_t(slave << 1 | 1));
    Out(kCommand, reg);
    const auto readStatus = [this] { return uint32_t(InWord(kStatus)); };
    uint32_t status = readStatus();
    bool finished = PollStatus(readStatus, [](uint32_t s) { return !(s & kBusyAny); }, m_iPollCount, kYield, 0xFFFF,
                               status);
    if (finished) {
        OutWord(kControl, InWord(kControl) | kStartByteData);
        SleepMs(kStartSettleMs);
        finished = PollStatus(readStatus, [](uint32_t s) { return !(s & kHostBusy); }, m_iPollCount, kYield, 0xFFFF,
                              status);
    }
    if (!finished) {
        InWord(kStatus);
        OutWord(kControl, InWord(kControl) | kAbort);
        OutWord(kStatus, kClear);
        return 0;
    }
    OutWord(kStatus, kClear);
    if (status & kErrors) return 0;
    if (value) *value = uint8_t(InWord(kData));
    return 1;
}
