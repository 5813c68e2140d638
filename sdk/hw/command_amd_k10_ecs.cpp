#include "sdk/hw/command_amd_k10_ecs.h"

#include "sdk/hw/pci_device.h"

int AMD_K10_ECS_Status::Save() {
    uint32_t value = 0xFFFFFFFF;
    m_pDevice->ReadConfigDword(kRegister, &value);
    m_dwSaved = (value & kExtendedAccess) ? 1 : 0;
    return 1;
}

int AMD_K10_ECS_Status::Enable() {
    uint32_t value = 0;
    if (!m_pDevice->ReadConfigDword(kRegister, &value)) return 0;
    if (value & kExtendedAccess) return 1;
    return int(m_pDevice->WriteConfigDword(kRegister, value | kExtendedAccess));
}

int AMD_K10_ECS_Status::Restore() {
    uint32_t value = 0;
    if (m_pDevice->ReadConfigDword(kRegister, &value))
        m_pDevice->WriteConfigDword(kRegister, m_dwSaved ? value | kExtendedAccess : value & ~kExtendedAccess);
    return 1;
}
