// The switch of the extended configuration access of an AMD family 10h
// northbridge: bit 14 of configuration dword 0x8C (EnableCf8ExtCfg) lets
// 0xCF8 bits 27:24 carry register bits 11:8. The ECS register space
// (register_space_amd_ecs.h) calls Enable before every access; Restore
// puts the bit back as Save found it.
#pragma once

#include <cstdint>

#include "sdk/hw/command.h"

class CPCIDevice;

class AMD_K10_ECS_Status : public CCommand {
public:
    static constexpr uint32_t kRegister = 0x8C;
    static constexpr uint32_t kExtendedAccess = 1u << 14;

    explicit AMD_K10_ECS_Status(CPCIDevice* northbridge) : m_pDevice(northbridge) {}

    // 1.
    int Save() override;
    // Sets the bit: the write's result (1 without a write when it is set
    // already), 0 when the register cannot be read.
    int Enable() override;
    // 1.
    int Restore() override;

    CPCIDevice* m_pDevice;  // not owned
    uint32_t m_dwSaved = 1;
};
