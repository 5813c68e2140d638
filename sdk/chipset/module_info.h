// The SPD record of one memory module.
#pragma once

#include <cstdint>

class CModuleInfo {
public:
    CModuleInfo() = default;
    virtual ~CModuleInfo() { delete[] m_pSPD; }
    CModuleInfo(const CModuleInfo&) = delete;
    CModuleInfo& operator=(const CModuleInfo&) = delete;

    uint8_t m_ucAddress = 0;        // SMBus address 0x50 + slot, or the DIMM index of an engine
    uint8_t* m_pSPD = nullptr;      // the SPD bytes, owned
    int m_iSPDLength = 0;
    int m_iIndex = -1;              // zero-based module index
    int m_iMemoryType = -1;         // MemoryType
    char m_szSerialNumber[32] = {};
};
