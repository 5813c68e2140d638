// The family 16h names: Kabini and Kyoto by package type, brand string,
// core count and stock clock; the other models by codename.
#include <cstring>

#include "sdk/cpu/amd_jaguar.h"
#include "sdk/cpu/amd_naming.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

constexpr uint32_t kK16Class = 0x2080000;
constexpr int32_t kFamily16h = 0x16;

enum K16Subcode : uint32_t {
    kA6 = 0x01,
    kA4 = 0x02,
    kOpteronX = 0x05,
    kAthlon = 0x06,
    kSempron = 0x07,
};

bool Has(const CCPUThread* thread, const char* text) { return std::strstr(thread->m_szBrandString, text) != nullptr; }

void NameKabini(CCPUThread* thread, AMDNaming& naming, int32_t package) {
    naming.Technology(0.028f);
    const int32_t cores = thread->m_iCoresPerPackage, stock = thread->m_iStockClock;
    if (package == 0 && Has(thread, "Opteron")) {
        naming.Codename("Kyoto").Name("AMD Opteron X").Subcode(kOpteronX);
        if (Has(thread, "1150"))
            naming.Append("1150");
        else if (Has(thread, "2150"))
            naming.Append("2150");
    } else if (package == 0) {
        naming.Codename("Kabini").Name("AMD A4/A6");
        if (Has(thread, "5200"))
            naming.Name("AMD A6-5200").Subcode(kA6);
        else if (Has(thread, "5000"))
            naming.Name("AMD A4-5000").Subcode(kA4);
    } else if (package == 1) {
        naming.Codename("Kabini");
        if (cores == 2) {
            naming.Name("AMD Sempron").Subcode(kSempron);
            if (stock == 1450) naming.Name("AMD Sempron 2650");
        } else if (cores == 4) {
            if (stock == 1300) naming.Name("AMD Sempron 3850").Subcode(kSempron);
            if (stock == 1600) naming.Name("AMD Athlon 5150").Subcode(kAthlon);
            if (stock == 2050) naming.Name("AMD Athlon 5350").Subcode(kAthlon);
        }
    }
}

} // namespace

int AMD_K16_Infos::Identify(CCPUThread* thread) {
    AMDNaming naming(thread, kK16Class);
    naming.Name("AMD K16").ClassCode(kK16Class);
    if (thread->m_iExtFamily != kFamily16h) return 1;
    switch (thread->m_iExtModel) {
    case 0x00:
        NameKabini(thread, naming, m_iPackageType);
        naming.Stepping({{0, "KB-A0"}, {1, "KB-A1"}});
        break;
    case 0x02: naming.Codename("Temash").Stepping({{0, "TE-A0"}, {1, "TE-A1"}}); break;
    case 0x04: naming.Codename("Bhavani").CoreStepping("BV-Ax"); break;
    case 0x30: naming.Codename("Mullins").Stepping({{0, "ML-A0"}, {1, "ML-A1"}}); break;
    case 0x60: naming.Codename("Carrizo-L").Technology(0.028f).Stepping({{1, "NL-A1"}}); break;
    default: break;
    }
    return 1;
}
