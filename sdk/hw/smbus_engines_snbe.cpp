#include "sdk/hw/smbus_engines_snbe.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/register_space_pci.h"

using namespace SNBEEngine;

namespace {

constexpr uint32_t kUsePortProtocol = 2;  // the driver's answer: use the engine's registers
constexpr uint32_t kReadEnd = kReadDone | kError;
constexpr uint32_t kWriteEnd = kWriteDone | kError;
// The recovery toggles the control bit until the engine is busy without
// a result: the status masks of that state.
constexpr uint32_t kReadRecoveryMask = kReadDone | kError | kBusy;
constexpr uint32_t kWriteRecoveryMask = kWriteDone | kError | kBusy;

uint32_t Bus(uint32_t address) { return (address >> 16) & 0xFF; }
uint32_t Device(uint32_t address) { return (address >> 11) & 0x1F; }
uint32_t Function(uint32_t address) { return (address >> 8) & 0x7; }

} // namespace

// All ones when the register cannot be read.
uint32_t Intel_SNBE_SMBusRegisterSpace::ReadRegister(uint32_t offset) {
    uint32_t value = 0xFFFFFFFF;
    if (!m_pConfigSpace) return value;
    const uint32_t a = m_dwConfigAddress, reg = m_dwEngineOffset + offset;
    switch (m_pConfigSpace->GetClass()) {
    case REGSPACE_PCI_EXPRESS:
        static_cast<CPCIExpressRegisterSpace*>(m_pConfigSpace)
            ->ReadConfigDword(uint8_t(Bus(a)), Device(a), Function(a), reg, &value);
        break;
    case REGSPACE_PCI:
        static_cast<CPCIRegisterSpace*>(m_pConfigSpace)->ReadConfigDword(Bus(a), Device(a), Function(a), reg, &value);
        break;
    default: break;
    }
    return value;
}

void Intel_SNBE_SMBusRegisterSpace::WriteRegister(uint32_t offset, uint32_t value) {
    if (!m_pConfigSpace) return;
    const uint32_t a = m_dwConfigAddress, reg = m_dwEngineOffset + offset;
    switch (m_pConfigSpace->GetClass()) {
    case REGSPACE_PCI_EXPRESS:
        static_cast<CPCIExpressRegisterSpace*>(m_pConfigSpace)
            ->WriteConfigDword(uint8_t(Bus(a)), Device(a), Function(a), reg, value);
        break;
    case REGSPACE_PCI:
        static_cast<CPCIRegisterSpace*>(m_pConfigSpace)->WriteConfigDword(Bus(a), Device(a), Function(a), reg, value);
        break;
    default: break;
    }
}

bool Intel_SNBE_SMBusRegisterSpace::Served(uint8_t slave, uint32_t& type, uint32_t& select) {
    type = (slave >> 3) & 0xF;
    select = slave & 7;
    return type == kThermalSensorType || type == kSpdType;
}

bool Intel_SNBE_SMBusRegisterSpace::Transfer(uint32_t type, uint32_t command, uint32_t endBits, uint32_t successBit,
                                             uint32_t recoveryMask, uint32_t& status) {
    const auto ended = [&](uint32_t s) { return !(s & kBusy) && (s & endBits); };
    const auto succeeded = [&](uint32_t s) { return (s & endBits) == successBit; };
    // Status reads without a sleep between them: the bound is their
    // number. A status of all ones is a function that does not answer.
    const auto waitEnd = [&](int32_t reads) {
        for (int32_t i = 0; i < reads; ++i) {
            status = ReadRegister(kStatus);
            if (ended(status) || status == 0xFFFFFFFF) return;
        }
    };
    WriteRegister(kControl, (ReadRegister(kControl) & 0xFF) | type << 28 | kControlToggle);
    WriteRegister(kCommand, command);
    waitEnd(kStatusReads);
    if (succeeded(status)) return true;
    if (status == 0xFFFFFFFF) return false;
    for (int32_t i = 0; i < kRecoveryTries; ++i) {
        WriteRegister(kControl, ReadRegister(kControl) ^ kControlToggle);
        status = ReadRegister(kStatus);
        if ((status & recoveryMask) == kBusy) break;
    }
    waitEnd(kRecoveryTries);
    return succeeded(status);
}

bool Intel_SNBE_SMBusRegisterSpace::ConfigRead(uint32_t type, uint32_t command, uint32_t& status) {
    return Transfer(type, command, kReadEnd, kReadDone, kReadRecoveryMask, status);
}

bool Intel_SNBE_SMBusRegisterSpace::ConfigWrite(uint32_t type, uint32_t select, uint32_t reg, uint8_t value) {
    uint32_t status = 0;
    const uint32_t command = kIssue | kWriteAccess | select << 24 | reg << 16 | value;
    return Transfer(type, command, kWriteEnd, kWriteDone, kWriteRecoveryMask, status);
}

int Intel_SNBE_SMBusRegisterSpace::ReadServedByte(uint32_t type, uint32_t select, uint32_t reg, uint8_t* value) {
    if (reg > 0xFF) return 0;
    if (CKMDriver* driver = GetSDK()->GetDriver()) {
        const uint32_t answer =
            driver->ReadSMBusByteEngine(m_dwConfigAddress, m_dwEngineOffset, type, select, reg, value);
        if (answer != kUsePortProtocol) return answer ? 1 : 0;
    }
    uint32_t status = 0;
    if (!ConfigRead(type, kIssue | select << 24 | reg << 16, status)) return 0;
    if (value) *value = uint8_t(status);
    return 1;
}

int Intel_SNBE_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    uint32_t type = 0, select = 0;
    if (reg > 0xFF || !Served(slave, type, select)) return 0;
    return ReadServedByte(type, select, reg, value);
}

int Intel_SNBE_SMBusRegisterSpace::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    uint32_t type = 0, select = 0, status = 0;
    if (reg > 0xFF || !Served(slave, type, select)) return 0;
    if (!ConfigRead(type, kIssue | kWordAccess | select << 24 | reg << 16, status)) return 0;
    if (low) *low = uint8_t(status >> 8);
    if (high) *high = uint8_t(status);
    return 1;
}

// ---- HSW-E ----

void Intel_HSWE_SMBusRegisterSpace::SelectPage(int32_t page) {
    ConfigWrite(kPageSelectType, page ? (kSpdPage1Address & 7) : (kSpdPage0Address & 7), 0, 0);
    m_iSelectedPage = page;
}

int Intel_HSWE_SMBusRegisterSpace::Execute(CIORequest* request) {
    const int result = Intel_SNBE_SMBusRegisterSpace::Execute(request);
    if (m_iSelectedPage == 1) SelectPage(0);
    return result;
}

int Intel_HSWE_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    const int32_t page = reg >= kSpdPageSize ? 1 : 0;
    if (page != m_iSelectedPage) SelectPage(page);
    uint32_t type = 0, select = 0;
    if (!Served(slave, type, select)) return 0;
    return ReadServedByte(type, select, reg - kSpdPageSize * uint32_t(page), value);
}
