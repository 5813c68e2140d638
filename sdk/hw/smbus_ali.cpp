#include "sdk/hw/smbus_ali.h"

#include <algorithm>

namespace {

constexpr uint32_t kPollSleepMs = 1;
constexpr uint8_t kClearAll = 0xFF;

uint8_t AddressByte(uint8_t slave, bool read) { return uint8_t(slave << 1 | (read ? 1 : 0)); }

} // namespace

// ---- M7101 ----

bool ALI_M7101_SMBusRegisterSpace::Transfer(uint8_t address, uint32_t reg, const uint8_t* data) {
    In(kStatus);
    Out(kStatus, kClearAll);
    uint8_t status = 0;
    if (!PollPort(kStatus, [](uint32_t s) { return (s & kIdle) != 0; }, m_iPollCount, kPollSleepMs, status))
        return false;
    Out(kSlaveAddress, address);
    Out(kType, kByteData);
    Out(kCommand, reg);
    if (data) Out(kData0, *data);
    if (const uint8_t before = In(kStatus); before & kDone) Out(kStatus, before);
    Out(kStart, 0xFF);
    In(kStatus);
    // The end is the done bit or an error: an idle controller right after
    // the start may not have begun yet.
    const auto ended = [](uint32_t s) { return (s & (kDone | kErrors)) != 0; };
    return PollPort(kStatus, ended, m_iPollCount, kPollSleepMs, status) && !(status & (kErrors | kBusy));
}

int ALI_M7101_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (value) *value = 0;
    if (reg > 0xFF || !Transfer(AddressByte(slave, true), reg, nullptr)) return 0;
    if (value) *value = In(kData0);
    return 1;
}

int ALI_M7101_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    return Transfer(AddressByte(slave, false), reg, &value) ? 1 : 0;
}

// ---- M1563 ----

bool ALI_M1563_SMBusRegisterSpace::WaitNotBusy(uint8_t& status) {
    return PollPort(kStatus, [](uint32_t s) { return !(s & kBusy); }, m_iPollCount, kPollSleepMs, status);
}

bool ALI_M1563_SMBusRegisterSpace::ClearErrors() {
    uint8_t status = In(kStatus);
    if (!(status & kErrors)) return true;
    Out(kStatus, status | kErrors);
    status = In(kStatus);
    return !(status & kErrors);
}

int ALI_M1563_SMBusRegisterSpace::DataTransfer(uint8_t slave, uint32_t reg, bool read, bool word, uint8_t* data0,
                                               uint8_t* data1) {
    uint8_t status = 0;
    if (!WaitNotBusy(status)) return 0;
    Out(kStatus, kClearAll);
    Out(kSlaveAddress, AddressByte(slave, read));
    Out(kControl, word ? (In(kControl) & 0xDF) | kWordData : (In(kControl) & 0xD7) | kByteData);
    Out(kCommand, reg);
    if (!read) {
        Out(kData0, *data0);
        if (word) Out(kData1, *data1);
    }
    if (!ClearErrors()) return 0;
    Out(kControl, In(kControl) | kStartBit);
    // The controller shows busy only some time after the start.
    SleepMs(kPollSleepMs);
    const bool finished = WaitNotBusy(status);
    if (!finished) {
        Out(kControl, kKill);
        status = In(kStatus);
    }
    if (finished && !(status & kErrors)) {
        if (read) {
            *data0 = In(kData0);
            if (word) *data1 = In(kData1);
        }
        return 1;
    }
    if (status & kBusError) Out(kControl2, 0x80);
    if (status & kFailed) Out(kControl, 0);
    return 0;
}

int ALI_M1563_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    uint8_t data = 0;
    if (value) *value = 0;
    if (reg > 0xFF || !DataTransfer(slave, reg, true, false, &data, nullptr)) return 0;
    if (value) *value = data;
    return 1;
}

int ALI_M1563_SMBusRegisterSpace::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    uint8_t data0 = 0, data1 = 0;
    if (low) *low = 0;
    if (high) *high = 0;
    if (!DataTransfer(slave, reg, true, true, &data0, &data1)) return 0;
    if (low) *low = data0;
    if (high) *high = data1;
    return 1;
}

int ALI_M1563_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    return DataTransfer(slave, reg, false, false, &value, nullptr);
}

int ALI_M1563_SMBusRegisterSpace::WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) {
    return DataTransfer(slave, reg, false, true, &low, &high);
}

bool ALI_M1563_SMBusRegisterSpace::NextBlockByte(uint8_t& status) {
    if (!ClearErrors()) return false;
    Out(kStatus, In(kStatus) | kByteDone);
    Out(kControl, In(kControl) | kStartBit);
    const auto ended = [](uint32_t s) { return (s & (kByteDone | kErrors)) != 0; };
    return PollPort(kStatus, ended, m_iPollCount, kPollSleepMs, status) && !(status & kErrors);
}

void ALI_M1563_SMBusRegisterSpace::EndBlock() {
    Out(kControl2, kBlockEnd);
    In(kStatus);
    Out(kStatus, kClearAll);
}

int ALI_M1563_SMBusRegisterSpace::ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) {
    uint8_t status = 0;
    if (!buffer || !WaitNotBusy(status)) return 0;
    Out(kSlaveAddress, AddressByte(slave, true));
    Out(kControl, kBlock);
    Out(kCommand, reg);
    int length = int(kBlockMax), stored = 0;
    while (stored < length) {
        if (!NextBlockByte(status)) break;
        if (stored == 0) {
            length = std::min<int>(In(kData0), int(kBlockMax));
            if (length == 0) break;
        }
        buffer[stored++] = In(kBlockData);
        if (In(kControl2) & kBlockEnd) break;
    }
    EndBlock();
    return stored;
}

int ALI_M1563_SMBusRegisterSpace::WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) {
    uint8_t status = 0;
    if (!buffer || count < 1 || count > int32_t(kBlockMax) || !WaitNotBusy(status)) return 0;
    Out(kSlaveAddress, AddressByte(slave, false));
    Out(kBlockData, buffer[0]);
    Out(kControl, kBlock);
    Out(kCommand, reg);
    Out(kData0, uint32_t(count));
    int written = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0) Out(kBlockData, buffer[i]);
        if (!NextBlockByte(status)) break;
        ++written;
    }
    EndBlock();
    return written;
}
