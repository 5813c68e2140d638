// Extreme Memory Profiles: the XMP 1.x block of DDR3 modules (bytes
// 176-254, two profiles in their own medium time bases) and the XMP 2.0
// block of DDR4 modules (bytes 384-489, two profiles in 0.125 ns units).
// A profile without a usable cycle time is dropped; a time base whose
// divisor is 0 leaves every time measured in it unknown.
#include "sdk/chipset/module_info_profiles.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"

namespace {

constexpr uint8_t kXMPSignature0 = 0x0C;
constexpr uint8_t kXMPSignature1 = 0x4A;
constexpr int kDDR3Block = 176;
constexpr int kDDR3ProfileBase = 185;
constexpr int kDDR3ProfileSize = 35;
constexpr int kDDR4Block = 384;
constexpr int kDDR4ProfileBase = 393;
constexpr int kDDR4ProfileSize = 47;
constexpr int kDDR4MinimumLength = 490;
constexpr float kDDR4MTB = 0.125f;
constexpr float kDDR4FTB = 0.001f;

float Ratio(uint8_t dividend, uint8_t divisor) {
    return divisor ? static_cast<float>(dividend) / static_cast<float>(divisor) : -1.0f;
}

// Keeps a profile with a clock, drops one without.
void KeepIfClocked(CModuleInfo& r, CXMP_Profile* profile) {
    if (profile->m_iClock > 0) {
        r.m_pXMPProfiles->AddTail(profile);
        ++r.m_iXMPProfiles;
    } else {
        delete profile;
    }
}

// One DDR3 profile at `base` in medium time base `mtb` (unusable: -1),
// with fine corrections in `ftb` (0: none).
CXMP_Profile* DecodeDDR3Profile(const CModuleInfo& r, const spd::SPDBytes& b, int base, float mtb, float ftb) {
    auto at = [&](int offset) { return b[base + offset]; };
    auto time = [&](int units, int fineOffset) {
        if (mtb <= 0.0f) return -1.0f;
        const float fine = fineOffset ? static_cast<float>(b.Signed(base + fineOffset)) * ftb : 0.0f;
        return static_cast<float>(units) * mtb + fine;
    };
    auto* profile = new CXMP_Profile;
    profile->m_fVoltage = static_cast<float>((at(0) >> 5) & 3) + static_cast<float>(at(0) & 0x1F) * 0.05f;
    if (at(1)) {
        const float tCK = time(at(1), 26);
        if (spd::IsUsableTime(tCK)) {
            profile->m_fCycleTime = tCK;
            const float f = 1000.0f / tCK;
            profile->m_iClock = static_cast<int>(f);
            FormatString(profile->m_szSpeed, sizeof profile->m_szSpeed, "PC3-%d", 100 * RoundToInt(16.0f * f / 100.0f));
        }
    }
    profile->m_fAA = time(at(2), 27);
    // The letter of the module's own JEDEC clock.
    spd::AppendSpeedBinLetter(profile->m_szSpeed, sizeof profile->m_szSpeed, r.m_iClock, at(2));
    spd::AppendCASLatencies(profile->m_pCASTables, at(3), 8, 4);
    spd::AppendCASLatencies(profile->m_pCASTables, at(4), 7, 12);
    spd::SetCASFrequencies(profile->m_pCASTables, profile->m_fAA, static_cast<float>(profile->m_iClock));

    profile->m_fRP = time(at(6), 28);
    profile->m_fRCD = time(at(7), 29);
    profile->m_fWR = time(at(8), 0);
    profile->m_fRAS = time((at(9) & 0x0F) << 8 | at(10), 0);
    profile->m_fRC = time((at(9) >> 4) << 8 | at(11), 30);
    profile->m_fRFC = time(at(15) << 8 | at(14), 0);
    profile->m_fRTP = time(at(16), 0);
    profile->m_fRRD = time(at(17), 0);
    if (mtb > 0.0f) profile->m_iCommandRate = static_cast<int>(static_cast<float>(at(23)) * mtb);
    return profile;
}

CXMP_Profile* DecodeDDR4Profile(const spd::SPDBytes& b, int base) {
    auto at = [&](int offset) { return b[base + offset]; };
    auto time = [&](int units, int fineOffset) {
        return static_cast<float>(units) * kDDR4MTB + static_cast<float>(b.Signed(base + fineOffset)) * kDDR4FTB;
    };
    auto* profile = new CXMP_Profile;
    profile->m_fVoltage = static_cast<float>(at(0) >> 7) + static_cast<float>(at(0) & 0x7F) * 0.01f;
    const float tCK = time(at(3), 38);
    if (spd::IsUsableTime(tCK)) {
        profile->m_fCycleTime = tCK;
        profile->m_iClock = static_cast<int>(1000.0f / tCK);
        FormatString(profile->m_szSpeed, sizeof profile->m_szSpeed, "DDR4-%d",
                     static_cast<int>(2.0f * static_cast<float>(profile->m_iClock) + 0.5f));
    }
    profile->m_fAA = time(at(8), 37);
    spd::AppendCASLatencies(profile->m_pCASTables, at(4), 8, 7);
    spd::AppendCASLatencies(profile->m_pCASTables, at(5), 8, 15);
    spd::AppendCASLatencies(profile->m_pCASTables, at(6), 2, 23);
    spd::SetCASFrequencies(profile->m_pCASTables, profile->m_fAA, static_cast<float>(profile->m_iClock));

    profile->m_fRCD = time(at(9), 36);
    profile->m_fRP = time(at(10), 35);
    profile->m_fRAS = static_cast<float>((at(11) & 0x0F) << 8 | at(12)) * kDDR4MTB;
    profile->m_fRC = static_cast<float>((at(11) >> 4) << 8 | at(13)) * kDDR4MTB +
                     static_cast<float>(b.Signed(base + 34)) * kDDR4FTB;
    profile->m_fRRD = time(at(22), 33);
    return profile;
}

} // namespace

void CSPDInterface::DecodeXMP(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    if (b[kDDR3Block] != kXMPSignature0 || b[kDDR3Block + 1] != kXMPSignature1) return;
    r.m_bXMP = 1;
    if (!r.m_pXMPProfiles) r.m_pXMPProfiles = new CTList<CXMP_Profile>;
    r.m_byXMPRevision = b[179];

    const uint8_t ftbByte = b[184];
    const float ftb = r.m_byXMPRevision > 0x12 && (ftbByte & 0x0F)
                          ? static_cast<float>(ftbByte >> 4) * 0.001f / static_cast<float>(ftbByte & 0x0F)
                          : 0.0f;
    const float mtb1 = Ratio(b[180], b[181]);
    const float mtb2 = Ratio(b[182], b[183]);
    const float secondMTB = r.m_byXMPRevision >= 0x11 && mtb2 > 0.0f ? mtb2 : mtb1;
    KeepIfClocked(r, DecodeDDR3Profile(r, b, kDDR3ProfileBase, mtb1, ftb));
    KeepIfClocked(r, DecodeDDR3Profile(r, b, kDDR3ProfileBase + kDDR3ProfileSize, secondMTB, ftb));
}

void CSPDInterface::DecodeXMP4(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    if (b.Length() < kDDR4MinimumLength || b[kDDR4Block] != kXMPSignature0 || b[kDDR4Block + 1] != kXMPSignature1)
        return;
    r.m_bXMP = 1;
    if (!r.m_pXMPProfiles) r.m_pXMPProfiles = new CTList<CXMP_Profile>;
    r.m_byXMPRevision = b[387];
    for (int i = 0; i < 2; ++i) KeepIfClocked(r, DecodeDDR4Profile(b, kDDR4ProfileBase + kDDR4ProfileSize * i));
}
