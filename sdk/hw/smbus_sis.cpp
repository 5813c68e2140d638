#include "sdk/hw/smbus_sis.h"

#include <algorithm>

using namespace SiSSMBus;

namespace {

constexpr uint32_t kPollSleepMs = 10;
constexpr uint8_t kClearAll = 0xFF;
constexpr uint8_t kStickyBits = 0x1E;

} // namespace

void SiS_SMBusRegisterSpace::Address(uint8_t slave, uint32_t reg, bool read) {
    Out(kSlaveAddress, uint8_t(slave << 1 | (read ? 1 : 0)));
    Out(kCommand, reg);
}

bool SiS_SMBusRegisterSpace::Start(uint8_t startValue) {
    if (In(kControl) & kActive) {
        Out(kHostControl, kKill);
        if (In(kControl) & kActive) return false;
    }
    if (m_bClearsControl) Out(kControl, 0x20);
    Out(kStatus, In(kStatus) & kStickyBits);
    Out(kHostControl, startValue);
    return true;
}

bool SiS_SMBusRegisterSpace::Wait(bool block, uint8_t& status) {
    const uint8_t ends = block ? kFailure | kDone | kBufferReady : kFailure | kDone;
    return PollPort(kStatus, [ends](uint32_t s) { return (s & ends) != 0; }, m_iPollCount, kPollSleepMs, status);
}

bool SiS_SMBusRegisterSpace::Finish(uint8_t status) {
    Out(kStatus, status);
    if (status & kFailure) return false;
    In(kStatus);
    return true;
}

int SiS_SMBusRegisterSpace::DataTransfer(uint8_t slave, uint32_t reg, bool read, uint8_t startValue, uint8_t* data0,
                                         uint8_t* data1) {
    Address(slave, reg, read);
    const bool word = startValue == kStartWordData;
    if (!read) {
        Out(m_dwDataPort, *data0);
        if (word) Out(m_dwDataPort + 1, *data1);
    }
    uint8_t status = 0;
    if (!Start(startValue) || !Wait(false, status) || !Finish(status)) return 0;
    if (read) {
        *data0 = In(m_dwDataPort);
        if (word) *data1 = In(m_dwDataPort + 1);
        Out(kStatus, kClearAll);
    }
    return 1;
}

int SiS_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    uint8_t data = 0, unused = 0;
    if (value) *value = 0;
    if (reg > 0xFF || !DataTransfer(slave, reg, true, kStartByteData, &data, &unused)) return 0;
    if (value) *value = data;
    return 1;
}

int SiS_SMBusRegisterSpace::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    uint8_t data0 = 0, data1 = 0;
    if (low) *low = 0;
    if (high) *high = 0;
    if (!DataTransfer(slave, reg, true, kStartWordData, &data0, &data1)) return 0;
    if (low) *low = data0;
    if (high) *high = data1;
    return 1;
}

int SiS_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    uint8_t unused = 0;
    return DataTransfer(slave, reg, false, kStartByteData, &value, &unused);
}

int SiS_SMBusRegisterSpace::WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) {
    return DataTransfer(slave, reg, false, kStartWordData, &low, &high);
}

int SiS_SMBusRegisterSpace::ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) {
    if (!buffer) return 0;
    Address(slave, reg, true);
    if (!Start(kStartBlock)) return 0;
    int length = int(kBlockMax), stored = 0;
    for (bool first = true; stored < length; first = false) {
        uint8_t status = 0;
        if (!Wait(true, status)) break;
        if (status & kFailure) {
            Out(kStatus, status);
            break;
        }
        if (first) length = std::min<int>(In(kBlockCount), int(kBlockMax));
        for (uint32_t i = 0; i < kDataBytes && stored < length; ++i) buffer[stored++] = In(kData + i);
        Out(kStatus, kBufferReady);
    }
    Out(kStatus, kClearAll);
    return stored;
}

int SiS_SMBusRegisterSpace::WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) {
    if (!buffer || count < 1 || count > int32_t(kBlockMax)) return 0;
    Address(slave, reg, false);
    Out(kBlockCount, uint32_t(count));
    int32_t placed = 0;
    for (uint32_t i = 0; i < kDataBytes && placed < count; ++i) Out(kData + i, buffer[placed++]);
    if (!Start(kStartBlock)) return 0;
    for (;;) {
        uint8_t status = 0;
        if (!Wait(true, status)) return 0;
        if (status & kFailure) {
            Out(kStatus, status);
            return 0;
        }
        if (placed >= count) break;
        for (uint32_t i = 0; i < kDataBytes && placed < count; ++i) Out(kData + i, buffer[placed++]);
        Out(kStatus, kBufferReady);
    }
    Out(kStatus, kClearAll);
    return placed;
}

// ---- SiS 968 ----

int SiS968_SMBusRegisterSpace::ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) {
    if (!buffer) return 0;
    Address(slave, reg, true);
    uint8_t status = 0;
    if (!Start(kStartBlock) || !Wait(false, status)) return 0;
    if (status & kFailure) {
        Out(kStatus, status);
        return 0;
    }
    const int length = std::min<int>(In(kBlockCount), int(kBlockMax));
    for (int i = 0; i < length; ++i) buffer[i] = In(kData + uint32_t(i));
    Out(kStatus, kClearAll);
    return length;
}

// A transfer that fails reports 0, not the count it was given.
int SiS968_SMBusRegisterSpace::WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) {
    if (!buffer || count < 1 || count > int32_t(kBlockMax)) return 0;
    Address(slave, reg, false);
    Out(kBlockCount, uint32_t(count));
    for (int32_t i = 0; i < count; ++i) Out(kDataPort + uint32_t(i), buffer[i]);
    uint8_t status = 0;
    if (!Start(kStartBlock) || !Wait(false, status)) return 0;
    if (status & kFailure) {
        Out(kStatus, status);
        return 0;
    }
    Out(kStatus, kClearAll);
    return count;
}
