// Reversible commands on one bit of a PCI configuration dword. Most show a
// hidden chipset function by clearing a bit of another function (the south
// bridge's): Save keeps the bit, Enable clears it and rescans the PCI bus so
// that the function is found, Restore puts the kept bit back.
//
// A read-modify-write whose read fails writes nothing: a register that
// reads as all ones is not written back as all ones.
#pragma once

#include <cstdint>

#include "sdk/hw/command.h"

class CPCIDevice;

class CPCIConfigBitCommand : public CCommand {
public:
    // 1 after Save, and always 1.
    int Save() override;
    int Enable() override;
    int Restore() override;

    CPCIDevice* m_pDevice;  // not owned
    uint32_t m_dwRegister;
    uint32_t m_dwBit;       // the mask of the bit that hides the function
    uint32_t m_dwSaved = 1;

protected:
    CPCIConfigBitCommand(CPCIDevice* device, uint32_t reg, uint32_t bit)
        : m_pDevice(device), m_dwRegister(reg), m_dwBit(bit) {}
};

// Intel ICH (ICH2 to ICH5) LPC bridge: dword 0xF0 bit 19 (FUNC_DIS bit 3)
// disables the SMBus controller.
class Intel_82801_SMBusControllerStatus : public CPCIConfigBitCommand {
public:
    explicit Intel_82801_SMBusControllerStatus(CPCIDevice* lpcBridge)
        : CPCIConfigBitCommand(lpcBridge, 0xF0, 1u << 19) {}
};

// SiS 96x south bridge: dword 0x74 bit 28 hides the SMBus controller.
class SiS_96x_SMBusControllerStatus : public CPCIConfigBitCommand {
public:
    explicit SiS_96x_SMBusControllerStatus(CPCIDevice* southBridge)
        : CPCIConfigBitCommand(southBridge, 0x74, 1u << 28) {}
};

// VIA 686A/B power-management function: dword 0x74 bit 0 switches the
// hardware monitor's I/O ports on. Enable sets the bit (no function
// appears, so no rescan); Restore clears it again when it was clear.
class VIA_686AB_MonitorIOEnable : public CPCIConfigBitCommand {
public:
    static constexpr uint32_t kRegister = 0x74;
    static constexpr uint32_t kEnableBit = 1u << 0;

    explicit VIA_686AB_MonitorIOEnable(CPCIDevice* powerManagement)
        : CPCIConfigBitCommand(powerManagement, kRegister, kEnableBit) {}

    int Enable() override;
};
