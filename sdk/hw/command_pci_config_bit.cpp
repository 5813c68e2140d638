#include "sdk/hw/command_pci_config_bit.h"

#include "sdk/hw/command_rescan.h"
#include "sdk/hw/pci_device.h"

int CPCIConfigBitCommand::Save() {
    uint32_t value = 0xFFFFFFFF;
    m_pDevice->ReadConfigDword(int32_t(m_dwRegister), &value);
    m_dwSaved = (value & m_dwBit) ? 1 : 0;
    return 1;
}

int CPCIConfigBitCommand::Enable() {
    if (!m_dwSaved) return 1;
    uint32_t value = 0;
    if (!m_pDevice->ReadConfigDword(int32_t(m_dwRegister), &value)) return 1;
    m_pDevice->WriteConfigDword(int32_t(m_dwRegister), value & ~m_dwBit);
    RescanAfterUnhiding();
    return 1;
}

int CPCIConfigBitCommand::Restore() {
    uint32_t value = 0;
    if (!m_pDevice->ReadConfigDword(int32_t(m_dwRegister), &value)) return 1;
    m_pDevice->WriteConfigDword(int32_t(m_dwRegister), m_dwSaved ? value | m_dwBit : value & ~m_dwBit);
    return 1;
}

int VIA_686AB_MonitorIOEnable::Enable() {
    if (m_dwSaved) return 1;
    uint32_t value = 0;
    if (!m_pDevice->ReadConfigDword(int32_t(m_dwRegister), &value)) return 1;
    m_pDevice->WriteConfigDword(int32_t(m_dwRegister), value | m_dwBit);
    return 1;
}
