#include "sdk/hw/register_space_amd_ecs.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/command_amd_k10_ecs.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_pci.h"

namespace {

CPCIExpressRegisterSpace* ExpressSpace() {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci ? static_cast<CPCIExpressRegisterSpace*>(pci->GetExpressSpace()) : nullptr;
}

} // namespace

uint32_t AMD_K10_ECS_RegisterSpace::ConfigAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg) {
    return 0x80000000u | (reg & 0xF00) << 16 | (bus & 0xFF) << 16 | (device & 31) << 11 | (function & 7) << 8 |
           (reg & 0xFF);
}

int AMD_K10_ECS_RegisterSpace::ReadConfigDword(uint32_t function, uint32_t reg, uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    if (reg > kLastRegister) return 0;
    if (m_pStatus) m_pStatus->Enable();
    if (CPCIExpressRegisterSpace* express = ExpressSpace())
        return express->ReadConfigDword(uint8_t(m_dwBus), m_dwDevice, function, reg, value);
    CKMDriver* driver = GetSDK()->GetDriver();
    return driver ? driver->ReadPCIConfigAddressByPorts(ConfigAddress(m_dwBus, m_dwDevice, function, reg), value) : 0;
}

int AMD_K10_ECS_RegisterSpace::WriteConfigDword(uint32_t function, uint32_t reg, uint32_t value) {
    if (reg > kLastRegister) return 0;
    if (m_pStatus) m_pStatus->Enable();
    if (CPCIExpressRegisterSpace* express = ExpressSpace())
        return express->WriteConfigDword(uint8_t(m_dwBus), m_dwDevice, function, reg, value);
    CKMDriver* driver = GetSDK()->GetDriver();
    return driver ? driver->WritePCIConfigAddressByPorts(ConfigAddress(m_dwBus, m_dwDevice, function, reg), value) : 0;
}
