#include "sdk/cpu/intel_core.h"

#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kMobileClass = 0x1002000;
constexpr uint32_t kCoreClass = 0x1004000;
constexpr uint32_t kCore2Class = 0x1008000;  // the dual-core Yonah Pentium's
constexpr uint32_t kEngineeringSampleBit = 27;  // MSR 0x17, clear on samples
constexpr uint32_t kLowTjMaxBit = 30;           // MSR 0xEE

enum MobileSubcode : uint32_t { kPentiumM = 0x01, kCeleronM = 0x02 };
enum CoreSubcode : uint32_t { kSolo = 0x01, kDuo = 0x02, kCoreCeleronM = 0x03, kCeleron = 0x04, kPentium = 0x06 };

// Brand IDs of Banias and Dothan.
constexpr int32_t kBrandCeleronM = 0x12;
constexpr int32_t kBrandA1xx = 0x15;
constexpr int32_t kBrandPentiumM = 0x16;
constexpr int32_t kBrandShelton = 0x20;

// The Pentium M brand string's clock texts, first pair found. "600MHz"
// comes last, so that a clock the list lacks (2600MHz) may still end there.
constexpr StockClockText kMobileClocks[] = {
    {"3333MHz", 3333}, {"3.33GHz", 3333}, {"3200MHz", 3200}, {"3.20GHz", 3200}, {"3000MHz", 3000},
    {"3.00GHz", 3000}, {"2933MHz", 2933}, {"2.93GHz", 2933}, {"2666MHz", 2666}, {"2.66GHz", 2666},
    {"2667MHz", 2666}, {"2.67GHz", 2666}, {"2500MHz", 2500}, {"2.50GHz", 2500}, {"2400MHz", 2400},
    {"2.40GHz", 2400}, {"2333MHz", 2333}, {"2.33GHz", 2333}, {"2266MHz", 2266}, {"2.26GHz", 2266},
    {"2200MHz", 2200}, {"2.20GHz", 2200}, {"2166MHz", 2166}, {"2.16GHz", 2166}, {"2133MHz", 2133},
    {"2.13GHz", 2133}, {"2100MHz", 2100}, {"2.10GHz", 2100}, {"2000MHz", 2000}, {"2.00GHz", 2000},
    {"1866MHz", 1866}, {"1.86GHz", 1866}, {"1867MHz", 1866}, {"1.87GHz", 1866}, {"1833MHz", 1833},
    {"1.83GHz", 1833}, {"1800MHz", 1800}, {"1.80GHz", 1800}, {"1733MHz", 1733}, {"1.73GHz", 1733},
    {"1700MHz", 1700}, {"1.7GHz", 1700},   {"1666MHz", 1666}, {"1.66GHz", 1666}, {"1667MHz", 1666},
    {"1.67GHz", 1666}, {"1600MHz", 1600}, {"1.60GHz", 1600}, {"1500MHz", 1500}, {"1.50GHz", 1500},
    {"1467MHz", 1466}, {"1.47GHz", 1466}, {"1466MHz", 1466}, {"1.46GHz", 1466}, {"1400MHz", 1400},
    {"1.40GHz", 1400}, {"1333MHz", 1333}, {"1.33GHz", 1333}, {"1300MHz", 1300}, {"1.30GHz", 1300},
    {"1200MHz", 1200}, {"1.20GHz", 1200}, {"1100MHz", 1100}, {"1.10GHz", 1100}, {"1000MHz", 1000},
    {"1.00GHz", 1000}, {"1066MHz", 1066}, {"1.06GHz", 1066}, {"933MHz", 933},   {"900MHz", 900},
    {"800MHz", 800},   {"600MHz", 600},
};

constexpr StockClockText kCoreClocks[] = {
    {"2000MHz", 2000}, {"2.00GHz", 2000}, {"1866MHz", 1866}, {"1.86GHz", 1866}, {"1733MHz", 1733},
    {"1.73GHz", 1733}, {"1600MHz", 1600}, {"1.60GHz", 1600}, {"1466MHz", 1466}, {"1.46GHz", 1466},
    {"1333MHz", 1333}, {"1.33GHz", 1333}, {"1200MHz", 1200}, {"1.20GHz", 1200}, {"1066MHz", 1066},
    {"1.06GHz", 1066},
};

// The nominal bus clocks a stock clock over the ratio may give.
constexpr int32_t kNominalBusClocks[] = {100, 133, 166, 200, 266, 333};

// Both read MSR 0x17 alike: platform ID and the mobile flag of its bit 0.
const MSR_Register* ReadPlatformId(CCPUThread* thread) {
    const MSR_Register* id = thread->GetMSR(intel_msr::kPlatformId);
    if (!id) return nullptr;
    thread->m_iPlatformId = static_cast<int32_t>(Bits64(id->GetValue(), 52, 50));
    thread->m_bMobile = static_cast<uint32_t>(thread->m_iPlatformId & 1);
    return id;
}

// The maximum VID code of the control; -1 without one.
int32_t MaxVid(const CCPUInfos* infos) { return infos->m_pFIDVID ? infos->m_pFIDVID->m_iMaxVID : -1; }

} // namespace

CCPUInfos* CreateIntelMobileInfos() { return new Intel_Mobile_Infos; }
CCPUInfos* CreateIntelCoreInfos() { return new Intel_Core_Infos; }

// ---- Pentium M ----

Intel_Mobile_Infos::Intel_Mobile_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kMobileClass) {}

void Intel_Mobile_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

float Intel_Mobile_Infos::GetMultiplier(CCPUThread*) { return IntelMobileMultiplier(this); }

void Intel_Mobile_Infos::Initialize(CCPUThread* thread) {
    if (HasEnhancedSpeedStep(thread)) {
        m_pFIDVID = new Mobile_FIDVID_Control;
        m_pFIDVID->Refresh();
    }
    CacheMSRs(thread, {intel_msr::kMiscEnable});
    ReadPlatformInfo(thread);
    GetStockClock(thread);
}

void Intel_Mobile_Infos::ReadPlatformInfo(CCPUThread* thread) {
    if (!ReadPlatformId(thread)) return;
    switch (thread->m_iPlatformId) {
    case 3: thread->m_iPackageCode = 0x10019; break;  // Socket 479 mBGA
    case 5: thread->m_iPackageCode = 0x10018; break;  // Socket 479 mPGA
    case 7: thread->m_iPackageCode = 0x10015; break;  // Socket 479 FCBGA
    default: break;
    }
}

void Intel_Mobile_Infos::GetStockClock(CCPUThread* thread) {
    if (const int32_t mhz = StockClockFromText(thread->m_szBrandString, kMobileClocks); mhz > 0)
        thread->m_iStockClock = mhz;
    if (thread->m_iStockClock <= 0 || !m_pFIDVID) return;
    const float ratio = m_pFIDVID->GetMaxMultiplier();
    if (ratio <= 0) return;
    const auto bus = static_cast<int32_t>(static_cast<float>(thread->m_iStockClock) / ratio);
    for (int32_t nominal : kNominalBusClocks)
        if (bus == nominal) thread->m_iNominalBusClock = bus;
}

int Intel_Mobile_Infos::Identify(CCPUThread* thread) {
    const int32_t model = thread->m_iExtModel;
    if (model != 0x09 && model != 0x0D) return 1;
    LegacyNamer name(thread, kMobileClass);
    const bool dothan = model == 0x0D;
    name.Name("Intel Pentium M", kPentiumM);
    name.Codename(dothan ? "Dothan" : "Banias");
    thread->m_fTechnology = dothan ? 0.09f : 0.13f;
    thread->m_iLinkMultiplier = 4;
    if (dothan) name.Stepping({{1, "A1"}, {2, "A2"}, {6, "B1"}, {8, "C0"}});
    else name.Stepping({{5, "B1"}});
    const int32_t bus = thread->m_iNominalBusClock;
    switch (thread->m_iBrandId) {
    case kBrandCeleronM:
        name.Name("Intel Celeron M", kCeleronM);
        if (dothan)
            name.NumberAt({{900, 353}, {1000, 373}, {1300, 350}, {1400, 360}, {1500, 370}, {1600, 380}, {1700, 390}});
        else
            name.NumberAt({{1300, 320}, {1400, 330}, {1500, 340}});
        break;
    case kBrandA1xx:
        if (!dothan) break;
        name.Name("Intel A1xx");
        if (const char* part = TextAt({{600, "Intel A100"}, {800, "Intel A110"}}, thread->m_iStockClock)) name.Name(part);
        break;
    case kBrandPentiumM:
        name.Name("Intel Pentium M", kPentiumM);
        if (!dothan) {
            name.NumberAt({{1100, 713}});
            break;
        }
        {
            const int32_t vid = MaxVid(this);
            const bool lowVoltage = vid != -1 && vid < 0x20;
            name.NumberAt({{1400, lowVoltage ? 738 : 710}, {1500, lowVoltage ? 758 : 715},
                           {1600, bus == 100 ? 725 : bus == 133 ? 730 : 0}, {1700, 735}, {1733, 740}, {1800, 745},
                           {1866, 750}, {2000, bus == 100 ? 755 : bus == 133 ? 760 : 0}, {2100, 765}, {2133, 770},
                           {2266, 780}, {2400, 790}});
        }
        break;
    case kBrandShelton:
        if (!dothan) name.Name("Intel Shelton");
        break;
    default: break;
    }
    return 1;
}

// ---- Core ----

Intel_Core_Infos::Intel_Core_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kCoreClass) {}

void Intel_Core_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

float Intel_Core_Infos::GetMultiplier(CCPUThread*) { return IntelMobileMultiplier(this); }

float Intel_Core_Infos::GetTemperature(CCPUThread* thread) { return IntelDigitalThermalTemperature(thread); }

float Intel_Core_Infos::GetBusClock(CCPUThread* thread) { return MeasuredBusClock(thread); }

void Intel_Core_Infos::Initialize(CCPUThread* thread) {
    if (HasEnhancedSpeedStep(thread)) {
        m_pFIDVID = new Core_FIDVID_Control;
        m_pFIDVID->Refresh();
        thread->m_fMaxNonTurboMultiplier = m_pFIDVID->GetMaxMultiplier();
        thread->m_fMinMultiplier = m_pFIDVID->GetMinMultiplier();
    }
    CacheMSRs(thread, {intel_msr::kMiscEnable});
    ReadPlatformInfo(thread);
    GetStockClock(thread);
    MSR_Register config(intel_legacy_msr::kExtendedConfig);
    const bool lowTjMax = config.Read() && Bits64(config.m_dwLow, kLowTjMaxBit, kLowTjMaxBit);
    CreateLegacyTemperatureSensor(thread, lowTjMax ? 85.0f : 100.0f);
}

void Intel_Core_Infos::ReadPlatformInfo(CCPUThread* thread) {
    const MSR_Register* id = ReadPlatformId(thread);
    if (id && !Bits64(id->m_dwLow, kEngineeringSampleBit, kEngineeringSampleBit)) thread->m_bEngineeringSample = 1;
}

void Intel_Core_Infos::GetStockClock(CCPUThread* thread) {
    FsbAndBrandStockClock(thread, kCoreClocks, m_pFIDVID, true);
}

int Intel_Core_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iExtModel != 0x0E) return 1;
    LegacyNamer name(thread, kCoreClass);
    name.Name("Intel Core", 0);
    name.Codename("Yonah");
    thread->m_fTechnology = 0.065f;
    thread->m_iPackageCode = 0x10018;  // Socket 479 mPGA
    thread->m_iLinkMultiplier = 4;
    name.Stepping({{8, "C0"}, {12, "D0"}});
    const int32_t l2 = thread->GetL2Cache();
    const int32_t mhz = thread->m_iStockClock;
    if (thread->m_iCoresPerPackage == 1) {
        if (l2 == 512) {
            name.Name("Intel Celeron", kCeleron);
            name.NumberAt({{1333, 215}});
        } else if (l2 == 1024) {
            name.Name("Intel Celeron M", kCoreCeleronM);
            name.NumberAt({{1066, 423}, {1200, 443}, {1466, 410}, {1600, 420}, {1733, 430}, {1866, 440}, {2000, 450},
                           {2133, 460}});
        } else {
            name.Append(" Solo");
            name.Subcode(kSolo);
            name.AppendAt({{1666, " T1300"}, {1833, " T1400"}});
        }
        return 1;
    }
    if (thread->m_iCoresPerPackage != 2) return 1;
    name.Append(" Duo");
    name.Subcode(kDuo);
    if (l2 == 1024) {
        // The dual-core Yonah Pentium carries the Core 2 Pentium's code.
        LegacyNamer(thread, kCore2Class).Name("Intel Pentium", kPentium);
    }
    const int32_t vid = MaxVid(this);
    const char* at1666 = vid != -1 && vid <= 0x22 ? " L2400" : thread->m_bVirtualization ? " T2300" : " T2300E";
    if (mhz == 1600) name.Append(l2 == 2048 ? " T2050" : l2 == 1024 ? " T2060" : nullptr);
    if (mhz == 1866) name.Append(l2 == 1024 ? " T2130" : l2 == 2048 ? " T2350" : nullptr);
    name.AppendAt({{1666, at1666}, {1733, l2 == 1024 ? " T2080" : " T2250"}, {1833, " T2400"}, {2000, " T2500"},
                   {2166, " T2600"}, {2333, " T2700"}});
    return 1;
}
