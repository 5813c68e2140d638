// The AMD Memory Profile of DDR3 modules: one profile at bytes 80-100 in
// the module's own JEDEC time bases (bytes 9-11). A medium time base whose
// divisor is 0 leaves the profile's times unknown; a fine time base whose
// divisor is 0 leaves the times without fine correction.
#include "sdk/chipset/module_info_profiles.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"

namespace {

constexpr uint8_t kAMPSignature = 0xC8;

} // namespace

void CSPDInterface::DecodeAMP(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    if (b[80] != kAMPSignature) return;
    r.m_bAMP = 1;
    r.m_byAMPVersion = b[80];
    r.m_iAMPProfiles = 1;
    if (r.m_pAMPProfiles) r.m_pAMPProfiles->DeleteAll();
    else r.m_pAMPProfiles = new CTList<CAMP_Profile>;
    auto* profile = new CAMP_Profile;
    r.m_pAMPProfiles->AddTail(profile);

    const float ftb = (b[9] & 0x0F) ? static_cast<float>(b[9] >> 4) * 0.001f / static_cast<float>(b[9] & 0x0F) : 0.0f;
    if (!b[11]) return;
    const float mtb = static_cast<float>(b[10]) / static_cast<float>(b[11]);
    auto time = [&](int units, int fineByte) {
        return static_cast<float>(units) * mtb + (fineByte ? static_cast<float>(b.Signed(fineByte)) * ftb : 0.0f);
    };
    if (b[82]) {
        const float tCK = time(b[82], 83);
        if (spd::IsUsableTime(tCK)) {
            profile->m_fCycleTime = tCK;
            profile->m_iClock = static_cast<int>(1000.0f / tCK);
        }
    }
    profile->m_fAA = time(b[86], 87);
    profile->m_fRCD = time(b[88], 89);
    profile->m_fRP = time(b[90], 91);
    profile->m_fRAS = time((b[92] & 0x0F) << 8 | b[93], 0);
    profile->m_fRC = time((b[92] >> 4) << 8 | b[94], 95);
    profile->m_fRFC = time(b[100] << 8 | b[99], 0);
}
