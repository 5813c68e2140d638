#include "sdk/chipset/amd_pm_register_command.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

int AMD_PM_RegisterCommand::ReadRegister(uint8_t index, uint8_t* value) {
    *value = 0xFF;
    CKMDriver* driver = GetSDK()->m_pDriver;
    if (!driver || !driver->WritePortByte(kIndexPort, index)) return 0;
    if (driver->ReadPortByte(kDataPort, value)) return 1;
    *value = 0xFF;
    return 0;
}

int AMD_PM_RegisterCommand::WriteRegister(uint8_t index, uint8_t value) {
    CKMDriver* driver = GetSDK()->m_pDriver;
    return driver && driver->WritePortByte(kIndexPort, index) && driver->WritePortByte(kDataPort, value) ? 1 : 0;
}

int AMD_PM_RegisterCommand::Save() {
    m_bSaved = ReadRegister(m_byIndex, &m_bySaved) != 0;
    return m_bSaved ? 1 : 0;
}

int AMD_PM_RegisterCommand::Enable() {
    if (m_byKeep && !m_bSaved) return 0;
    return WriteRegister(m_byIndex, static_cast<uint8_t>((m_bySaved & m_byKeep) | m_bySet));
}

int AMD_PM_RegisterCommand::Restore() { return m_bSaved ? WriteRegister(m_byIndex, m_bySaved) : 1; }
