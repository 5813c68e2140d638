#include "sdk/monitor/config_mode.h"

#include "sdk/core/report_generator.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/register_rows.h"

int CConfigMode::ReadRegister(uint8_t, uint8_t* value) {
    if (value) *value = 0xFF;
    return 0;
}

int CConfigMode::WriteRegister(uint8_t, uint8_t) { return 0; }

int CConfigMode::Enter() { return 1; }

void CConfigMode::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("Config Mode I/O address", "\t", "0x%X", GetBaseAddress());
    report->PrintField("Config Mode LDN", "\t\t", "0x%X", m_byLDN);
    if (!Enter()) return;
    report->PrintField("Config Mode registers", "\t", "%s", "");
    // 0xFF: the select could not be read and is not written back.
    uint8_t savedDevice = 0xFF;
    ReadRegister(kLogicalDeviceSelect, &savedDevice);
    WriteRegister(kLogicalDeviceSelect, m_byLDN);
    constexpr uint32_t kRegisters = 0x80;
    PrintRegisterRows(report, kRegisters, [this](uint32_t reg, uint8_t* value) { return ReadRegister(uint8_t(reg), value) != 0; });
    if (savedDevice != 0xFF) WriteRegister(kLogicalDeviceSelect, savedDevice);
    Exit();
}

uint32_t CConfigMode::GetBaseAddress() const { return m_pConfigSpace ? m_pConfigSpace->GetBaseLow() : 0xFFFFFFFF; }

int Winbond_LPCIO_ConfigMode::ReadRegister(uint8_t reg, uint8_t* value) {
    if (value) *value = 0xFF;
    if (!m_pConfigSpace) return 0;
    // The request CLPCRegisterSpace::ReadIndexed runs, kept here so that
    // its result is not lost: a failed read must not pass for 0xFF read.
    CLPCRequest request;
    request.m_dwOperation = IOOP_READ_BYTE;
    request.m_dwRegister = reg;
    const int result = m_pConfigSpace->LockedExecute(&request);
    if (result && value) *value = static_cast<uint8_t>(request.m_dwData);
    return result;
}

int Winbond_LPCIO_ConfigMode::WriteRegister(uint8_t reg, uint8_t value) {
    return m_pConfigSpace ? m_pConfigSpace->WriteIndexed(reg, value) : 0;
}

int Winbond_LPCIO_ConfigMode::WriteKey(std::initializer_list<uint8_t> key) {
    if (!m_pConfigSpace) return 0;
    const uint32_t index = m_pConfigSpace->m_dwIndexOffset;
    int result = 0;
    for (const uint8_t* byte = key.begin(); byte != key.end(); ++byte) {
        result = m_pConfigSpace->WriteByte(index, *byte);
        if (!result && byte == key.begin()) return 0;
    }
    return result;
}

int Winbond_LPCIO_ConfigMode::Enter() { return WriteKey({kEnterKey, kEnterKey}); }

void Winbond_LPCIO_ConfigMode::Exit() {
    if (m_pConfigSpace) m_pConfigSpace->WriteByte(m_pConfigSpace->m_dwIndexOffset, kExitKey);
}

int ITE_LPCIO_ConfigMode::Enter() { return WriteKey({0x87, 0x01, 0x55, 0x55}); }

void ITE_LPCIO_ConfigMode::Exit() {
    uint8_t control = 0xFF;
    ReadRegister(kConfigControl, &control);
    WriteRegister(kConfigControl, uint8_t(control | kReturnToWaitForKey));
}

int ITE_LPCIO_ConfigMode_2::Enter() { return WriteKey({0x87, 0x01, 0x55, 0xAA}); }

int SMSC_LPCIO_ConfigMode::Enter() { return WriteKey({kEnterKey}); }
