// A reversible change of one byte of the power-management registers of
// ATI/AMD southbridges (index port 0xCD6, data port 0xCD7): Save keeps the
// byte, Enable writes (kept byte & `keep`) | `set`, Restore writes the kept
// byte back. A byte whose read failed is neither modified nor restored.
#pragma once

#include <cstdint>

#include "sdk/hw/command.h"

class AMD_PM_RegisterCommand : public CCommand {
public:
    static constexpr uint32_t kIndexPort = 0xCD6;
    static constexpr uint32_t kDataPort = 0xCD7;

    AMD_PM_RegisterCommand(uint8_t index, uint8_t keep, uint8_t set) : m_byIndex(index), m_byKeep(keep), m_bySet(set) {}

    // 1 when the byte was read.
    int Save() override;
    // The write's result; 0 (nothing written) when the kept byte is needed
    // but was not read.
    int Enable() override;
    // The write's result; 1 without a kept byte.
    int Restore() override;

    // One byte through the index and data ports of the root's driver; a
    // failed read gives 0xFF and 0.
    static int ReadRegister(uint8_t index, uint8_t* value);
    static int WriteRegister(uint8_t index, uint8_t value);

    uint8_t m_byIndex;
    uint8_t m_byKeep;
    uint8_t m_bySet;
    uint8_t m_bySaved = 0xFF;
    bool m_bSaved = false;
};
