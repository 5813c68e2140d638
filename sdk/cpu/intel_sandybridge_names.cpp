// The names of Sandy Bridge and Ivy Bridge processors: by extended model and
// platform ID, then by the logical processors per package, turbo and the
// maximum turbo ratio, the level-3 cache, the texts of the brand string,
// the stock clock and the TDP (intel_shared_bodies_naming.h). Where one
// alternative's keys include another's (a model number in the text and the
// same TDP), the narrower comes first, or it could never be chosen.
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_sandybridge.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr const char* kCoreI7 = "Intel Core i7";
constexpr const char* kCoreI7Extreme = "Intel Core i7 Extreme";
constexpr const char* kCoreI5 = "Intel Core i5";
constexpr const char* kCoreI3 = "Intel Core i3";
constexpr const char* kXeonE3 = "Intel Xeon E3";
constexpr const char* kXeonE5 = "Intel Xeon E5";
constexpr const char* kPentium = "Intel Pentium";
constexpr const char* kCeleron = "Intel Celeron";
enum Brand : int8_t { kI7 = 1, kI7Extreme = 2, kXeon = 3, kI3 = 4, kI5 = 5, kPentiumBrand = 7, kCeleronBrand = 8 };

constexpr uint32_t kDesktop = PlatformIds({1});
constexpr uint32_t kMobile = PlatformIds({4});

// ---- 0x2A: Sandy Bridge ----

constexpr NameChoice kSandyXeonE3[] = {
    {.mhz = 2200, .suffix = " 1220L"},
    {.mhz = 2400, .suffix = " 1260L"},
    {.mhz = 3100, .suffix = " 1225", .contains = "1225"},
    {.mhz = 3100, .suffix = " 1220"},
    {.mhz = 3200, .suffix = " 1235", .contains = "1235"},
    {.mhz = 3200, .suffix = " 1230"},
    {.mhz = 3300, .suffix = " 1245", .contains = "1245"},
    {.mhz = 3300, .suffix = " 1240"},
    {.mhz = 3400, .suffix = " 1275", .contains = "1275"},
    {.mhz = 3400, .suffix = " 1270"},
    {.mhz = 3500, .suffix = " 1280"},
    {.mhz = 3600, .suffix = " 1290"},
};

constexpr NameChoice kSandyDesktopI7[] = {
    {.mhz = 2800, .suffix = " 2600S", .tdp = 65},
    {.mhz = 3400, .suffix = " 2600K", .contains = "2600K"},
    {.mhz = 3400, .suffix = " 2600"},
    {.mhz = 3500, .suffix = " 2700K", .contains = "2700K"},
    {.mhz = 3500, .suffix = " 2700"},
};

constexpr NameChoice kSandyDesktopI5[] = {
    {.mhz = 2300, .suffix = " 2500T", .tdp = 45},
    {.mhz = 2500, .suffix = " 2405S", .contains = "2405", .tdp = 65},
    {.mhz = 2500, .suffix = " 2400S", .tdp = 65},
    {.mhz = 2700, .suffix = " 2500S", .tdp = 65},
    {.mhz = 2800, .suffix = " 2300"},
    {.mhz = 3000, .suffix = " 2320"},
    {.mhz = 3100, .suffix = " 2380P", .contains = "2380P"},
    {.mhz = 3100, .suffix = " 2400"},
    {.mhz = 3200, .suffix = " 2450P"},
    {.mhz = 3300, .suffix = " 2500K", .contains = "2500K"},
    {.mhz = 3300, .suffix = " 2500"},
    {.mhz = 3400, .suffix = " 2550K"},
};

constexpr NameChoice kSandyDesktopDualI5[] = {{.mhz = 2700, .suffix = " 2390T", .tdp = 35}};

constexpr NameChoice kSandyDesktopI3[] = {
    {.mhz = 2500, .suffix = " 2100T", .tdp = 35},
    {.mhz = 3100, .suffix = " 2105", .contains = "2105"},
    {.mhz = 3100, .suffix = " 2100"},
    {.mhz = 3300, .suffix = " 2125", .contains = "2125"},
    {.mhz = 3300, .suffix = " 2120"},
    {.mhz = 3400, .suffix = " 2130"},
};

constexpr NameChoice kSandyDesktopPentium[] = {
    {.mhz = 2200, .suffix = " G620T"}, {.mhz = 2500, .suffix = " G645T"},
    {.mhz = 2600, .suffix = " G620"},  {.mhz = 2700, .suffix = " G630"},
    {.mhz = 2800, .suffix = " G840", .contains = "G840"}, {.mhz = 2800, .suffix = " G640"},
    {.mhz = 2900, .suffix = " G850", .contains = "G850"}, {.mhz = 2900, .suffix = " G645"},
    {.mhz = 3000, .suffix = " G860"},
};

constexpr NameChoice kSandyCeleronG440[] = {{.mhz = 1600, .suffix = " G440"}};

constexpr NameChoice kSandyDesktopCeleron[] = {
    {.mhz = 2000, .suffix = " G530T"}, {.mhz = 2100, .suffix = " G540T"}, {.mhz = 2400, .suffix = " G530"},
    {.mhz = 2500, .suffix = " G540"},  {.mhz = 2600, .suffix = " G550"},
};

constexpr NameChoice kSandyPentiumB[] = {
    {.mhz = 2000, .suffix = " B940"}, {.mhz = 2100, .suffix = " B950"}, {.mhz = 2200, .suffix = " B960"},
    {.mhz = 2300, .suffix = " B970"}, {.mhz = 2400, .suffix = " B980"},
};

constexpr NameChoice kSandyMobileQuadI7[] = {
    {.mhz = 2000, .suffix = " 2630QM"},
    {.mhz = 2200, .suffix = " 2720QM", .contains = "2720"},
    {.mhz = 2200, .suffix = " 2670QM"},
    {.mhz = 2300, .suffix = " 2820QM"},
    {.mhz = 2400, .suffix = " 2760QM"},
    {.mhz = 2500, .suffix = " 2920XM", .contains = "2920XM", .name = kCoreI7Extreme, .subcode = kI7Extreme},
    {.mhz = 2500, .suffix = " 2860QM"},
    {.mhz = 2700, .suffix = " 2960XM", .contains = "2960XM", .name = kCoreI7Extreme, .subcode = kI7Extreme},
    {.mhz = 2700, .suffix = " 2960QM"},
};

constexpr NameChoice kSandyMobileI5[] = {
    {.mhz = 1400, .suffix = " 2537M"},
    {.mhz = 1600, .suffix = " 2467M"},
    {.mhz = 1700, .suffix = " 2557M"},
    {.mhz = 2300, .suffix = " 2410M"},
    {.mhz = 2400, .suffix = " 2435M", .contains = "2435M"},
    {.mhz = 2400, .suffix = " 2430M"},
    {.mhz = 2500, .suffix = " 2520M", .contains = "2520M"},
    {.mhz = 2500, .suffix = " 2515E", .contains = "2515E"},
    {.mhz = 2500, .suffix = " 2510E", .contains = "2510E"},
    {.mhz = 2500, .suffix = " 2450M"},
    {.mhz = 2600, .suffix = " 2540M"},
};

constexpr NameChoice kSandyMobileDualI7[] = {
    {.mhz = 1500, .suffix = " 2617M", .turboRatio = 26},
    {.mhz = 1500, .suffix = " 2610UE", .turboRatio = 24},
    {.mhz = 1600, .suffix = " 2657M"},
    {.mhz = 1800, .suffix = " 2677M"},
    {.mhz = 2500, .suffix = " 2520M"},
    {.mhz = 2600, .suffix = " 2540M"},
    {.mhz = 2700, .suffix = " 2620M"},
};

constexpr NameChoice kSandyMobileI3[] = {
    {.mhz = 1300, .suffix = " 2357M", .contains = "2357"},
    {.mhz = 1300, .suffix = " 2340UE"},
    {.mhz = 1400, .suffix = " 2367M"},
    {.mhz = 2100, .suffix = " 2312M", .contains = "2312"},
    {.mhz = 2100, .suffix = " 2310E", .contains = "2310E"},
    {.mhz = 2100, .suffix = " 2310M"},
    {.mhz = 2200, .suffix = " 2330E", .contains = "2330E"},
    {.mhz = 2200, .suffix = " 2330M"},
    {.mhz = 2300, .suffix = " 2348M", .contains = "2348M"},
    {.mhz = 2300, .suffix = " 2350M"},
    {.mhz = 2400, .suffix = " 2370M"},
};

constexpr NameChoice kSandyCeleronB710[] = {{.mhz = 1600, .suffix = " B710"}};

// Shared by the Celeron and Pentium branches: only 1500 MHz tells them apart.
constexpr NameChoice kSandyMobileDual[] = {
    {.mhz = 1500, .suffix = " B800", .contains = "Celeron"},
    {.mhz = 1500, .suffix = " 987"},
    {.mhz = 1600, .suffix = " B810"},
    {.mhz = 1700, .suffix = " B820"},
    {.mhz = 1800, .suffix = " B830"},
    {.mhz = 1900, .suffix = " B840"},
    {.mhz = 2000, .suffix = " B940"},
    {.mhz = 2100, .suffix = " B950"},
    {.mhz = 2200, .suffix = " B960"},
    {.mhz = 2300, .suffix = " B970"},
    {.mhz = 2400, .suffix = " B980"},
};

constexpr NameBranch kModel2A[] = {
    {.platformIds = kDesktop, .threads = 8, .turbo = 1, .contains = "Xeon", .name = kXeonE3, .subcode = kXeon,
     .codename = "Sandy Bridge-WS", .choices = kSandyXeonE3},
    {.platformIds = kDesktop, .threads = 8, .turbo = 1, .name = kCoreI7, .subcode = kI7, .choices = kSandyDesktopI7},
    {.platformIds = kDesktop, .threads = 4, .turbo = 1, .l3 = 6144, .name = kCoreI5, .subcode = kI5,
     .choices = kSandyDesktopI5},
    {.platformIds = kDesktop, .threads = 4, .turbo = 1, .l3 = 3072, .name = kCoreI5, .subcode = kI5,
     .choices = kSandyDesktopDualI5},
    {.platformIds = kDesktop, .threads = 4, .name = kCoreI3, .subcode = kI3, .choices = kSandyDesktopI3},
    {.platformIds = kDesktop, .l3 = 3072, .name = kPentium, .subcode = kPentiumBrand, .choices = kSandyDesktopPentium},
    {.platformIds = kDesktop, .l3AtLeast = 512, .l3AtMost = 1024, .name = kCeleron, .subcode = kCeleronBrand,
     .choices = kSandyCeleronG440},
    {.platformIds = kDesktop, .l3 = 2048, .lacks = "Pentium", .name = kCeleron, .subcode = kCeleronBrand,
     .choices = kSandyDesktopCeleron},
    {.platformIds = kDesktop, .l3 = 2048, .name = kPentium, .subcode = kPentiumBrand, .choices = kSandyPentiumB},
    {.platformIds = kMobile, .threads = 8, .turbo = 1, .name = kCoreI7, .subcode = kI7, .choices = kSandyMobileQuadI7},
    {.platformIds = kMobile, .threads = 4, .turbo = 1, .l3OtherThan = 4096, .name = kCoreI5, .subcode = kI5,
     .choices = kSandyMobileI5},
    {.platformIds = kMobile, .threads = 4, .turbo = 1, .l3 = 4096, .name = kCoreI7, .subcode = kI7,
     .choices = kSandyMobileDualI7},
    {.platformIds = kMobile, .threads = 4, .name = kCoreI3, .subcode = kI3, .choices = kSandyMobileI3},
    {.platformIds = kMobile, .threads = 1, .name = kCeleron, .subcode = kCeleronBrand, .choices = kSandyCeleronB710},
    {.platformIds = kMobile, .threads = 2, .l3 = 2048, .contains = "Celeron", .name = kCeleron,
     .subcode = kCeleronBrand, .choices = kSandyMobileDual},
    {.platformIds = kMobile, .threads = 2, .l3 = 2048, .name = kPentium, .subcode = kPentiumBrand,
     .choices = kSandyMobileDual},
};

// ---- 0x2D: Sandy Bridge-E, -EN, -EP ----

constexpr NameChoice kSandyE[] = {
    {.mhz = 3000, .suffix = " 3910K", .threads = 12},
    {.mhz = 3200, .suffix = " 3930K", .threads = 12},
    {.mhz = 3300, .suffix = " 3960X", .threads = 12, .subcode = kI7Extreme},
    {.mhz = 3500, .suffix = " 3970X", .threads = 12, .subcode = kI7Extreme},
    {.mhz = 3600, .suffix = " 3820", .threads = 8},
};

constexpr NameChoice kSandyEN[] = {
    {.mhz = 1800, .suffix = " 2450L", .contains = "2450L", .threads = 16},
    {.mhz = 1800, .suffix = " 2448L", .threads = 16},
    {.mhz = 2100, .suffix = " 2450", .threads = 16},
    {.mhz = 2300, .suffix = " 2470", .threads = 16},
    {.mhz = 1800, .suffix = " 2428L", .threads = 12},
    {.mhz = 1900, .suffix = " 2420", .threads = 12},
    {.mhz = 2000, .suffix = " 2430L", .threads = 12},
    {.mhz = 2200, .suffix = " 2430", .threads = 12},
    {.mhz = 2400, .suffix = " 2440", .threads = 12},
    {.mhz = 1800, .suffix = " 2403", .threads = 8},
    {.mhz = 2000, .suffix = " 2418L", .threads = 8},
    {.mhz = 2200, .suffix = " 2407", .threads = 8},
};

constexpr NameChoice kSandyEP[] = {
    {.mhz = 1800, .suffix = " 2650L", .contains = "2650L", .threads = 16},
    {.mhz = 1800, .suffix = " 2648L", .threads = 16},
    {.mhz = 2000, .suffix = " 2650", .threads = 16},
    {.mhz = 2100, .suffix = " 2658", .threads = 16},
    {.mhz = 2200, .suffix = " 4620", .contains = "4620", .threads = 16},
    {.mhz = 2200, .suffix = " 2660", .threads = 16},
    {.mhz = 2400, .suffix = " 4640", .contains = "4640", .threads = 16},
    {.mhz = 2400, .suffix = " 2665", .threads = 16},
    {.mhz = 2600, .suffix = " 4650L", .contains = "4650L", .threads = 16},
    {.mhz = 2600, .suffix = " 2670", .threads = 16},
    {.mhz = 2700, .suffix = " 4650", .contains = "4650", .threads = 16},
    {.mhz = 2700, .suffix = " 2680", .threads = 16},
    {.mhz = 2900, .suffix = " 2690", .threads = 16},
    {.mhz = 3100, .suffix = " 2687W", .threads = 16},
    {.mhz = 2000, .suffix = " 2630L", .contains = "2630L", .threads = 12},
    {.mhz = 2000, .suffix = " 2620", .threads = 12},
    {.mhz = 2200, .suffix = " 4607", .threads = 12},
    {.mhz = 2300, .suffix = " 2630", .threads = 12},
    {.mhz = 2400, .suffix = " 4610", .threads = 12},
    {.mhz = 2500, .suffix = " 2640", .threads = 12},
    {.mhz = 3200, .suffix = " 1650", .threads = 12},
    {.mhz = 3300, .suffix = " 1660", .threads = 12},
    {.mhz = 2000, .suffix = " 4603", .threads = 8},
    {.mhz = 3300, .suffix = " 2643", .threads = 8},
    {.mhz = 3600, .suffix = " 1620", .threads = 8},
    {.mhz = 2900, .suffix = " 4617", .threads = 6},
    {.mhz = 1800, .suffix = " 2603", .threads = 4},
    {.mhz = 2400, .suffix = " 2609", .threads = 4},
    {.mhz = 3000, .suffix = " 2637", .threads = 4},
};

constexpr NameBranch kModel2D[] = {
    {.platformIds = PlatformIds({1, 2}), .name = kCoreI7, .subcode = kI7, .choices = kSandyE},
    {.platformIds = PlatformIds({3}), .name = kXeonE5, .subcode = kXeon, .choices = kSandyEN},
    {.platformIds = PlatformIds({0, 6}), .name = kXeonE5, .subcode = kXeon, .choices = kSandyEP},
};

// ---- 0x3A: Ivy Bridge ----

constexpr NameChoice kIvyXeonE3Quad[] = {
    {.mhz = 2500, .suffix = " 1265L"},
    {.mhz = 3200, .suffix = " 1225"},
    {.mhz = 3300, .suffix = " 1230"},
    {.mhz = 3400, .suffix = " 1245", .tdp = 77},
    {.mhz = 3400, .suffix = " 1240", .tdp = 69},
    {.mhz = 3500, .suffix = " 1275", .tdp = 77},
    {.mhz = 3500, .suffix = " 1270", .tdp = 69},
    {.mhz = 3600, .suffix = " 1280"},
    {.mhz = 3700, .suffix = " 1290"},
};

constexpr NameChoice kIvyDesktopI7[] = {
    {.mhz = 2500, .suffix = " 3770T"},
    {.mhz = 3100, .suffix = " 3770S"},
    {.mhz = 3400, .suffix = " 3770"},
    {.mhz = 3500, .suffix = " 3770K"},
};

constexpr NameChoice kIvyXeonE3Dual[] = {
    {.mhz = 2300, .suffix = " 1220L"}, {.mhz = 3100, .suffix = " 1220"}, {.mhz = 3200, .suffix = " 1225"}};

constexpr NameChoice kIvyDesktopI3[] = {
    {.mhz = 2800, .suffix = " 3220T"},
    {.mhz = 2900, .suffix = "", .contains = "3470T", .name = kCoreI5, .subcode = kI5},
    {.mhz = 2900, .suffix = " 3240T"},
    {.mhz = 3300, .suffix = " 3225", .contains = "3225"},
    {.mhz = 3300, .suffix = " 3220"},
    {.mhz = 3400, .suffix = " 3245", .contains = "3245"},
    {.mhz = 3400, .suffix = " 3240"},
    {.mhz = 3500, .suffix = " 3250"},
};

constexpr NameChoice kIvyDesktopI5[] = {
    {.mhz = 2300, .suffix = " 3570T"},
    {.mhz = 2700, .suffix = " 3335S", .contains = "3335S"},
    {.mhz = 2700, .suffix = " 3330S"},
    {.mhz = 2800, .suffix = " 3450S"},
    {.mhz = 2900, .suffix = " 3475S", .contains = "3475S", .tdp = 65},
    {.mhz = 2900, .suffix = " 3470S", .tdp = 65, .stepping9 = "N0"},
    {.mhz = 2900, .suffix = " 3240T", .contains = "3240T", .tdp = 35, .name = kCoreI3, .subcode = kI3},
    {.mhz = 2900, .suffix = " 3470T", .tdp = 35, .stepping9 = "L1"},
    {.mhz = 3000, .suffix = " 3330", .tdp = 77},
    {.mhz = 3000, .suffix = " 3550S", .tdp = 65},
    {.mhz = 3100, .suffix = " 3570S", .contains = "3570S", .stepping9 = "N0"},
    {.mhz = 3100, .suffix = " 3350P", .contains = "3350P"},
    {.mhz = 3100, .suffix = " 3450"},
    {.mhz = 3200, .suffix = " 3470", .stepping9 = "N0"},
    {.mhz = 3300, .suffix = " 3550"},
    {.mhz = 3400, .suffix = " 3570K", .contains = "3570K"},
    {.mhz = 3400, .suffix = " 3570", .stepping9 = "N0"},
};

constexpr NameChoice kIvyDesktopPentium[] = {
    {.mhz = 2500, .suffix = " G2020T"}, {.mhz = 2600, .suffix = " G2100T"},
    {.mhz = 2800, .suffix = " G2010", .stepping9 = "L1"},
    {.mhz = 2900, .suffix = " G2020"},  {.mhz = 3000, .suffix = " G2030"},
    {.mhz = 3100, .suffix = " G2120"},  {.mhz = 3200, .suffix = " G2130"},
    {.mhz = 3300, .suffix = " G2140"},
};

constexpr NameChoice kIvyDesktopCeleron[] = {
    {.mhz = 1500, .suffix = " 1007U"},
    {.mhz = 1800, .suffix = " 1000M", .contains = "1000M"},
    {.mhz = 1800, .suffix = " 1037U"},
    {.mhz = 2100, .suffix = " 1020M"},
    {.mhz = 2300, .suffix = " G1610T"},
    {.mhz = 2600, .suffix = " G1610"},
    {.mhz = 2700, .suffix = " G1620"},
};

constexpr NameChoice kIvyMobileQuadI7[] = {
    {.mhz = 2100, .suffix = " 3612QE", .contains = "3612QE"},
    {.mhz = 2100, .suffix = " 3612QM"},
    {.mhz = 2200, .suffix = " 3632QM"},
    {.mhz = 2300, .suffix = " 3615QE", .contains = "3615QE"},
    {.mhz = 2300, .suffix = " 3615QM", .contains = "3615QM"},
    {.mhz = 2300, .suffix = " 3610QE", .contains = "3610QE"},
    {.mhz = 2300, .suffix = " 3610QM"},
    {.mhz = 2400, .suffix = " 3630QM"},
    {.mhz = 2500, .suffix = " 3555LE"},
    {.mhz = 2600, .suffix = " 3720QM", .l3 = 6144},
    {.mhz = 2700, .suffix = " 3740QM", .l3 = 6144},
    {.mhz = 2700, .suffix = " 3820QM", .l3 = 8192},
    {.mhz = 2900, .suffix = " 3920XM", .name = kCoreI7Extreme, .subcode = kI7Extreme},
};

constexpr NameChoice kIvyMobileI3[] = {
    {.mhz = 1400, .suffix = " 3229Y"}, {.mhz = 1600, .suffix = " 3217UE"}, {.mhz = 1800, .suffix = " 3217U"},
    {.mhz = 1900, .suffix = " 3227U"}, {.mhz = 2400, .suffix = " 3110M"},
};

constexpr NameChoice kIvyMobileI5[] = {
    {.mhz = 1500, .suffix = " 3439Y"},
    {.mhz = 1700, .suffix = " 3317U"},
    {.mhz = 1800, .suffix = " 3427U"},
    {.mhz = 1900, .suffix = " 3437U"},
    {.mhz = 2500, .suffix = " 3210M"},
    {.mhz = 2600, .suffix = " 3320M", .contains = "3320M"},
    {.mhz = 2600, .suffix = " 3230M"},
    {.mhz = 2800, .suffix = " 3360M"},
};

constexpr NameChoice kIvyMobileDualI7[] = {
    {.mhz = 1900, .suffix = " 3517U"},
    {.mhz = 2000, .suffix = " 3667U", .contains = "3667U"},
    {.mhz = 2000, .suffix = " 3537U", .contains = "3537U"},
    {.mhz = 2900, .suffix = " 3520M"},
    {.mhz = 3000, .suffix = " 3540M"},
};

constexpr NameChoice kIvyMobilePentium[] = {
    {.mhz = 1100, .suffix = " 2129Y"}, {.mhz = 1800, .suffix = " 2117U"}, {.mhz = 1900, .suffix = " 2127U"},
    {.mhz = 2400, .suffix = " 2020M"}, {.mhz = 2500, .suffix = " 2030M"},
};

constexpr NameChoice kIvyMobileCeleron[] = {
    {.mhz = 1500, .suffix = " 1007U"},
    {.mhz = 1800, .suffix = " 1000M", .contains = "1000M"},
    {.mhz = 1800, .suffix = " 1037U"},
    {.mhz = 1900, .suffix = " 1005M"},
    {.mhz = 2100, .suffix = " 1020M"},
};

constexpr const char* kIvyBridge = "Ivy Bridge";

constexpr NameBranch kModel3A[] = {
    {.platformIds = kDesktop, .threads = 8, .contains = "Xeon", .name = kXeonE3, .subcode = kXeon,
     .codename = kIvyBridge, .tail = " v2", .choices = kIvyXeonE3Quad},
    {.platformIds = kDesktop, .threads = 8, .name = kCoreI7, .subcode = kI7, .choices = kIvyDesktopI7},
    {.platformIds = kDesktop, .threads = 4, .contains = "Xeon", .name = kXeonE3, .subcode = kXeon,
     .codename = kIvyBridge, .tail = " v2", .choices = kIvyXeonE3Dual},
    {.platformIds = kDesktop, .threads = 4, .l3 = 3072, .name = kCoreI3, .subcode = kI3, .stepping9 = "L1",
     .choices = kIvyDesktopI3},
    {.platformIds = kDesktop, .threads = 4, .l3 = 6144, .name = kCoreI5, .subcode = kI5, .choices = kIvyDesktopI5},
    {.platformIds = kDesktop, .threads = 2, .l3 = 3072, .name = kPentium, .subcode = kPentiumBrand,
     .stepping9 = "P0", .choices = kIvyDesktopPentium},
    {.platformIds = kDesktop, .threads = 2, .l3 = 2048, .name = kCeleron, .subcode = kCeleronBrand,
     .choices = kIvyDesktopCeleron},
    {.platformIds = kMobile, .threads = 8, .name = kCoreI7, .subcode = kI7, .choices = kIvyMobileQuadI7},
    {.platformIds = kMobile, .threads = 4, .contains = "i3", .name = kCoreI3, .subcode = kI3, .clearsTurbo = true,
     .choices = kIvyMobileI3},
    {.platformIds = kMobile, .threads = 4, .contains = "i5", .name = kCoreI5, .subcode = kI5, .choices = kIvyMobileI5},
    {.platformIds = kMobile, .threads = 4, .name = kCoreI7, .subcode = kI7, .choices = kIvyMobileDualI7},
    {.platformIds = kMobile, .threads = 2, .contains = "Pentium", .name = kPentium, .subcode = kPentiumBrand,
     .choices = kIvyMobilePentium},
    {.platformIds = kMobile, .threads = 2, .name = kCeleron, .subcode = kCeleronBrand, .choices = kIvyMobileCeleron},
};

// ---- 0x3E: Ivy Bridge-E, -EP ----

constexpr NameChoice kIvyE[] = {
    {.mhz = 3400, .suffix = " 4930K", .threads = 12},
    {.mhz = 3600, .suffix = " 4960X", .threads = 12, .subcode = kI7Extreme},
    {.mhz = 3800, .suffix = " 4970X", .threads = 12, .subcode = kI7Extreme},
    {.mhz = 3700, .suffix = " 4820K", .threads = 8},
};

constexpr NameChoice kIvyEP[] = {
    {.mhz = 1700, .suffix = " 2650L"},
    {.mhz = 1800, .suffix = " 2603"},
    {.mhz = 2000, .suffix = " 2640"},
    {.mhz = 2200, .suffix = " 2660"},
    {.mhz = 2400, .suffix = " 2695", .threads = 24},
    {.mhz = 2400, .suffix = " 2630L", .threads = 12},
    {.mhz = 2500, .suffix = " 2696", .threads = 24},
    {.mhz = 2500, .suffix = " 2670", .threads = 20},
    {.mhz = 2500, .suffix = " 2609", .threads = 8},
    {.mhz = 2600, .suffix = " 2650"},
    {.mhz = 2700, .suffix = " 2697"},
    {.mhz = 2800, .suffix = " 2680"},
    {.mhz = 3000, .suffix = " 2690"},
    {.mhz = 3400, .suffix = " 2687W"},
    {.mhz = 3500, .suffix = " 1650", .contains = "1650"},
    {.mhz = 3500, .suffix = " 2643"},
    {.mhz = 3700, .suffix = " 1620"},
};

constexpr NameBranch kModel3E[] = {
    {.platformIds = PlatformIds({1, 2}), .name = kCoreI7, .subcode = kI7, .choices = kIvyE},
    {.platformIds = PlatformIds({0}), .name = kXeonE5, .subcode = kXeon, .tail = " v2", .choices = kIvyEP},
};

// ---- The models ----

constexpr PlatformName kPlatforms2D[] = {{1, "Sandy Bridge-E"},
                                         {2, "Sandy Bridge-E"},
                                         {3, "Sandy Bridge-EN"},
                                         {0, "Sandy Bridge-EP/EX"},
                                         {6, "Sandy Bridge-EP/EX"}};
constexpr PlatformName kPlatforms3E[] = {{1, "Ivy Bridge-E"}, {2, "Ivy Bridge-E"}, {0, "Ivy Bridge-EP/EX"}};

constexpr SteppingName kSteppings2A[] = {{0, "A1"}, {2, "B2"}, {3, "C0"}, {5, "D0"}, {6, "D1"}, {7, "D2"}};
constexpr SteppingName kSteppings2D[] = {{1, "A1"}, {2, "B0"}, {5, "C0"}, {6, "C1"}, {7, "C2"}};
constexpr SteppingName kSteppings3A[] = {{0, "A0"}, {1, "A1"},    {2, "B0"},    {4, "C0"},   {5, "M0/K0"},
                                         {6, "D0"}, {7, "E0"}, {8, "E0/L0"}, {9, "E1/L1"}};

constexpr ModelRow kModels[] = {
    {.extModel = 0x2A, .technology = 0.032f, .codename = "Sandy Bridge", .steppings = kSteppings2A,
     .branches = kModel2A},
    {.extModel = 0x2D, .technology = 0.032f, .codename = "Sandy Bridge-E/EP", .platforms = kPlatforms2D,
     .steppings = kSteppings2D, .branches = kModel2D},
    {.extModel = 0x3A, .technology = 0.022f, .codename = kIvyBridge, .steppings = kSteppings3A, .branches = kModel3A},
    {.extModel = 0x3E, .technology = 0.022f, .codename = "Ivy Bridge-E/EP", .platforms = kPlatforms3E,
     .branches = kModel3E},
};

// The core stepping of an Ivy Bridge-E/EP: the CPUID stepping and the
// cores per package choose the pair, a field of the uncore's register
// 0x94 (bus 255, device 10, function 3) the member where it can.
const char* IvyBridgeEStepping(int32_t stepping, int32_t cores) {
    int32_t field = -1;
    uint32_t value = 0;
    if (CPCIInterface* pci = GetSDK()->m_pPCI; pci && pci->ReadConfig(255, 10, 3, 0x94, &value))
        field = static_cast<int32_t>((value >> 19) & 0x1F);
    const int32_t middle = field < 0 ? -1 : field & 0x1C;
    const bool small = cores >= 1 && cores <= 6, medium = cores >= 7 && cores <= 10, large = cores == 12;
    switch (stepping) {
    case 2:
        if (small) return field == 6 ? "R0" : field == 22 ? "R1" : "R0/R1";
        if (medium) return field == 4 ? "L1" : field == 20 ? "L2" : "L1/L2";
        if (large) return middle == 8 ? "B1" : middle == 12 ? "B2" : "B1/B2";
        return nullptr;
    case 3: return large ? "B3" : nullptr;
    case 4:
        if (small) return "S0/S1";
        if (medium) return "M0/M1";
        if (large) return middle == 8 ? "C0" : "C0/C1";
        return nullptr;
    default: return nullptr;
    }
}

} // namespace

int Intel_Sandy_Bridge_Infos::Identify(CCPUThread* thread) {
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "Intel Core i3/i5/i7");
    FormatString(thread->m_szCodename, sizeof thread->m_szCodename, "%s", "Sandy Bridge");
    thread->m_dwClassCode = kIntelSandyBridgeClass;
    const ModelRow* row = FindModelRow(kModels, thread->m_iExtModel);
    if (!row) return 1;
    NameKeys keys = ThreadNameKeys(thread);
    keys.turbo = m_Ratios.turbo.supported;
    keys.turboRatio = m_Ratios.maxTurboRatio;
    const NamingOutcome outcome = ApplyModelRow(thread, *row, keys, kIntelSandyBridgeClass);
    if (outcome.branch && outcome.branch->clearsTurbo) m_Ratios.turbo = TurboState{};
    if (row->extModel == 0x3E) {
        const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
        if (const char* stepping = IvyBridgeEStepping(thread->m_iStepping, vendor ? vendor->m_iCoresPerPackage : -1))
            FormatString(thread->m_szCoreStepping, sizeof thread->m_szCoreStepping, "%s", stepping);
    }
    return 1;
}
