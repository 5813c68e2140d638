// Reversible commands that show a function of an Intel ICH6 or later by
// clearing its bit in the function-disable register (FD, the dword at
// 0x3418) of the root complex register block. The block's base comes from
// the LPC bridge's configuration dword 0xF0 (RCBA: base in bits 31:14,
// enable in bit 0).
//
// Save finds the block, switching it on when the BIOS left it off, and
// keeps the function's bit; Enable clears the bit and rescans the PCI bus;
// Restore sets the bit again and switches the block off again when Save
// switched it on. A bridge whose block stays off leaves the command inert.
#pragma once

#include <cstdint>

#include "sdk/hw/command.h"

class CIOSpace;
class CPCIDevice;

class CRootComplexBitCommand : public CCommand {
public:
    static constexpr uint32_t kBaseRegister = 0xF0;  // of the LPC bridge
    static constexpr uint32_t kEnable = 1;
    static constexpr uint32_t kBaseMask = 0xFFFFC000;  // 16 KB aligned
    static constexpr uint32_t kFunctionDisable = 0x3418;

    // Each returns 1.
    int Save() override;
    int Enable() override;
    int Restore() override;

    CPCIDevice* m_pDevice;               // the LPC bridge; not owned
    uint32_t m_dwBit;                    // the mask of the function's FD bit
    uint32_t m_dwSaved = 1;
    CIOSpace* m_pMemorySpace = nullptr;  // the block, the root's; null until Save found it
    bool m_bBlockEnabledBySave = false;

protected:
    CRootComplexBitCommand(CPCIDevice* lpcBridge, uint32_t bit) : m_pDevice(lpcBridge), m_dwBit(bit) {}
};

// FD bit 3: the SMBus controller 00:1f.3.
class Intel_82801FB_SMBusControllerStatus : public CRootComplexBitCommand {
public:
    explicit Intel_82801FB_SMBusControllerStatus(CPCIDevice* lpcBridge) : CRootComplexBitCommand(lpcBridge, 1u << 3) {}
};

// FD bit 24: the thermal sensor 00:1f.6.
class Intel_LPC_ThermalControllerStatus : public CRootComplexBitCommand {
public:
    explicit Intel_LPC_ThermalControllerStatus(CPCIDevice* lpcBridge) : CRootComplexBitCommand(lpcBridge, 1u << 24) {}
};
