// The overclocking profiles a module record (module_info.h) may hold, as
// the profile decoders (spd_profiles_*.cpp) fill them: XMP (DDR3 and DDR4),
// AMP (DDR3) and the two EPP layouts (DDR2). Times are in ns, voltages in
// volts, clocks in MHz; -1 marks a value not decoded.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class CAS_Table;

class CXMP_Profile {
public:
    static constexpr int kTextSize = 32;

    CXMP_Profile();
    // Deletes the CAS table with its entries.
    virtual ~CXMP_Profile();
    CXMP_Profile(const CXMP_Profile&) = delete;
    CXMP_Profile& operator=(const CXMP_Profile&) = delete;

    // The i-th CAS entry; null for a negative index or one past the end.
    CAS_Table* GetCASTable(int i) const;

    float m_fVoltage = -1.0f;
    float m_fCycleTime = -1.0f;  // tCK
    int m_iClock = -1;
    char m_szSpeed[kTextSize] = {};
    CTList<CAS_Table>* m_pCASTables;  // owned
    float m_fAA = -1.0f;
    float m_fRP = -1.0f;
    float m_fRCD = -1.0f;
    float m_fWR = -1.0f;
    float m_fRAS = -1.0f;
    float m_fRC = -1.0f;
    float m_fRFC = -1.0f;
    float m_fRTP = -1.0f;
    float m_fRRD = -1.0f;
    int m_iCommandRate = -1;  // clocks
};

class CAMP_Profile {
public:
    virtual ~CAMP_Profile() = default;

    float m_fCycleTime = -1.0f;
    int m_iClock = -1;
    float m_fAA = -1.0f;
    float m_fRP = -1.0f;
    float m_fRCD = -1.0f;
    float m_fRAS = -1.0f;
    float m_fRC = -1.0f;
    float m_fRFC = -1.0f;
};

// The layout byte of an EPP block, which tells the two profile classes apart.
enum EPPProfileType : int {
    EPP_PROFILE_ABBREVIATED = 0xA1,
    EPP_PROFILE_FULL = 0xB1,
};

// Readers test m_iType and treat the object as that subclass.
class CEPP_Profile {
public:
    explicit CEPP_Profile(int type) : m_iType(type) {}
    virtual ~CEPP_Profile() = default;
    CEPP_Profile(const CEPP_Profile&) = delete;
    CEPP_Profile& operator=(const CEPP_Profile&) = delete;

    int m_iType;  // EPPProfileType
};

class CEPP_AbbreviatedProfile : public CEPP_Profile {
public:
    CEPP_AbbreviatedProfile() : CEPP_Profile(EPP_PROFILE_ABBREVIATED) {}

    float m_fVoltage = 0.0f;
    int m_iCommandRate = 0;
    float m_fCycleTime = 0.0f;
    float m_fCASLatency = 0.0f;
    float m_fRCD = 0.0f;
    float m_fRP = 0.0f;
    float m_fRAS = 0.0f;
};

class CEPP_FullProfile : public CEPP_Profile {
public:
    CEPP_FullProfile() : CEPP_Profile(EPP_PROFILE_FULL) {}

    float m_fVoltage = 0.0f;
    int m_iCommandRate = 0;
    float m_fCycleTime = 0.0f;
    float m_fCASLatency = 0.0f;
    float m_fRCD = 0.0f;
    float m_fRP = 0.0f;
    float m_fRAS = 0.0f;
    float m_fRC = 0.0f;
};
