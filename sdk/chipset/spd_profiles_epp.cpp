// Enhanced Performance Profiles of DDR2 modules: the EPP 1.0 block (bytes
// 99-127) with four abbreviated or two full profiles, and the EPP 2.0
// marker, whose profiles are not decoded. The signature is looked for on
// every module type.
#include "sdk/chipset/module_info_profiles.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"

namespace {

constexpr int kFirstProfile = 104;
constexpr int kAbbreviatedSize = 6;
constexpr int kAbbreviatedCount = 4;
constexpr int kFullSize = 12;
constexpr int kFullCount = 2;

float LatencyOfCode(uint8_t code) {
    switch (code) {
    case 0x04: return 2.0f;
    case 0x08: return 3.0f;
    case 0x10: return 4.0f;
    case 0x20: return 5.0f;
    case 0x40: return 6.0f;
    default: return 0.0f;
    }
}

// Voltage and command rate of a profile's first byte.
template <typename Profile>
void DecodeVoltageByte(Profile& profile, uint8_t value) {
    profile.m_fVoltage = static_cast<float>(value & 0x7F) * 0.025f + 1.8f;
    profile.m_iCommandRate = (value >> 7) + 1;
}

// tRCD, tRP and tRAS, each only when its byte holds a time.
template <typename Profile>
void DecodeRowTimes(Profile& profile, uint8_t rcd, uint8_t rp, uint8_t ras) {
    if (rcd >> 2) profile.m_fRCD = spd::QuarterNanoseconds(rcd);
    if (rp >> 2) profile.m_fRP = spd::QuarterNanoseconds(rp);
    if (ras) profile.m_fRAS = ras;
}

void AddProfile(CModuleInfo& r, CEPP_Profile* profile) {
    r.m_pEPPProfiles->AddTail(profile);
    ++r.m_iEPPProfiles;
}

void DecodeAbbreviatedProfiles(CModuleInfo& r, const spd::SPDBytes& b) {
    for (int i = 0; i < kAbbreviatedCount; ++i) {
        if (!(b[103] & (0x10 << i))) continue;
        const int base = kFirstProfile + kAbbreviatedSize * i;
        auto* profile = new CEPP_AbbreviatedProfile;
        DecodeVoltageByte(*profile, b[base]);
        profile->m_fCycleTime = spd::NibbleCycleTime(b[base + 1]);
        profile->m_fCASLatency = LatencyOfCode(b[base + 2]);
        DecodeRowTimes(*profile, b[base + 3], b[base + 4], b[base + 5]);
        AddProfile(r, profile);
    }
}

void DecodeFullProfiles(CModuleInfo& r, const spd::SPDBytes& b) {
    for (int i = 0; i < kFullCount; ++i) {
        if (!(b[103] & (0x10 << i))) continue;
        const int base = kFirstProfile + kFullSize * i;
        auto* profile = new CEPP_FullProfile;
        DecodeVoltageByte(*profile, b[base]);
        profile->m_fCycleTime = spd::NibbleCycleTime(b[base + 5]);
        profile->m_fCASLatency = LatencyOfCode(b[base + 6]);
        DecodeRowTimes(*profile, b[base + 7], b[base + 8], b[base + 9]);
        profile->m_fRC = b[base + 11];
        AddProfile(r, profile);
    }
}

void DeleteEPPProfiles(CModuleInfo& r) {
    if (r.m_pEPPProfiles) {
        r.m_pEPPProfiles->DeleteAll();
        delete r.m_pEPPProfiles;
    }
    r.m_pEPPProfiles = nullptr;
    r.m_iEPPProfiles = 0;
}

} // namespace

void CSPDInterface::DecodeEPP(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    // Any one of the three signature bytes counts.
    if (b[99] != 'm' && b[100] != 'V' && b[101] != 'N') return;
    r.m_bEPP = 1;
    DeleteEPPProfiles(r);
    r.m_pEPPProfiles = new CTList<CEPP_Profile>;
    switch (b[102]) {
    case EPP_PROFILE_ABBREVIATED: DecodeAbbreviatedProfiles(r, b); break;
    case EPP_PROFILE_FULL: DecodeFullProfiles(r, b); break;
    default: break;
    }
}

// EPP 2.0 profiles are not decoded: the marker replaces what the EPP 1.0
// decoding found by an empty list.
void CSPDInterface::DecodeEPP2(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    if ((b[150] & 0xFC) != 0x9C) return;
    r.m_bEPP2 = 1;
    DeleteEPPProfiles(r);
    r.m_pEPPProfiles = new CTList<CEPP_Profile>;
}
