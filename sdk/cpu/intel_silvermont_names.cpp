// Identify of the Silvermont description: Avoton and Braswell by model,
// Bay Trail by core count, brand and stock clock.
#include <cstring>
#include <span>

#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_atom_shared.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"
#include "sdk/cpu/intel_silvermont.h"

namespace {

enum SilvermontBrand : uint32_t {
    kBrandAtom = 0x01,
    kBrandCeleron = 0x02,
    kBrandPentium = 0x03,
};

constexpr const char* kBayTrailM = "Bay Trail-M";
constexpr const char* kBayTrailD = "Bay Trail-D";
constexpr const char* kBayTrailCR = "Bay Trail-CR";

constexpr AtomModelNumber kAvoton[] = {
    {.mhz = 1700, .suffix = " C2350", .cores = 2}, {.mhz = 1700, .suffix = " C2530", .cores = 4},
    {.mhz = 2400, .suffix = " C2550", .cores = 4}, {.mhz = 1700, .suffix = " C2730", .cores = 8},
    {.mhz = 2400, .suffix = " C2750", .cores = 8},
};

// Within one clock the first entry that matches wins; an entry without a
// text is what remains.
constexpr AtomModelNumber kBayTrailAtom[] = {
    {.mhz = 1333, .suffix = " Z3735D", .contains = "Z3735D"},
    {.mhz = 1333, .suffix = " Z3735E", .contains = "Z3735E"},
    {.mhz = 1333, .suffix = " Z3735F", .contains = "Z3735F", .codename = kBayTrailCR},
    {.mhz = 1333, .suffix = " Z3735G", .contains = "Z3735G", .codename = kBayTrailCR},
    {.mhz = 1333, .suffix = " Z3736F", .contains = "Z3736F", .codename = kBayTrailCR},
    {.mhz = 1333, .suffix = " Z3736G", .contains = "Z3736G", .codename = kBayTrailCR},
    {.mhz = 1333, .suffix = " Z3740D", .contains = "Z3740D"},
    {.mhz = 1333, .suffix = " Z3745D", .contains = "Z3745D"},
    {.mhz = 1333, .suffix = " Z3740", .contains = "Z3740"},
    {.mhz = 1333, .suffix = " Z3745", .contains = "Z3745"},
    {.mhz = 1333, .suffix = " Z3740"},
    {.mhz = 1466, .suffix = " Z3775", .contains = "Z3775"},
    {.mhz = 1466, .suffix = " Z3770"},
    {.mhz = 1500, .suffix = " Z3785", .contains = "Z3785"},
    {.mhz = 1500, .suffix = " Z3775D", .contains = "Z3775D"},
    {.mhz = 1500, .suffix = " Z3770D", .contains = "Z3770D"},
    {.mhz = 1500, .suffix = " Z3785"},
    {.mhz = 1600, .suffix = " Z3795"},
};
constexpr AtomModelNumber kBayTrailCeleron4[] = {
    {.mhz = 1600, .suffix = " N2910", .codename = kBayTrailM},
    {.mhz = 1833, .suffix = " N2940", .contains = "N2940", .codename = kBayTrailM},
    {.mhz = 1833, .suffix = " N2930", .contains = "N2930", .codename = kBayTrailM},
    {.mhz = 1833, .codename = kBayTrailM},
    {.mhz = 1866, .suffix = " N2920", .codename = kBayTrailM},
    {.mhz = 2000, .suffix = " J1900", .turbo = 1, .codename = kBayTrailD},
    {.mhz = 2000, .suffix = " J1850", .codename = kBayTrailD},
};
constexpr AtomModelNumber kBayTrailPentium4[] = {
    {.mhz = 2000, .suffix = " N3510", .codename = kBayTrailM},
    {.mhz = 2166, .suffix = " N3540", .contains = "N3540", .codename = kBayTrailM},
    {.mhz = 2166, .suffix = " N3530", .contains = "N3530", .codename = kBayTrailM},
    {.mhz = 2166, .suffix = " N3520", .contains = "N3520", .codename = kBayTrailM},
    {.mhz = 2166, .codename = kBayTrailM},
    {.mhz = 2400, .suffix = " J2850", .codename = kBayTrailD},
};
constexpr AtomModelNumber kBayTrailCeleron2[] = {
    {.mhz = 1466, .suffix = " N2805", .codename = kBayTrailM},
    {.mhz = 2000, .suffix = " N2810", .codename = kBayTrailM},
    {.mhz = 2133, .suffix = " N2820", .codename = kBayTrailM},
    {.mhz = 2166, .suffix = " N2840", .contains = "N2840", .codename = kBayTrailM},
    {.mhz = 2166, .suffix = " N2830", .contains = "N2830", .codename = kBayTrailM},
    {.mhz = 2166, .codename = kBayTrailM},
    {.mhz = 2416, .suffix = " J1800", .turbo = 1, .codename = kBayTrailD},
    {.mhz = 2416, .suffix = " J1750", .codename = kBayTrailD},
};

// One brand of Bay Trail: its core count, the text of the brand string
// that names it (null: any), and what it is called.
struct BayTrailBrand {
    int32_t cores;
    const char* contains;
    const char* name;
    uint32_t brand;
    const char* codename;  // before the model number's; null keeps "Silvermont"
    std::span<const AtomModelNumber> numbers;
};
constexpr BayTrailBrand kBayTrail[] = {
    {4, "Atom", "Intel Atom", kBrandAtom, "Bay Trail-T", kBayTrailAtom},
    {4, "Celeron", "Intel Celeron", kBrandCeleron, nullptr, kBayTrailCeleron4},
    {4, "Pentium", "Intel Pentium", kBrandPentium, nullptr, kBayTrailPentium4},
    {2, nullptr, "Intel Celeron", kBrandCeleron, nullptr, kBayTrailCeleron2},
};

constexpr SteppingName kBayTrailSteppings[] = {{1, "B0/B1"}, {2, "B2"}, {3, "B3"}, {8, "C0"}};

bool Contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

void SetName(CCPUThread* thread, const char* name, const char* codename, float technology, uint32_t brand) {
    if (name) SetThreadText(thread->m_szName, name);
    SetThreadText(thread->m_szCodename, codename);
    thread->m_fTechnology = technology;
    thread->m_dwClassCode = kIntelSilvermontClass | brand;
}

} // namespace

int Intel_Silvermont_Infos::Identify(CCPUThread* thread) {
    SetThreadText(thread->m_szName, "Intel Silvermont");
    thread->m_dwClassCode = kIntelSilvermontClass;
    const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
    const AtomKeys keys{.stockClock = thread->m_iStockClock,
                        .cores = vendor ? vendor->m_iCoresPerPackage : -1,
                        .turbo = m_bTurboSupported,
                        .brand = thread->m_szBrandString};
    switch (thread->m_iExtModel) {
    case 0x4D:
        SetName(thread, "Intel Atom", "Avoton", 0.022f, kBrandAtom);
        ApplyAtomModelNumber(thread, kAvoton, keys);
        break;
    case 0x4C: SetName(thread, "Intel Atom", "Braswell", 0.014f, kBrandAtom); break;
    case 0x37:
        SetName(thread, nullptr, "Silvermont", 0.022f, 0);
        for (const BayTrailBrand& brand : kBayTrail) {
            if (brand.cores != keys.cores || (brand.contains && !Contains(keys.brand, brand.contains))) continue;
            SetName(thread, brand.name, brand.codename ? brand.codename : "Silvermont", 0.022f, brand.brand);
            ApplyAtomModelNumber(thread, brand.numbers, keys);
            break;
        }
        for (const SteppingName& stepping : kBayTrailSteppings)
            if (stepping.stepping == thread->m_iStepping) SetThreadText(thread->m_szCoreStepping, stepping.text);
        break;
    default: break;
    }
    return 1;
}
