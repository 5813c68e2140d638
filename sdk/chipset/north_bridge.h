// One host bridge of the chipset domain: its PCI function, its names
// ("ID%04X" texts of the vendor and device ids until a family names them)
// and the memory-controller register window a family decoder maps.
#pragma once

#include <cstdint>

class CIOSpace;
class CPCIDevice;

class CNorthBridge {
public:
    static constexpr int kNameSize = 64;
    static constexpr int kRevisionSize = 16;

    // "ID%04X" of the vendor and device ids, "%02X" of the revision id.
    explicit CNorthBridge(CPCIDevice* device);
    virtual ~CNorthBridge() = default;
    CNorthBridge(const CNorthBridge&) = delete;
    CNorthBridge& operator=(const CNorthBridge&) = delete;

    // The configuration dword of the bridge's function; 0xFFFFFFFF without
    // a device or when the read fails.
    uint32_t ReadConfig(uint32_t reg);
    // The write's result; 0 without a device.
    int WriteConfig(uint32_t reg, uint32_t value);

    uint16_t GetVendorID() const;
    uint16_t GetDeviceID() const;

    CPCIDevice* m_pDevice;  // not owned
    char m_szVendor[kNameSize] = {};
    char m_szModel[kNameSize] = {};
    char m_szRevision[kRevisionSize] = {};
    // The memory controller's window, shared through the root's I/O-space
    // list (never deleted here); null until a decoder maps it.
    CIOSpace* m_pMCHBAR = nullptr;
    int m_iFSBCode = -1;
    int m_iPerformanceMode = -1;  // 0 disabled, other enabled
};
