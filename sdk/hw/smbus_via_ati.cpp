#include "sdk/hw/smbus_via_ati.h"

#include <algorithm>

#include "sdk/hw/smbus_intel_ich.h"

using namespace IchSMBus;

namespace {

constexpr uint32_t kPollSleepMs = 1;
// Written to host status before a transfer: every sticky bit.
constexpr uint8_t kClearAll = 0x9F;
constexpr uint8_t kWriteClear = 0x1F;
constexpr uint8_t kEndBits = 0x44;

uint8_t ReadAddress(uint8_t slave) { return uint8_t(slave << 1 | 1); }
uint8_t WriteAddress(uint8_t slave) { return uint8_t(slave << 1); }

} // namespace

// ---- VIA ----

void VIA_VT82_SMBusRegisterSpace::ClearStatus() {
    if (const uint8_t status = In(kHostStatus)) Out(kHostStatus, status);
}

int VIA_VT82_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (value) *value = 0;
    if (reg > 0xFF) return 0;
    Out(kHostStatus, kClearAll);
    In(kHostStatus);
    Out(kSlaveAddress, ReadAddress(slave));
    Out(kHostCommand, reg);
    Out(kHostControl, (In(kHostControl) & 0xA8) | kStart | kByteData);
    uint8_t status = 0;
    if (!PollPort(kHostStatus, Finished, kByteReadPolls, kPollSleepMs, status) || (status & kErrors)) return 0;
    if (value) *value = In(kData0);
    return 1;
}

// Every error bit counts, not only the device error: after a bus collision
// or a failed transfer the data registers do not hold the word either.
int VIA_VT82_SMBusRegisterSpace::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    if (low) *low = 0;
    if (high) *high = 0;
    Out(kHostStatus, kClearAll);
    Out(kSlaveAddress, ReadAddress(slave));
    Out(kHostCommand, reg);
    Out(kHostControl, (In(kHostControl) & 0xEC) | kStart | kWordData);
    uint8_t status = 0;
    if (!PollPort(kHostStatus, Finished, m_iPollCount, kPollSleepMs, status) || (status & kErrors)) return 0;
    if (low) *low = In(kData0);
    if (high) *high = In(kData1);
    return 1;
}

int VIA_VT82_SMBusRegisterSpace::ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) {
    if (!buffer) return 0;
    Out(kHostStatus, kClearAll);
    Out(kSlaveAddress, ReadAddress(slave));
    Out(kHostCommand, reg);
    Out(kHostControl, kBlock);
    ClearStatus();
    Out(kHostControl, In(kHostControl) | kStart);
    uint8_t status = 0;
    if (!PollPort(kHostStatus, Finished, m_iPollCount, kPollSleepMs, status) || (status & kErrors)) return 0;
    ClearStatus();
    const int length = std::min<int>(In(kData0), int(kBlockMax));
    // Reading host control puts the buffer's read pointer back to its start.
    In(kHostControl);
    for (int i = 0; i < length; ++i) buffer[i] = In(kBlockData);
    return length;
}

int VIA_VT82_SMBusRegisterSpace::WriteData(uint8_t slave, uint32_t reg, uint8_t type, uint8_t data0, uint8_t data1) {
    Out(kHostStatus, kClearAll);
    Out(kSlaveAddress, WriteAddress(slave));
    Out(kHostCommand, reg);
    Out(kData0, data0);
    if (type == kWordData) Out(kData1, data1);
    In(kHostControl);
    Out(kHostControl, type);
    if (const uint8_t status = In(kHostStatus); status & kWriteClear) Out(kHostStatus, status);
    Out(kHostControl, In(kHostControl) | kStart);
    uint8_t status = 0;
    int result = 0;
    if (PollPort(kHostStatus, Finished, m_iPollCount, kPollSleepMs, status)) {
        result = (status & kErrors) ? 0 : 1;
        if (const uint8_t after = In(kHostStatus); after & kWriteClear) Out(kHostStatus, after);
    }
    Out(kHostStatus, In(kHostStatus) | kEndBits);
    return result;
}

int VIA_VT82_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    return WriteData(slave, reg, kByteData, value, 0);
}

int VIA_VT82_SMBusRegisterSpace::WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) {
    return WriteData(slave, reg, kWordData, low, high);
}

int VIA_VT82_SMBusRegisterSpace::WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) {
    if (!buffer || count < 1 || count > int32_t(kBlockMax)) return 0;
    Out(kHostStatus, kClearAll);
    Out(kSlaveAddress, WriteAddress(slave));
    Out(kHostCommand, reg);
    Out(kData0, uint32_t(count));
    In(kHostControl);
    for (int32_t i = 0; i < count; ++i) Out(kBlockData, buffer[i]);
    Out(kHostControl, kBlock);
    ClearStatus();
    Out(kHostControl, In(kHostControl) | kStart);
    uint8_t status = 0;
    if (!PollPort(kHostStatus, Finished, m_iPollCount, kPollSleepMs, status) || (status & kErrors)) return 0;
    ClearStatus();
    return count;
}

// ---- ATI / AMD ----

int ATI_SB_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    return Intel_ICH1_SMBusRegisterSpace(m_pIOSpace).ReadByte(slave, reg, value);
}

int ATI_SB_SMBusRegisterSpace::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    return VIA_VT82_SMBusRegisterSpace(m_pIOSpace).ReadWord(slave, reg, low, high);
}

int ATI_SB_SMBusRegisterSpace::ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) {
    return VIA_VT82_SMBusRegisterSpace(m_pIOSpace).ReadBlock(slave, reg, buffer);
}

int ATI_SB_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    return VIA_VT82_SMBusRegisterSpace(m_pIOSpace).WriteByte(slave, reg, value);
}

int ATI_SB_SMBusRegisterSpace::WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) {
    return VIA_VT82_SMBusRegisterSpace(m_pIOSpace).WriteWord(slave, reg, low, high);
}

int ATI_SB_SMBusRegisterSpace::WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) {
    return VIA_VT82_SMBusRegisterSpace(m_pIOSpace).WriteBlock(slave, reg, buffer, count);
}
