// Identify of the Bonnell description: the codename, package, process and
// model number of each Atom by extended model, platform ID and stepping.
#include <cstring>
#include <span>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_atom_shared.h"
#include "sdk/cpu/intel_bonnell.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint32_t kCloverviewClass = 0x1010101;
constexpr int32_t kLinkMultiplier = 4;

enum BonnellPackage : int32_t {
    kPackageSilverthorne = 0x10025,  // Socket 441 FCBGA8
    kPackageDiamondville = 0x10026,  // Socket 437 FCBGA8
    kPackageCedarview = 0x1002F,     // Socket FCMBA3
    kPackagePineview = 0x10037,      // Socket 559 FCBGA8
};

enum class SteppingRange { Any, Below9, From9 };

// One kind of processor of extended model 0x1C.
struct Model1CRow {
    uint32_t platformIds;  // bit n for platform ID n
    SteppingRange steppings;
    const char* codename;
    int32_t packageCode;
    std::span<const AtomModelNumber> numbers;
};

constexpr AtomModelNumber kSilverthorne[] = {
    {.mhz = 800, .suffix = " Z500"},   {.mhz = 1100, .suffix = " Z510"}, {.mhz = 1333, .suffix = " Z520"},
    {.mhz = 1600, .suffix = " Z530"},  {.mhz = 1866, .suffix = " Z540"}, {.mhz = 2000, .suffix = " Z550"},
};
constexpr AtomModelNumber kPineviewD[] = {
    {.mhz = 1666, .suffix = " D410", .cores = 1}, {.mhz = 1800, .suffix = " D425", .cores = 1},
    {.mhz = 1666, .suffix = " D510", .cores = 2}, {.mhz = 1800, .suffix = " D525", .cores = 2},
};
constexpr AtomModelNumber kPineviewN[] = {
    {.mhz = 1666, .suffix = " N450", .cores = 1},
    {.mhz = 1833, .suffix = " N470", .cores = 1},
};
constexpr AtomModelNumber kDiamondville2xx[] = {
    {.mhz = 1600, .suffix = " N270", .mobile = 1}, {.mhz = 1666, .suffix = " N280", .mobile = 1},
    {.mhz = 800, .suffix = " 200", .mobile = 0},   {.mhz = 1100, .suffix = " 210", .mobile = 0},
    {.mhz = 1333, .suffix = " 220", .mobile = 0},  {.mhz = 1600, .suffix = " 230", .mobile = 0},
    {.mhz = 1866, .suffix = " 240", .mobile = 0},
};
constexpr AtomModelNumber kDiamondville3xx[] = {
    {.mhz = 800, .suffix = " 300"},  {.mhz = 1100, .suffix = " 310"}, {.mhz = 1333, .suffix = " 320"},
    {.mhz = 1600, .suffix = " 330"}, {.mhz = 1866, .suffix = " 340"},
};
constexpr AtomModelNumber kPineview[] = {{.mhz = 1500, .suffix = " N550", .cores = 2}};

constexpr Model1CRow kModel1C[] = {
    {1u << 0, SteppingRange::Below9, "Silverthorne", kPackageSilverthorne, kSilverthorne},
    {1u << 0 | 1u << 3, SteppingRange::From9, "Pineview-D", kPackagePineview, kPineviewD},
    {1u << 2, SteppingRange::From9, "Pineview-N", kPackagePineview, kPineviewN},
    {1u << 2, SteppingRange::Below9, "Diamondville", kPackageDiamondville, kDiamondville2xx},
    {1u << 3, SteppingRange::Below9, "Diamondville", kPackageDiamondville, kDiamondville3xx},
    {1u << 4, SteppingRange::Any, "Pineview", kPackagePineview, kPineview},
};

// Cedarview: the brand string tells apart the parts of one clock.
constexpr AtomModelNumber kCedarview[] = {
    {.mhz = 1600, .suffix = " N2600"},
    {.mhz = 1700, .suffix = " N2650"},
    {.mhz = 1866, .suffix = " D2500", .contains = "2500"},
    {.mhz = 1866, .suffix = " D2550", .contains = "2550"},
    {.mhz = 1866, .suffix = " N2800"},
    {.mhz = 2000, .suffix = " D2560", .contains = "2560"},
    {.mhz = 2000, .suffix = " N2850", .contains = "2850"},
    {.mhz = 2133, .suffix = " D2700"},
};
constexpr AtomModelNumber kCloverview[] = {{.mhz = 1800, .suffix = " Z2760"}};

bool InRange(SteppingRange range, int32_t stepping) {
    switch (range) {
    case SteppingRange::Below9: return stepping < 9;
    case SteppingRange::From9: return stepping >= 9;
    case SteppingRange::Any: return true;
    }
    return false;
}

const Model1CRow* FindModel1CRow(int32_t platformId, int32_t stepping) {
    if (platformId < 0 || platformId > 31) return nullptr;
    for (const Model1CRow& row : kModel1C)
        if ((row.platformIds & (1u << platformId)) && InRange(row.steppings, stepping)) return &row;
    return nullptr;
}

void SetPlatform(CCPUThread* thread, const char* codename, int32_t packageCode, float technology) {
    if (codename) SetThreadText(thread->m_szCodename, codename);
    thread->m_iPackageCode = packageCode;
    thread->m_fTechnology = technology;
}

// Stepping 1 covers B0 and C0; the host bridge's revision tells them apart.
const char* CloverviewStepping(int32_t stepping) {
    if (stepping == 0) return "A0";
    if (stepping != 1) return nullptr;
    uint32_t revision = 0;
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci || !pci->ReadConfig(0, 0, 0, 8, &revision)) return "B0/C0";
    switch (revision & 0xF) {
    case 4: return "B0";
    case 5: return "C0";
    default: return "B0/C0";
    }
}

} // namespace

int Intel_Bonnell_Infos::Identify(CCPUThread* thread) {
    SetThreadText(thread->m_szName, "Intel Atom");
    thread->m_dwClassCode = kIntelBonnellClass;
    thread->m_iLinkMultiplier = kLinkMultiplier;
    const AtomKeys keys{.stockClock = thread->m_iStockClock,
                        .cores = thread->m_iCoresPerPackage,
                        .mobile = static_cast<int32_t>(thread->m_bMobile),
                        .brand = thread->m_szBrandString};
    const char* stepping = nullptr;
    switch (thread->m_iExtModel) {
    case 0x1C:
        if (const Model1CRow* row = FindModel1CRow(thread->m_iPlatformId, thread->m_iStepping)) {
            SetPlatform(thread, row->codename, row->packageCode, 0.045f);
            ApplyAtomModelNumber(thread, row->numbers, keys);
        } else {
            SetPlatform(thread, nullptr, kPackageDiamondville, 0.045f);
        }
        stepping = thread->m_iStepping == 2 ? "C0" : thread->m_iStepping == 10 ? "B0" : nullptr;
        break;
    case 0x26:
    case 0x36:
        SetPlatform(thread, "Cedarview", kPackageCedarview, 0.032f);
        ApplyAtomModelNumber(thread, kCedarview, keys);
        stepping = thread->m_iStepping == 1 ? "B0/B2/B3" : nullptr;
        break;
    case 0x35:
        SetPlatform(thread, "Cloverview", kPackageCedarview, 0.032f);
        ApplyAtomModelNumber(thread, kCloverview, keys);
        thread->m_dwClassCode = kCloverviewClass;
        stepping = CloverviewStepping(thread->m_iStepping);
        break;
    default: break;
    }
    if (stepping) SetThreadText(thread->m_szCoreStepping, stepping);
    return 1;
}
