// The names of Nehalem and Westmere processors: by extended model and
// platform ID, then by the logical processors per package, turbo and an
// unlocked ratio, the level-3 cache, the stock clock, the maximum turbo
// frequency, the TDP, the QPI links, the link multiplier and the texts of
// the brand string (intel_shared_bodies_naming.h).
#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_nehalem.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"

namespace {

constexpr const char* kCoreI7 = "Intel Core i7";
constexpr const char* kCoreI7Extreme = "Intel Core i7 Extreme";
constexpr const char* kCoreI5 = "Intel Core i5";
constexpr const char* kCoreI3 = "Intel Core i3";
constexpr const char* kXeon = "Intel Xeon";
constexpr const char* kXeonE7 = "Intel Xeon E7";
constexpr const char* kPentium = "Intel Pentium";
constexpr const char* kCeleron = "Intel Celeron";
enum Brand : int8_t { kI7 = 1, kI7Extreme = 2, kXeonBrand = 3, kI3 = 4, kI5 = 5, kPentiumBrand = 7, kCeleronBrand = 8 };

// ---- 0x1A: Bloomfield, Gainestown ----

constexpr NameChoice kGainestown[] = {
    {.mhz = 1866, .suffix = " E5502"},
    {.mhz = 2000, .suffix = " E5503", .threads = 2},
    {.mhz = 2000, .suffix = " E5504"},
    {.mhz = 2133, .suffix = " L5506", .l3 = 4096},
    {.mhz = 2133, .suffix = " L5518", .l3 = 8192},
    {.mhz = 2266, .suffix = " E5507", .tdp = 80, .l3 = 4096},
    {.mhz = 2266, .suffix = " E5520", .tdp = 80, .l3 = 8192},
    {.mhz = 2266, .suffix = " L5520", .tdp = 60},
    {.mhz = 2400, .suffix = " E5530", .tdp = 80},
    {.mhz = 2400, .suffix = " L5530", .tdp = 60},
    {.mhz = 2533, .suffix = " E5540"},
    {.mhz = 2666, .suffix = " X5550"},
    {.mhz = 2800, .suffix = " X5560"},
    {.mhz = 2933, .suffix = " X5570"},
    {.mhz = 3200, .suffix = " W5580"},
    {.mhz = 3333, .suffix = " W5590"},
};

constexpr NameChoice kBloomfieldXeon[] = {
    {.mhz = 2666, .suffix = " W3520"},
    {.mhz = 2800, .suffix = " W3530"},
    {.mhz = 2933, .suffix = " W3540"},
    {.mhz = 3066, .suffix = " W3550"},
    {.mhz = 3200, .suffix = " W3565", .linkMultiplier = 18},
    {.mhz = 3200, .suffix = " W3570"},
    {.mhz = 3333, .suffix = " W3580"},
};

constexpr NameChoice kBloomfield[] = {
    {.mhz = 2666, .suffix = " 920"},
    {.mhz = 2800, .suffix = " 930"},
    {.mhz = 2933, .suffix = " 940"},
    {.mhz = 3066, .suffix = " 950"},
    {.mhz = 3200, .suffix = " 965", .unlocked = 1},
    {.mhz = 3200, .suffix = " 960"},
    {.mhz = 3333, .suffix = " 975", .unlocked = 1},
    {.mhz = 3333, .suffix = " 970"},
};

constexpr NameBranch kModel1A[] = {
    {.platformIds = PlatformIds({0}), .name = kXeon, .subcode = kXeonBrand, .codename = "Gainestown",
     .choices = kGainestown},
    {.platformIds = PlatformIds({1}), .contains = "Xeon", .name = kXeon, .subcode = kXeonBrand,
     .choices = kBloomfieldXeon},
    {.platformIds = PlatformIds({1}), .unlocked = 1, .name = kCoreI7Extreme, .subcode = kI7Extreme,
     .choices = kBloomfield},
    {.platformIds = PlatformIds({1}), .name = kCoreI7, .subcode = kI7, .choices = kBloomfield},
};

// ---- 0x1E: Lynnfield, Clarksfield ----

constexpr NameChoice kLynnfieldXeon[] = {
    {.mhz = 1866, .suffix = " L3426"}, {.mhz = 2400, .suffix = " X3430"}, {.mhz = 2533, .suffix = " X3440"},
    {.mhz = 2666, .suffix = " X3450"}, {.mhz = 2800, .suffix = " X3460"}, {.mhz = 2933, .suffix = " X3470"},
};

constexpr NameChoice kLynnfieldCoreI7[] = {
    {.mhz = 2933, .suffix = " 875K", .unlocked = 1},
    {.mhz = 2666, .suffix = " 850", .tdp = 95},
    {.mhz = 2800, .suffix = " 860", .tdp = 95},
    {.mhz = 2933, .suffix = " 870", .tdp = 95},
    {.mhz = 3066, .suffix = " 880", .tdp = 95},
    {.mhz = 2533, .suffix = " 860S", .tdp = 82},
};

constexpr NameChoice kLynnfieldCoreI5[] = {
    {.mhz = 2400, .suffix = " 730", .tdp = 95}, {.mhz = 2533, .suffix = " 740", .tdp = 95},
    {.mhz = 2666, .suffix = " 750", .tdp = 95}, {.mhz = 2800, .suffix = " 760", .tdp = 95},
    {.mhz = 2933, .suffix = " 770", .tdp = 95}, {.mhz = 2400, .suffix = " 750S", .tdp = 82},
};

constexpr NameChoice kClarksfieldCoreI7[] = {
    {.mhz = 1600, .suffix = " 720QM"},
    {.mhz = 1733, .suffix = " 740QM", .l3 = 6144},
    {.mhz = 1733, .suffix = " 820QM", .l3 = 8192},
    {.mhz = 1866, .suffix = " 840QM", .l3 = 8192},
    {.mhz = 2000, .suffix = " 920XM", .unlocked = 1, .subcode = kI7Extreme},
    {.mhz = 2000, .suffix = " 920QM"},
    {.mhz = 2266, .suffix = " 940XM", .unlocked = 1, .subcode = kI7Extreme},
    {.mhz = 2266, .suffix = " 940QM"},
};

constexpr NameChoice kClarksfieldCeleron[] = {{.mhz = 2000, .suffix = " T3300"}};

constexpr NameBranch kModel1E[] = {
    {.platformIds = PlatformIds({1}), .contains = "Xeon", .name = kXeon, .subcode = kXeonBrand,
     .choices = kLynnfieldXeon},
    {.platformIds = PlatformIds({1}), .threads = -1, .name = kCoreI7, .subcode = kI7},
    {.platformIds = PlatformIds({1}), .threads = 8, .turbo = 1, .name = kCoreI7, .subcode = kI7,
     .choices = kLynnfieldCoreI7},
    {.platformIds = PlatformIds({1}), .threads = 4, .turbo = 1, .name = kCoreI5, .subcode = kI5,
     .choices = kLynnfieldCoreI5},
    {.platformIds = PlatformIds({1}), .name = kCoreI3, .subcode = kI3},
    {.platformIds = PlatformIds({4}), .threadsAtLeast = 4, .turbo = 1, .l3AtLeast = 4096, .name = kCoreI7,
     .subcode = kI7, .choices = kClarksfieldCoreI7},
    {.platformIds = PlatformIds({4}), .threads = 4, .turbo = 1, .l3 = 3072, .name = kCoreI5,
     .subcode = kI5},
    {.platformIds = PlatformIds({4}), .threads = 4, .l3 = 3072, .name = kCoreI3,
     .subcode = kI3},
    {.platformIds = PlatformIds({4}), .threads = 2, .l3 = 1024, .name = kCeleron,
     .subcode = kCeleronBrand, .choices = kClarksfieldCeleron},
};

// ---- 0x25: Clarkdale, Arrandale ----

constexpr NameChoice kClarkdaleCoreI5[] = {
    {.mhz = 3200, .suffix = " 655K", .unlocked = 1},
    {.mhz = 3200, .suffix = " 650", .unlocked = 0},
    {.mhz = 3333, .suffix = " 661", .tdp = 87, .unlocked = 0},
    {.mhz = 3333, .suffix = " 660", .unlocked = 0},
    {.mhz = 3466, .suffix = " 670", .unlocked = 0},
    {.mhz = 3600, .suffix = " 680", .unlocked = 0},
};

constexpr NameChoice kClarkdaleCoreI3[] = {
    {.mhz = 2933, .suffix = " 530"},
    {.mhz = 3066, .suffix = " 540"},
    {.mhz = 3200, .suffix = " 550"},
    {.mhz = 3333, .suffix = " 560"},
};

constexpr NameChoice kClarkdaleCeleron[] = {{.mhz = 2266, .suffix = " G1101"}};
constexpr NameChoice kClarkdalePentium[] = {{.mhz = 2800, .suffix = " G6950"}};
constexpr NameChoice kClarkdalePentium7[] = {
    {.mhz = 2800, .suffix = " G6951", .contains = "G6951"},
    {.mhz = 2800, .suffix = " G6950"},
};

constexpr NameChoice kArrandaleCoreI7[] = {
    {.mhz = 1066, .suffix = " 620UM", .tdp = 18}, {.mhz = 1200, .suffix = " 640UM", .tdp = 18},
    {.mhz = 1466, .suffix = " 680UM", .tdp = 18}, {.mhz = 2000, .suffix = " 620LM", .tdp = 25},
    {.mhz = 2133, .suffix = " 640LM", .tdp = 25}, {.mhz = 2266, .suffix = " 660LM", .tdp = 25},
    {.mhz = 2666, .suffix = " 620M"},             {.mhz = 2800, .suffix = " 640M"},
};

constexpr NameChoice kArrandaleCoreI5[] = {
    {.mhz = 1066, .suffix = " 520UM"},
    {.mhz = 1200, .suffix = " 430UM", .turboMHz = 1733},
    {.mhz = 1200, .suffix = " 540UM", .turboMHz = 2000},
    {.mhz = 1333, .suffix = " 470UM", .tdp = 18, .turboMHz = 1866},
    {.mhz = 1333, .suffix = " 560UM", .tdp = 18, .turboMHz = 2133},
    {.mhz = 2266, .suffix = " 430M", .contains = "430"},
    {.mhz = 2266, .suffix = " 660LM", .contains = "660"},
    {.mhz = 2400, .suffix = " 450M", .turboMHz = 2666},
    {.mhz = 2400, .suffix = " 520M", .turboMHz = 2933},
    {.mhz = 2533, .suffix = " 460M", .turboMHz = 2800},
    {.mhz = 2533, .suffix = " 540M", .turboMHz = 3066},
    {.mhz = 2666, .suffix = " 480M", .turboMHz = 2933},
    {.mhz = 2666, .suffix = " 560M", .turboMHz = 3200},
    {.mhz = 2666, .suffix = " 580M", .turboMHz = 3333},
};

constexpr NameChoice kArrandaleCoreI3[] = {
    {.mhz = 1200, .suffix = " 330UM"}, {.mhz = 1333, .suffix = " 380UM"}, {.mhz = 2133, .suffix = " 330M"},
    {.mhz = 2266, .suffix = " 350M"},  {.mhz = 2400, .suffix = " 370M"},  {.mhz = 2533, .suffix = " 380M"},
    {.mhz = 2666, .suffix = " 390M"},
};

constexpr NameChoice kArrandalePentium[] = {
    {.mhz = 1866, .suffix = " P6000"}, {.mhz = 2000, .suffix = " P6100"}, {.mhz = 2133, .suffix = " P6200"}};
constexpr NameChoice kArrandaleCeleron[] = {{.mhz = 1866, .suffix = " P4500"}, {.mhz = 2000, .suffix = " P4600"}};

constexpr NameBranch kModel25[] = {
    {.platformIds = PlatformIds({1}), .threads = 4, .turbo = 1, .name = kCoreI5, .subcode = kI5,
     .choices = kClarkdaleCoreI5},
    {.platformIds = PlatformIds({1}), .threads = 4, .turbo = 0, .name = kCoreI3, .subcode = kI3,
     .choices = kClarkdaleCoreI3},
    {.platformIds = PlatformIds({1}), .threads = 2, .l3 = 2048, .name = kCeleron,
     .subcode = kCeleronBrand, .choices = kClarkdaleCeleron},
    {.platformIds = PlatformIds({1}), .threads = 2, .l3 = 3072, .name = kPentium,
     .subcode = kPentiumBrand, .choices = kClarkdalePentium},
    {.platformIds = PlatformIds({4}), .threads = 4, .turbo = 1, .l3 = 4096, .name = kCoreI7,
     .subcode = kI7, .choices = kArrandaleCoreI7},
    {.platformIds = PlatformIds({4}), .threads = 4, .turbo = 1, .l3 = 3072, .name = kCoreI5,
     .subcode = kI5, .choices = kArrandaleCoreI5},
    {.platformIds = PlatformIds({4}), .threads = 4, .l3 = 3072, .name = kCoreI3,
     .subcode = kI3, .choices = kArrandaleCoreI3},
    {.platformIds = PlatformIds({4}), .threads = 2, .l3 = 3072, .name = kPentium,
     .subcode = kPentiumBrand, .choices = kArrandalePentium},
    {.platformIds = PlatformIds({4}), .threads = 2, .l3 = 2048, .name = kCeleron,
     .subcode = kCeleronBrand, .choices = kArrandaleCeleron},
    {.platformIds = PlatformIds({7}), .threads = 2, .l3 = 3072, .name = kPentium,
     .subcode = kPentiumBrand, .choices = kClarkdalePentium7},
};

// ---- 0x2C: Gulftown, Westmere-EP ----

constexpr const char* kWestmereWS = "Westmere-WS";

constexpr NameChoice kWestmereEP[] = {
    {.mhz = 2133, .suffix = " L5639", .threads = 12},
    {.mhz = 2133, .suffix = " E5606", .threads = 4},
    {.mhz = 2266, .suffix = " L5640"},
    {.mhz = 2400, .suffix = " E5620", .contains = "E5620"},
    {.mhz = 2400, .suffix = " E5645"},
    {.mhz = 2533, .suffix = " E5630", .threads = 8},
    {.mhz = 2533, .suffix = " E5649", .threads = 12},
    {.mhz = 2666, .suffix = " E5640", .threads = 8},
    {.mhz = 2666, .suffix = " X5650", .threads = 12},
    {.mhz = 2800, .suffix = " X5660"},
    {.mhz = 2933, .suffix = " X5670"},
    {.mhz = 3066, .suffix = " X5675", .contains = "X5675"},
    {.mhz = 3066, .suffix = " X5667"},
    {.mhz = 3200, .suffix = " X5679", .contains = "X5679"},
    {.mhz = 3200, .suffix = " W3670", .contains = "W3670", .codename = kWestmereWS},
    {.mhz = 3333, .suffix = " W3680", .threads = 12, .qpiLinks = 1, .codename = kWestmereWS},
    {.mhz = 3333, .suffix = " X5680", .threads = 12},
    {.mhz = 3466, .suffix = " X5677", .threads = 8},
    {.mhz = 3466, .suffix = " W3690", .threads = 12, .qpiLinks = 1, .codename = kWestmereWS},
    {.mhz = 3466, .suffix = " X5690", .threads = 12},
    {.mhz = 4400, .suffix = " X5698"},
};

constexpr NameChoice kGulftownExtreme[] = {
    {.mhz = 3333, .suffix = " 980X"}, {.mhz = 3466, .suffix = " 990X"}, {.mhz = 3600, .suffix = " 995X"}};
constexpr NameChoice kGulftown[] = {
    {.mhz = 3200, .suffix = " 970"}, {.mhz = 3333, .suffix = " 980"},
    {.mhz = 3466, .suffix = " 990"}, {.mhz = 3600, .suffix = " 995"}};

constexpr NameBranch kModel2C[] = {
    {.platformIds = PlatformIds({0}), .name = kXeon, .subcode = kXeonBrand, .choices = kWestmereEP},
    {.platformIds = PlatformIds({1}), .unlocked = 1, .name = kCoreI7Extreme, .subcode = kI7Extreme,
     .choices = kGulftownExtreme},
    {.platformIds = PlatformIds({1}), .name = kCoreI7, .subcode = kI7, .choices = kGulftown},
};

// ---- 0x2E: Beckton; 0x2F: Westmere-EX ----

constexpr NameChoice kBeckton[] = {{.mhz = 1866, .suffix = " E7520"}};

constexpr NameBranch kModel2E[] = {
    {.platformIds = PlatformIds({2}), .name = kXeon, .subcode = kXeonBrand, .choices = kBeckton},
};

constexpr NameChoice kWestmereEX[] = {
    {.mhz = 1733, .suffix = " 2803"},
    {.mhz = 1866, .suffix = " 4807"},
    {.mhz = 2000, .suffix = " 8850", .contains = "8850"},
    {.mhz = 2000, .suffix = " 4850", .contains = "4850"},
    {.mhz = 2000, .suffix = " 4820", .contains = "4820"},
    {.mhz = 2000, .suffix = " 2820", .l3 = 18432},
    {.mhz = 2000, .suffix = " 2850", .l3 = 24576},
    {.mhz = 2133, .suffix = " 8867L", .contains = "8867"},
    {.mhz = 2133, .suffix = " 8830", .contains = "8830"},
    {.mhz = 2133, .suffix = " 4830", .contains = "4830"},
    {.mhz = 2133, .suffix = " 2830"},
    {.mhz = 2266, .suffix = " 8860", .contains = "8860"},
    {.mhz = 2266, .suffix = " 4860", .contains = "4860"},
    {.mhz = 2266, .suffix = " 2860"},
    {.mhz = 2400, .suffix = " 8870", .contains = "8870"},
    {.mhz = 2400, .suffix = " 4870", .contains = "4870"},
    {.mhz = 2400, .suffix = " 2870"},
    {.mhz = 2500, .suffix = " 2870"},
};

constexpr NameBranch kModel2F[] = {
    {.platformIds = PlatformIds({2}), .name = kXeonE7, .subcode = kXeonBrand, .codename = "Westmere-EX",
     .choices = kWestmereEX},
};

// ---- The models ----

constexpr PlatformName kPlatforms1A[] = {{0, "Gainestown", kPackageSocket1366LGA},
                                         {1, "Bloomfield", kPackageSocket1366LGA}};
constexpr PlatformName kPlatforms1E[] = {{1, "Lynnfield"}, {4, "Clarksfield"}};
constexpr PlatformName kPlatforms25[] = {{1, "Clarkdale"}, {4, "Arrandale"}, {7, "Clarkdale"}};
constexpr PlatformName kPlatforms2C[] = {{0, "Westmere-EP"}, {1, "Gulftown"}};

constexpr SteppingName kSteppings1A[] = {{1, "A1"}, {2, "B0"}, {4, "C0/C1"}, {5, "D0"}};
constexpr SteppingName kSteppings1E[] = {{0, "A0"}, {5, "B1"}};
constexpr SteppingName kSteppings25[] = {{0, "A0"}, {1, "C0"}, {2, "C2"}, {5, "K0"}};
constexpr SteppingName kSteppings2C[] = {{0, "A0"}, {1, "B0"}, {2, "B1"}};
constexpr SteppingName kSteppingsEX[] = {{0, "A0"}, {1, "A1"}, {2, "A2"}};

constexpr ModelRow kModels[] = {
    {.extModel = 0x1A, .technology = 0.045f, .name = kCoreI7, .subcode = kI7, .codename = "Nehalem",
     .platforms = kPlatforms1A, .steppings = kSteppings1A, .branches = kModel1A},
    {.extModel = 0x1E, .technology = 0.045f, .name = kCoreI7, .subcode = kI7, .platforms = kPlatforms1E,
     .steppings = kSteppings1E, .branches = kModel1E},
    {.extModel = 0x1F, .technology = 0.045f, .name = kCoreI7, .subcode = kI7, .codename = "Havendale",
     .packageCode = kPackageSocket1156LGA},
    {.extModel = 0x25, .technology = 0.032f, .name = kCoreI5, .subcode = kI5, .platforms = kPlatforms25,
     .steppings = kSteppings25, .branches = kModel25},
    {.extModel = 0x2C, .technology = 0.032f, .packageCode = kPackageSocket1366LGA, .platforms = kPlatforms2C,
     .steppings = kSteppings2C, .branches = kModel2C},
    {.extModel = 0x2E, .technology = 0.045f, .name = kCoreI7, .subcode = kI7, .codename = "Beckton",
     .steppings = kSteppingsEX, .branches = kModel2E},
    {.extModel = 0x2F, .technology = 0.032f, .name = kCoreI7, .subcode = kI7, .codename = "Eagleton",
     .steppings = kSteppingsEX, .branches = kModel2F},
};

} // namespace

int Intel_Nehalem_Infos::Identify(CCPUThread* thread) {
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "Intel Core i3/i5/i7");
    thread->m_dwClassCode = kIntelNehalemClass;
    const ModelRow* found = FindModelRow(kModels, thread->m_iExtModel);
    if (!found) return 1;
    ModelRow row = *found;
    // A Bloomfield with an unlocked ratio is an Extreme edition.
    if (row.extModel == 0x1A && m_bRatioUnlocked) {
        row.name = kCoreI7Extreme;
        row.subcode = kI7Extreme;
    }
    NameKeys keys = ThreadNameKeys(thread);
    keys.turbo = m_Turbo.supported;
    keys.unlocked = m_bRatioUnlocked;
    keys.turboMHz = m_iMaxTurboFrequency;
    keys.linkMultiplier = thread->m_iLinkMultiplier;
    keys.qpiLinks = m_iQPILinks;
    ApplyModelRow(thread, row, keys, kIntelNehalemClass);
    return 1;
}
