// The extended configuration space (registers 0x100-0xFFF) of the
// functions of an AMD family 10h northbridge node, for processors whose
// ECAM window the program does not know. Every access first switches the
// northbridge's extended 0xCF8 access on (AMD_K10_ECS_Status::Enable);
// it then goes through the PCI Express window when the PCI domain has one,
// otherwise through 0xCF8/0xCFC with register bits 11:8 in address bits
// 27:24. The processor descriptions create one per node.
#pragma once

#include <cstdint>

#include "sdk/hw/register_space.h"

class AMD_K10_ECS_Status;

class AMD_K10_ECS_RegisterSpace : public CRegisterSpace {
public:
    static constexpr uint32_t kLastRegister = 0xFFF;

    // `status` stays the caller's (the root's command list holds it).
    AMD_K10_ECS_RegisterSpace(uint32_t bus, uint32_t device, AMD_K10_ECS_Status* status)
        : CRegisterSpace(REGSPACE_AMD_K10_ECS, nullptr), m_dwBus(bus), m_dwDevice(device), m_pStatus(status) {}

    // The dword at `reg` of function `function`; 0 with all ones in `value`
    // for a register past 0xFFF or a failed access.
    int ReadConfigDword(uint32_t function, uint32_t reg, uint32_t* value);
    int WriteConfigDword(uint32_t function, uint32_t reg, uint32_t value);

    // The 0xCF8 address of a register with its bits 11:8 in bits 27:24.
    static uint32_t ConfigAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg);

    uint32_t m_dwBus;
    uint32_t m_dwDevice;
    AMD_K10_ECS_Status* m_pStatus;
};
