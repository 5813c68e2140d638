#include "sdk/hw/smbus_intel_ich.h"

#include <algorithm>

#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

using namespace IchSMBus;

namespace {

constexpr uint32_t kUsePortProtocol = 2;  // the driver's answer: go through the ports
constexpr uint32_t kPollSleepMs = 1;

// The address byte on the bus: bit 0 set for reads.
uint8_t ReadAddress(uint8_t slave) { return uint8_t(slave << 1 | 1); }
uint8_t WriteAddress(uint8_t slave) { return uint8_t(slave << 1); }

// Host control bits a transfer keeps when it sets its type and starts.
constexpr uint8_t kKeepForByte = 0xA8;
constexpr uint8_t kKeepForWord = 0xEC;
// Status bits that must be clear before a block transfer starts, and
// during it.
constexpr uint8_t kBlockStartMask = 0x9F;
constexpr uint8_t kBlockRunMask = 0x1E;
// Status bits written back after a byte of a block (byte done and errors).
constexpr uint8_t kBlockByteClear = 0x9E;
// Status bits cleared around a write.
constexpr uint8_t kWriteClear = 0x1F;
constexpr uint8_t kReleaseBits = kInUse | kDeviceError;

} // namespace

// ---- ICH1 ----

bool Intel_ICH1_SMBusRegisterSpace::Acquire() {
    uint8_t status = 0;
    return PollPort(kHostStatus, [](uint32_t s) { return !(s & kInUse); }, kSemaphorePolls, kPollSleepMs, status);
}

void Intel_ICH1_SMBusRegisterSpace::Release() { Out(kHostStatus, In(kHostStatus) | kReleaseBits); }

uint8_t Intel_ICH1_SMBusRegisterSpace::ClearStatus(uint8_t status, uint8_t mask) {
    if (!(status & mask)) return status;
    Out(kHostStatus, status);
    return In(kHostStatus);
}

bool Intel_ICH1_SMBusRegisterSpace::WaitByteDone(uint8_t& status) {
    // A byte that cannot come any more (an error, or the transfer ended)
    // ends the wait too.
    const auto ended = [](uint32_t s) { return (s & (kByteDone | kErrors)) || Finished(s); };
    return PollPort(kHostStatus, ended, m_iPollCount, kPollSleepMs, status) && (status & kByteDone);
}

int Intel_ICH1_SMBusRegisterSpace::ReadData(uint8_t slave, uint32_t reg, uint8_t type, int32_t polls, uint8_t* data0,
                                            uint8_t* data1) {
    if (data0) *data0 = 0;
    if (data1) *data1 = 0;
    if (!Acquire()) return 0;
    Out(kHostStatus, kClearStatus);
    Out(kSlaveAddress, ReadAddress(slave));
    Out(kHostCommand, reg);
    const uint8_t keep = type == kByteData ? kKeepForByte : kKeepForWord;
    Out(kHostControl, (In(kHostControl) & keep) | kStart | type);
    uint8_t status = 0;
    int result = 0;
    if (PollPort(kHostStatus, Finished, polls, kPollSleepMs, status) && !(status & kErrors)) {
        if (data0) *data0 = In(kData0);
        if (data1) *data1 = In(kData1);
        result = 1;
    }
    Release();
    return result;
}

int Intel_ICH1_SMBusRegisterSpace::WriteData(uint8_t slave, uint32_t reg, uint8_t type, uint8_t data0, uint8_t data1) {
    if (!Acquire()) return 0;
    Out(kHostStatus, kClearStatus);
    Out(kSlaveAddress, WriteAddress(slave));
    Out(kHostCommand, reg);
    Out(kData0, data0);
    if (type == kWordData) Out(kData1, data1);
    In(kHostControl);
    Out(kHostControl, type);
    ClearStatus(In(kHostStatus), kWriteClear);
    Out(kHostControl, In(kHostControl) | kStart);
    uint8_t status = 0;
    int result = 0;
    if (PollPort(kHostStatus, Finished, kPollCount, kPollSleepMs, status)) {
        result = (status & kErrors) ? 0 : 1;
        ClearStatus(In(kHostStatus), kWriteClear);
    }
    Release();
    return result;
}

int Intel_ICH1_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (reg > 0xFF) return 0;
    if (HasPortSpace()) {
        if (CKMDriver* driver = GetSDK()->GetDriver()) {
            const uint32_t answer = driver->ReadSMBusByteICH(GetBaseLow(), slave, reg, value);
            if (answer != kUsePortProtocol) return answer ? 1 : 0;
        }
    }
    return ReadData(slave, reg, kByteData, kByteReadPolls, value, nullptr);
}

int Intel_ICH1_SMBusRegisterSpace::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    return ReadData(slave, reg, kWordData, kPollCount, low, high);
}

int Intel_ICH1_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    return WriteData(slave, reg, kByteData, value, 0);
}

int Intel_ICH1_SMBusRegisterSpace::WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high) {
    return WriteData(slave, reg, kWordData, low, high);
}

int Intel_ICH1_SMBusRegisterSpace::ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) {
    return ReadBlockBytes(slave, reg, buffer, false);
}

int Intel_ICH1_SMBusRegisterSpace::WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) {
    return WriteBlockBytes(slave, reg, buffer, count, false);
}

// Byte by byte: the device's first byte (data 0) gives the length; each
// byte waits in the block data register with byte done set until status
// is written back, and the last one is announced beforehand so that the
// controller ends the transfer after it.
int Intel_ICH1_SMBusRegisterSpace::ReadBlockBytes(uint8_t slave, uint32_t reg, uint8_t* buffer, bool ich4) {
    if (!buffer || !Acquire()) return 0;
    Out(kHostStatus, kClearStatus);
    uint8_t savedAux = 0;
    if (ich4) {
        In(kHostStatus);
        savedAux = In(kAuxControl);
        Out(kAuxControl, savedAux & ~kBlockBuffer);
    }
    Out(kSlaveAddress, ReadAddress(slave));
    Out(kHostCommand, reg);
    int length = int(kBlockMax), stored = 0;
    for (int i = 1; i <= length; ++i) {
        Out(kHostControl, i == length ? kBlock | kLastByte : kBlock);
        const uint8_t mask = i == 1 ? kBlockStartMask : kBlockRunMask;
        uint8_t status = In(kHostStatus);
        if (status & mask) {
            Out(kHostStatus, status);
            status = In(kHostStatus);
            if ((status & mask) || i != 1) break;
        }
        if (i == 1) Out(kHostControl, In(kHostControl) | kStart);
        if (!WaitByteDone(status) || (ich4 && (status & kErrors))) break;
        if (i == 1) {
            // The announced length, never past the block the caller holds.
            length = std::min<int>(In(kData0), int(kBlockMax));
            if (length == 0) break;
        }
        buffer[i - 1] = In(kBlockData);
        ++stored;
        ClearStatus(status, kBlockByteClear);
    }
    if (ich4) Out(kAuxControl, savedAux);
    Release();
    return stored;
}

// Byte by byte: the count and the first byte go before the start; each
// further byte goes into the block data register when the controller has
// sent the one before (byte done), and writing status back hands it over.
// After the last byte the transfer ends; a last byte the device refuses
// is not counted.
int Intel_ICH1_SMBusRegisterSpace::WriteBlockBytes(uint8_t slave, uint32_t reg, const uint8_t* buffer, int32_t count,
                                                   bool ich4) {
    if (!buffer || count < 1) return 0;
    count = std::min<int32_t>(count, int32_t(kBlockMax));
    if (!Acquire()) return 0;
    Out(kHostStatus, kClearStatus);
    uint8_t savedAux = 0;
    if (ich4) {
        In(kHostStatus);
        savedAux = In(kAuxControl);
        Out(kAuxControl, savedAux & ~kBlockBuffer);
    }
    Out(kSlaveAddress, WriteAddress(slave));
    Out(kHostCommand, reg);
    Out(kData0, uint32_t(count));
    Out(kBlockData, buffer[0]);
    int written = 0;
    uint8_t status = 0;
    for (int i = 0; i < count; ++i) {
        if (i == 0) {
            Out(kHostControl, kBlock);
            status = In(kHostStatus);
            if (status & kBlockStartMask) {
                Out(kHostStatus, status);
                status = In(kHostStatus);
                if (status & kBlockStartMask) break;
            }
            Out(kHostControl, In(kHostControl) | kStart);
        } else {
            Out(kBlockData, buffer[i]);
            Out(kHostStatus, status);
        }
        if (!WaitByteDone(status) || (ich4 && (status & kErrors))) break;
        ++written;
    }
    if (written == count) {
        // Hands the last byte over and waits for the end of the transfer.
        Out(kHostStatus, status);
        if (!PollPort(kHostStatus, Finished, m_iPollCount, kPollSleepMs, status) || (status & kErrors)) --written;
        if (ich4) Out(kHostStatus, status);
    }
    if (ich4) Out(kAuxControl, savedAux);
    Release();
    return written;
}

// ---- ICH4 ----

int Intel_ICH4_SMBusRegisterSpace::ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer) {
    return ReadBlockBytes(slave, reg, buffer, true);
}

int Intel_ICH4_SMBusRegisterSpace::WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count) {
    return WriteBlockBytes(slave, reg, buffer, count, true);
}

// ---- SCH ----

int Intel_SCH_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (value) *value = 0;
    if (reg > 0xFF) return 0;
    uint8_t status = 0;
    if (!PollPort(kHostStatus, [](uint32_t s) { return !(s & kInUse); }, kSemaphorePolls, kPollSleepMs, status))
        return 0;
    // Clears what an earlier transfer left in status (host control would
    // take the same byte as a start of a transfer).
    Out(kHostStatus, kClearStatus);
    int result = 0;
    if (!(In(kHostStatus) & kBusy)) {
        Out(kSlaveAddress, ReadAddress(slave));
        Out(kCommand, reg);
        Out(kHostControl, (In(kHostControl) & 0xB2) | kByteData);
        status = In(kHostStatus);
        if (status & 0x0F) {
            Out(kHostStatus, status & 0x0F);
            SleepMs(kPollSleepMs);
            status = In(kHostStatus);
        }
        if (!(status & 0x0F)) {
            Out(kHostControl, In(kHostControl) | kStart);
            const auto finished = [](uint32_t s) { return !(s & kBusy) && (s & (kDone | kErrors)); };
            if (PollPort(kHostStatus, finished, kPollCount, kPollSleepMs, status) && !(status & kErrors) &&
                (status & kDone)) {
                if (value) *value = In(kData0);
                result = 1;
            }
        }
    }
    Out(kHostStatus, In(kHostStatus) | kInUse);
    return result;
}
