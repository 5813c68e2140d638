#include "sdk/hw/smbus_engines_5000x.h"

#include "sdk/hw/register_space_pci.h"

using namespace SPDEngine;

namespace {

constexpr uint32_t kYield = 0;
constexpr uint32_t kNoStatus = 0xFFFF;

uint32_t Bus(uint32_t address) { return (address >> 16) & 0xFF; }
uint32_t Device(uint32_t address) { return (address >> 11) & 0x1F; }
uint32_t Function(uint32_t address) { return (address >> 8) & 0x7; }

uint32_t ReadCommandFor(uint8_t slave, uint32_t reg) { return uint32_t(kSelectBase | slave) << 24 | reg << 16; }
uint32_t WriteCommandFor(uint8_t slave, uint32_t reg, uint8_t value) {
    return uint32_t(kSelectBase | slave) << 24 | reg << 16 | uint32_t(value) << 8 | kWrite;
}

CPCIRegisterSpace* PCISpace(CRegisterSpace* space) {
    return space && space->GetClass() == REGSPACE_PCI ? static_cast<CPCIRegisterSpace*>(space) : nullptr;
}

} // namespace

uint32_t Intel_5000X_SMBusRegisterSpace::Status() {
    uint32_t value = 0xFFFFFFFF;
    CPCIRegisterSpace* space = PCISpace(m_pConfigSpace);
    if (!space || !space->ReadConfigDword(Bus(m_dwConfigAddress), Device(m_dwConfigAddress),
                                          Function(m_dwConfigAddress), m_dwStatusRegister, &value))
        return kNoStatus;
    return value & 0xFFFF;
}

uint32_t Intel_5000X_SMBusRegisterSpace::ReadCommand() {
    uint32_t value = 0xFFFFFFFF;
    if (CPCIRegisterSpace* space = PCISpace(m_pConfigSpace))
        space->ReadConfigDword(Bus(m_dwConfigAddress), Device(m_dwConfigAddress), Function(m_dwConfigAddress),
                               m_dwCommandRegister, &value);
    return value;
}

void Intel_5000X_SMBusRegisterSpace::WriteCommand(uint32_t command) {
    if (CPCIRegisterSpace* space = PCISpace(m_pConfigSpace))
        space->WriteConfigDword(Bus(m_dwConfigAddress), Device(m_dwConfigAddress), Function(m_dwConfigAddress),
                                m_dwCommandRegister, command);
}

bool Intel_5000X_SMBusRegisterSpace::WaitWhileBusy(uint32_t doneBit, uint32_t sleepMs, uint32_t& status) {
    const auto ended = [doneBit](uint32_t s) { return !(s & kBusy) || (doneBit && (s & doneBit)); };
    return PollStatus([this] { return Status(); }, ended, m_iPollCount, sleepMs, kNoStatus, status);
}

bool Intel_5000X_SMBusRegisterSpace::Start(uint32_t command, uint32_t resultBits) {
    for (int32_t tries = m_iPollCount; --tries >= 0;) {
        WriteCommand(command | kStart);
        const uint32_t written = ReadCommand();
        const uint32_t status = Status();
        if (status != kNoStatus && (status & kBusy) && !(status & resultBits)) return true;
        command = written & ~kStart;
    }
    return false;
}

int Intel_5000X_SMBusRegisterSpace::FinishRead(uint8_t* value) {
    const uint32_t status = Status();
    if (status == kNoStatus || !(status & kReadDone) || (status & kError)) return 0;
    if (value) *value = uint8_t(status);
    return 1;
}

int Intel_5000X_SMBusRegisterSpace::FinishWrite() {
    const uint32_t status = Status();
    if (status == kNoStatus || (status & kError)) return 0;
    return (status & kWriteDone) ? 1 : 0;
}

int Intel_5000X_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (slave > kLastModule || reg > 0xFF) return 0;
    const uint32_t command = ReadCommandFor(slave, reg);
    WriteCommand(command);
    uint32_t status = 0;
    if (!WaitWhileBusy(0, kYield, status) || !Start(command, kReadDone | kError) ||
        !WaitWhileBusy(kReadDone, kYield, status))
        return 0;
    return FinishRead(value);
}

int Intel_5000X_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    if (slave > kLastModule || reg > 0xFF) return 0;
    const uint32_t command = WriteCommandFor(slave, reg, value);
    WriteCommand(command);
    uint32_t status = 0;
    if (!WaitWhileBusy(0, kWritePollMs, status) || !Start(command, kWriteDone | kError) ||
        !WaitWhileBusy(kWriteDone, kWritePollMs, status))
        return 0;
    return FinishWrite();
}

// ---- E8500 ----

int Intel_E8500_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (slave > kLastModule || reg > 0xFF) return 0;
    uint32_t status = 0;
    if (!WaitWhileBusy(0, kYield, status)) return 0;
    WriteCommand(ReadCommandFor(slave, reg));
    if (!WaitWhileBusy(kReadDone, kYield, status)) return 0;
    return FinishRead(value);
}

int Intel_E8500_SMBusRegisterSpace::WriteByte(uint8_t slave, uint32_t reg, uint8_t value) {
    if (slave > kLastModule || reg > 0xFF) return 0;
    uint32_t status = 0;
    if (!WaitWhileBusy(0, kYield, status)) return 0;
    WriteCommand(WriteCommandFor(slave, reg, value));
    if (!WaitWhileBusy(kWriteDone, kYield, status)) return 0;
    return FinishWrite();
}
