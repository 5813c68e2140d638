// The names of Haswell and Broadwell processors: by extended model and
// platform ID, then by the logical processors per package, turbo, the
// level-3 cache, the stock clock and the texts of the brand string
// (intel_shared_bodies_naming.h). Haswell ULT writes whole names.
#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_haswell.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"

namespace {

constexpr const char* kCoreI7 = "Intel Core i7";
constexpr const char* kCoreI5 = "Intel Core i5";
constexpr const char* kCoreI3 = "Intel Core i3";
constexpr const char* kCoreM = "Intel Core M";
constexpr const char* kXeonE3 = "Intel Xeon E3";
constexpr const char* kXeonE5 = "Intel Xeon E5";
constexpr const char* kPentium = "Intel Pentium";
constexpr const char* kCeleron = "Intel Celeron";
constexpr const char* kBroadwellPreset = "Intel Core i3/i5/i7 5xxx";
enum Brand : int8_t {
    kI7 = 1, kI7Extreme = 2, kXeon = 3, kI3 = 4, kI5 = 5, kPentiumBrand = 7, kCeleronBrand = 8, kCoreMBrand = 9
};

constexpr uint32_t kDesktop = PlatformIds({1});
constexpr uint32_t kMobile = PlatformIds({4});

// ---- 0x3C: Haswell ----

constexpr NameChoice kXeonE3Parts[] = {
    {.mhz = 1100, .suffix = " 1220L"},
    {.mhz = 1800, .suffix = " 1230L"},
    {.mhz = 2000, .suffix = " 1240L"},
    {.mhz = 2300, .suffix = " 1268L"},
    {.mhz = 2500, .suffix = " 1265L"},
    {.mhz = 3100, .suffix = " 1285L", .contains = "1285L"},
    {.mhz = 3100, .suffix = " 1220"},
    {.mhz = 3200, .suffix = " 1225"},
    {.mhz = 3300, .suffix = " 1230", .contains = "1230"},
    {.mhz = 3300, .suffix = " 1226", .contains = "1226"},
    {.mhz = 3400, .suffix = " 1245", .contains = "1245"},
    {.mhz = 3400, .suffix = " 1240", .contains = "1240"},
    {.mhz = 3400, .suffix = " 1231", .contains = "1231"},
    {.mhz = 3500, .suffix = " 1275", .contains = "1275"},
    {.mhz = 3500, .suffix = " 1270", .contains = "1270"},
    {.mhz = 3500, .suffix = " 1241", .contains = "1241"},
    {.mhz = 3500, .suffix = " 1246", .contains = "1246"},
    {.mhz = 3600, .suffix = " 1285", .contains = "1285"},
    {.mhz = 3600, .suffix = " 1280", .contains = "1280"},
    {.mhz = 3600, .suffix = " 1271", .contains = "1271"},
    {.mhz = 3600, .suffix = " 1276", .contains = "1276"},
    {.mhz = 3700, .suffix = " 1286", .contains = "1286"},
    {.mhz = 3700, .suffix = " 1281", .contains = "1281"},
};

constexpr NameChoice kDesktopI7[] = {
    {.mhz = 2000, .suffix = " 4765T"},
    {.mhz = 2200, .suffix = " 4785T"},
    {.mhz = 2500, .suffix = " 4770T"},
    {.mhz = 2900, .suffix = " 4790T"},
    {.mhz = 3100, .suffix = " 4770S"},
    {.mhz = 3400, .suffix = " 4770"},
    {.mhz = 3500, .suffix = " 4771", .contains = "4771"},
    {.mhz = 3500, .suffix = " 4770K"},
    {.mhz = 3600, .suffix = " 4790"},
    {.mhz = 4000, .suffix = " 4790K"},
};

constexpr NameChoice kDesktopI5[] = {
    {.mhz = 1900, .suffix = " 4460T"},
    {.mhz = 2000, .suffix = " 4590T"},
    {.mhz = 2300, .suffix = " 4670T"},
    {.mhz = 2500, .suffix = " 4690T"},
    {.mhz = 2700, .suffix = " 4430S"},
    {.mhz = 2800, .suffix = " 4440S"},
    {.mhz = 2900, .suffix = " 4570S", .contains = "4570S"},
    {.mhz = 2900, .suffix = " 4570T", .contains = "4570T"},
    {.mhz = 2900, .suffix = " 4460S", .contains = "4460S"},
    {.mhz = 3000, .suffix = " 4430", .contains = "4430"},
    {.mhz = 3000, .suffix = " 4590S", .contains = "4590S"},
    {.mhz = 3100, .suffix = " 4440", .contains = "4440"},
    {.mhz = 3100, .suffix = " 4670S"},
    {.mhz = 3200, .suffix = " 4460", .contains = "4460"},
    {.mhz = 3200, .suffix = " 4570", .contains = "4570"},
    {.mhz = 3200, .suffix = " 4690S", .contains = "4690S"},
    {.mhz = 3300, .suffix = " 4590"},
    {.mhz = 3400, .suffix = " 4670K", .contains = "4670K"},
    {.mhz = 3400, .suffix = " 4670"},
    {.mhz = 3500, .suffix = " 4690K", .contains = "4690K"},
    {.mhz = 3500, .suffix = " 4690"},
};

constexpr NameChoice kDesktopI3[] = {
    {.mhz = 2900, .suffix = " 4130T"},
    {.mhz = 3000, .suffix = " 4150T", .contains = "4150T"},
    {.mhz = 3000, .suffix = " 4330T"},
    {.mhz = 3100, .suffix = " 4350T"},
    {.mhz = 3400, .suffix = " 4130"},
    {.mhz = 3500, .suffix = " 4330", .contains = "4330"},
    {.mhz = 3500, .suffix = " 4150"},
    {.mhz = 3600, .suffix = " 4350", .contains = "4350"},
    {.mhz = 3600, .suffix = " 4340", .contains = "4340"},
    {.mhz = 3600, .suffix = " 4160"},
    {.mhz = 3700, .suffix = " 4360"},
    {.mhz = 3800, .suffix = " 4370"},
};

constexpr NameChoice kDesktopPentium[] = {
    {.mhz = 2700, .suffix = " G3240T"},
    {.mhz = 2800, .suffix = " G3440T"},
    {.mhz = 3000, .suffix = " G3220"},
    {.mhz = 3100, .suffix = " G3240"},
    {.mhz = 3200, .suffix = " G3258", .contains = "G3258"},
    {.mhz = 3200, .suffix = " G3250", .contains = "G3250"},
    {.mhz = 3200, .suffix = " G3420"},
    {.mhz = 3300, .suffix = " G3430"},
    {.mhz = 3400, .suffix = " G3450"},
    {.mhz = 3500, .suffix = " G3460"},
};

constexpr NameChoice kDesktopCeleron[] = {
    {.mhz = 2400, .suffix = " G1820T"},
    {.mhz = 2500, .suffix = " G1840T"},
    {.mhz = 2700, .suffix = " G1820"},
    {.mhz = 2800, .suffix = " G1840", .contains = "G1840"},
    {.mhz = 2800, .suffix = " G1830"},
    {.mhz = 2900, .suffix = " G1850"},
};

constexpr NameChoice kMobileQuadI7[] = {
    {.mhz = 2400, .suffix = " 4700MQ"},
    {.mhz = 2700, .suffix = " 4800MQ"},
    {.mhz = 2800, .suffix = " 4900MQ"},
    {.mhz = 3000, .suffix = " 4930MX"},
};

constexpr NameChoice kMobileDual[] = {
    {.mhz = 1700, .suffix = " 4210U"},
    {.mhz = 2500, .suffix = " 4200M"},
    {.mhz = 2600, .suffix = " 4300M", .contains = "4300M"},
    {.mhz = 2600, .suffix = " 4210M"},
    {.mhz = 2900, .suffix = " 4600M", .name = kCoreI7, .subcode = kI7},
};

constexpr NameBranch kModel3C[] = {
    {.platformIds = kDesktop, .contains = "Xeon", .name = kXeonE3, .subcode = kXeon, .codename = "Haswell-WS",
     .tail = " v3", .choices = kXeonE3Parts},
    {.platformIds = kDesktop, .threads = 8, .name = kCoreI7, .subcode = kI7, .choices = kDesktopI7},
    {.platformIds = kDesktop, .threads = 4, .turbo = 1, .name = kCoreI5, .subcode = kI5, .choices = kDesktopI5},
    {.platformIds = kDesktop, .threads = 4, .name = kCoreI3, .subcode = kI3, .choices = kDesktopI3},
    {.platformIds = kDesktop, .threads = 2, .l3 = 3072, .name = kPentium, .subcode = kPentiumBrand,
     .choices = kDesktopPentium},
    {.platformIds = kDesktop, .threads = 2, .l3 = 2048, .name = kCeleron, .subcode = kCeleronBrand,
     .choices = kDesktopCeleron},
    {.platformIds = kMobile, .threads = 8, .name = kCoreI7, .subcode = kI7, .choices = kMobileQuadI7},
    {.platformIds = kMobile, .threads = 4, .name = kCoreI5, .subcode = kI5, .choices = kMobileDual},
};

// ---- 0x3D: Broadwell U and Y ----

constexpr NameChoice kCoreMParts[] = {
    {.mhz = 800, .suffix = " 5Y10c", .contains = "5Y10c"},
    {.mhz = 800, .suffix = " 5Y10a", .contains = "5Y10a"},
    {.mhz = 800, .suffix = " 5Y10"},
    {.mhz = 900, .suffix = " 5Y31"},
    {.mhz = 1100, .suffix = " 5Y51", .contains = "5Y51"},
    {.mhz = 1100, .suffix = " 5Y70", .contains = "5Y70"},
    {.mhz = 1200, .suffix = " 5Y71"},
};

constexpr NameBranch kModel3D[] = {
    {.platformIds = PlatformIds({7}), .name = kCoreM, .subcode = kCoreMBrand, .codename = "Broadwell-Y",
     .choices = kCoreMParts},
};

// ---- 0x3F: Haswell-E, -EP ----

constexpr NameChoice kHaswellEP[] = {
    {.mhz = 2300, .suffix = " 2699", .threads = 36},
    {.mhz = 2300, .suffix = " 2698", .threads = 32},
};
constexpr NameChoice kHaswellEExtreme[] = {{.mhz = 3000, .suffix = " 5960X"}};
constexpr NameChoice kHaswellE[] = {{.mhz = 3300, .suffix = " 5820K"}, {.mhz = 3500, .suffix = " 5930K"}};

constexpr NameBranch kModel3F[] = {
    {.platformIds = PlatformIds({0}), .name = kXeonE5, .subcode = kXeon, .tail = " v3", .choices = kHaswellEP},
    {.platformIds = PlatformIds({2}), .threads = 16, .name = kCoreI7, .subcode = kI7Extreme,
     .choices = kHaswellEExtreme},
    {.platformIds = PlatformIds({2}), .threads = 12, .name = kCoreI7, .subcode = kI7, .choices = kHaswellE},
    {.platformIds = PlatformIds({2}), .name = kCoreI7, .subcode = kI7},
};

// ---- 0x45: Haswell ULT ----

constexpr NameChoice kUltParts[] = {
    {.mhz = 1300, .name = "Intel Core i5 4250U", .subcode = kI5},
    {.mhz = 1400, .name = "Intel Core i5 4350U", .subcode = kI5},
    {.mhz = 1600, .contains = "4300Y", .name = "Intel Core i5 4300Y", .subcode = kI5},
    {.mhz = 1600, .name = "Intel Core i5 4200U", .subcode = kI5},
    {.mhz = 1700, .contains = "4650U", .name = "Intel Core i7 4650U", .subcode = kI7},
    {.mhz = 1700, .contains = "4010U", .name = "Intel Core i3 4010U", .subcode = kI3},
    {.mhz = 1800, .contains = "4500U", .name = "Intel Core i7 4500U", .subcode = kI7},
    {.mhz = 1800, .contains = "4100U", .name = "Intel Core i3 4100U", .subcode = kI3},
    {.mhz = 2000, .contains = "4510U", .name = "Intel Core i7 4510U", .subcode = kI7},
    {.mhz = 2000, .contains = "4310U", .name = "Intel Core i5 4310U", .subcode = kI5},
    {.mhz = 2100, .name = "Intel Core i7 4600U", .subcode = kI7},
    {.mhz = 2800, .name = "Intel Core i7 4558U", .subcode = kI7},
};

constexpr NameChoice kUltCeleron[] = {
    {.mhz = 1100, .suffix = " 2961Y"},
    {.mhz = 1400, .suffix = " 2957U", .contains = "2957U"},
    {.mhz = 1400, .suffix = " 2955U"},
    {.mhz = 1600, .suffix = " 2981U", .contains = "2981U"},
    {.mhz = 1600, .suffix = " 2980U"},
};

constexpr NameChoice kUltPentium[] = {
    {.mhz = 1700, .suffix = " 3556U", .contains = "3556U"},
    {.mhz = 1700, .suffix = " 3558U"},
};

constexpr uint32_t kUlt = PlatformIds({6});

constexpr NameBranch kModel45[] = {
    {.platformIds = kUlt, .threadsOtherThan = 2, .choices = kUltParts},
    {.platformIds = kUlt, .threads = 2, .contains = "Celeron", .name = kCeleron, .subcode = kCeleronBrand,
     .choices = kUltCeleron},
    {.platformIds = kUlt, .threads = 2, .contains = "Pentium", .name = kPentium, .subcode = kPentiumBrand,
     .choices = kUltPentium},
};

// ---- 0x46: Crystal Well ----

constexpr NameChoice kCrystalWellI7[] = {
    {.mhz = 2000, .suffix = " 4750HQ"},
    {.mhz = 2200, .suffix = " 4702HQ"},
    {.mhz = 2300, .suffix = " 4850HQ"},
    {.mhz = 2400, .suffix = " 4950HQ", .contains = "4950HQ"},
    {.mhz = 2400, .suffix = " 4722HQ", .contains = "4722HQ"},
    {.mhz = 2400, .suffix = " 4700HQ", .contains = "4700HQ"},
    {.mhz = 2500, .suffix = " 4710HQ"},
    {.mhz = 2600, .suffix = " 4720HQ"},
    {.mhz = 3200, .suffix = " 4770R"},
};
constexpr NameChoice kCrystalWellI5[] = {{.mhz = 2700, .suffix = " 4570R"}};

constexpr NameBranch kModel46[] = {
    {.platformIds = PlatformIds({5}), .threads = 8, .name = kCoreI7, .subcode = kI7, .choices = kCrystalWellI7},
    {.platformIds = PlatformIds({5}), .threads = 4, .name = kCoreI5, .subcode = kI5, .choices = kCrystalWellI5},
};

// ---- The models ----

constexpr PlatformName kPlatforms3D[] = {{6, "Broadwell-U"}, {7, "Broadwell-Y"}};

constexpr SteppingName kSteppings3C[] = {{2, "B0"}, {3, "C0"}, {4, "C1"}};
constexpr SteppingName kSteppings3D[] = {{2, "C0"}, {3, "D0"}, {4, "E0/F0"}};
constexpr SteppingName kSteppings3F[] = {{2, "M0"}};
constexpr SteppingName kSteppings45[] = {{1, "C0"}};
constexpr SteppingName kSteppings46[] = {{0, "B0"}, {1, "C1"}};

constexpr ModelRow kModels[] = {
    {.extModel = 0x3C, .technology = 0.022f, .codename = "Haswell", .steppings = kSteppings3C, .branches = kModel3C},
    {.extModel = 0x3D, .technology = 0.014f, .name = kBroadwellPreset, .codename = "Broadwell U/ULT",
     .platforms = kPlatforms3D, .steppings = kSteppings3D, .branches = kModel3D},
    {.extModel = 0x3F, .technology = 0.022f, .codename = "Haswell-E/EP", .steppings = kSteppings3F,
     .branches = kModel3F},
    {.extModel = 0x45, .technology = 0.022f, .codename = "Haswell ULT", .steppings = kSteppings45,
     .branches = kModel45},
    {.extModel = 0x46, .technology = 0.022f, .codename = "Crystal Well", .steppings = kSteppings46,
     .branches = kModel46},
    {.extModel = 0x47, .technology = 0.014f, .name = kBroadwellPreset, .codename = "Broadwell"},
};

} // namespace

int Intel_Haswell_Infos::Identify(CCPUThread* thread) {
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "Intel Core i3/i5/i7 4xxx");
    FormatString(thread->m_szCodename, sizeof thread->m_szCodename, "%s", "Haswell");
    thread->m_dwClassCode = kIntelHaswellClass;
    const ModelRow* row = FindModelRow(kModels, thread->m_iExtModel);
    if (!row) return 1;
    NameKeys keys = ThreadNameKeys(thread);
    keys.turbo = m_Ratios.turbo.supported;
    ApplyModelRow(thread, *row, keys, kIntelHaswellClass);
    return 1;
}
