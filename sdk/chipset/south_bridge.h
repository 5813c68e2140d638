// The chipset's ISA/LPC bridge: its PCI function and its names ("ID%04X"
// texts of the vendor and device ids until the southbridge identification
// names it).
#pragma once

#include <cstdint>

class CPCIDevice;

class CSouthBridge {
public:
    static constexpr int kNameSize = 64;
    static constexpr int kRevisionSize = 16;

    explicit CSouthBridge(CPCIDevice* device);
    virtual ~CSouthBridge() = default;
    CSouthBridge(const CSouthBridge&) = delete;
    CSouthBridge& operator=(const CSouthBridge&) = delete;

    // The configuration dword at the bridge's bus, device and function
    // through the PCI domain; 0xFFFFFFFF on failure.
    uint32_t ReadConfig(uint32_t reg);

    CPCIDevice* m_pDevice;  // not owned
    char m_szVendor[kNameSize] = {};
    char m_szModel[kNameSize] = {};
    char m_szRevision[kRevisionSize] = {};
};
