// The record of one memory module found by the SPD scan (spd_interface.h):
// the SPD bytes as read and every value the decoders derive from them.
// A field no decoder set keeps its "unknown" value, which differs by field
// (given beside each); the report and the query layer test for exactly
// these. The record owns its SPD bytes, its JEDEC CAS table and its three
// profile lists (module_info_profiles.h) with everything in them.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class CAMP_Profile;
class CEPP_Profile;
class CXMP_Profile;

// One supported CAS latency and the highest clock at which it applies.
// Readers skip entries whose frequency is not above 0.
class CAS_Table {
public:
    virtual ~CAS_Table() = default;

    float m_fCASLatency = -1.0f;  // clocks; half clocks for DDR
    float m_fFrequency = -1.0f;   // MHz
};

class CModuleInfo {
public:
    static constexpr int kTextSize = 32;
    static constexpr int kJEDECIDBytes = 32;
    static constexpr int kManufacturerSize = 256;

    // Every field unknown and an empty CAS table.
    CModuleInfo();
    // Frees the SPD bytes and deletes the CAS table and the profile lists
    // with their items.
    virtual ~CModuleInfo();
    CModuleInfo(const CModuleInfo&) = delete;
    CModuleInfo& operator=(const CModuleInfo&) = delete;

    // The i-th item (zero-based) of a list; null for a negative index, an
    // index past the end or an absent list.
    CAS_Table* GetCASTable(int i) const;
    CEPP_Profile* GetEPPProfile(int i) const;
    CXMP_Profile* GetXMPProfile(int i) const;
    CAMP_Profile* GetAMPProfile(int i) const;

    // Replaces the SPD bytes by a zeroed buffer of `size` bytes (none for 0)
    // and sets the length to 0; the caller fills both.
    uint8_t* AllocateSPD(int size);

    uint8_t m_ucAddress = 0;        // SMBus address 0x50 + slot, or the DIMM index on an engine
    uint8_t* m_pSPD = nullptr;      // owned
    int m_iSPDLength = 0;           // bytes held in m_pSPD that were read
    int m_iIndex = -1;              // zero-based; shown one-based as "DIMM #"
    int m_iMemoryType = -1;         // MemoryType
    char m_szMemoryType[kTextSize] = {};
    char m_szSpeed[kTextSize] = {};
    uint8_t m_byJEDECID[kJEDECIDBytes] = {};  // continuation codes 0x7F, then the maker's code
    char m_szManufacturer[kManufacturerSize] = {};
    char m_szPartNumber[kTextSize] = {};
    char m_szSerialNumber[kTextSize] = {};    // "%08X" of m_dwSerialNumber
    int m_iSize = 0;                // MB
    uint32_t m_dwSerialNumber = 0;
    char m_szModuleFormat[kTextSize] = {};
    int m_iCorrection = -1;         // 0 none, 1 parity, 2 ECC
    int m_iRegistered = -1;
    int m_iBuffered = -1;
    int m_iBanks = 0;               // as the type's decoder defines them
    int m_iDataWidth = 0;           // bits
    int m_iPCRating = 0;            // module bandwidth in MB/s, as in the speed text
    int m_iClock = 0;               // MHz
    int m_iDataRate = -1;           // MT/s
    CTList<CAS_Table>* m_pCASTables;  // owned, with its entries
    float m_fRCD = -1.0f;           // ns
    float m_fRP = -1.0f;            // ns
    float m_fRAS = -1.0f;           // ns
    float m_fRC = -1.0f;            // ns
    float m_fRefreshPeriod = -1.0f; // microseconds
    float m_fMaxCASLatency = -1.0f;
    uint8_t m_byYear = 0;           // two digits
    uint8_t m_byWeek = 0;
    float m_fVoltage = -1.0f;       // volts
    int m_bEPP = 0;
    int m_bEPP2 = 0;
    int m_iEPPProfiles = 0;
    CTList<CEPP_Profile>* m_pEPPProfiles = nullptr;  // owned
    int m_bXMP = 0;
    uint8_t m_byXMPRevision = 0xFF;  // major version in the high nibble
    int m_iXMPProfiles = 0;
    CTList<CXMP_Profile>* m_pXMPProfiles = nullptr;  // owned
    int m_bAMP = 0;
    uint8_t m_byAMPVersion = 0xFF;
    int m_iAMPProfiles = 0;
    CTList<CAMP_Profile>* m_pAMPProfiles = nullptr;  // owned
};
