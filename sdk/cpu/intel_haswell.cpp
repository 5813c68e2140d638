#include "sdk/cpu/intel_haswell.h"

#include <cmath>

#include "platform/sync.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"
#include "sdk/cpu/intel_shared_bodies_rapl.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr int32_t kNominalBusClock = 100;
constexpr const char* kMailboxMutexName = "Access_Intel_OC_Mailbox";

constexpr StockClockText kStockClocks[] = {
    {"4.00GHz", 4000}, {"3.90GHz", 3900}, {"3.80GHz", 3800}, {"3.70GHz", 3700}, {"3.60GHz", 3600},
    {"3.50GHz", 3500}, {"3.40GHz", 3400}, {"3.30GHz", 3300}, {"3.20GHz", 3200}, {"3.10GHz", 3100},
    {"3.00GHz", 3000}, {"2.80GHz", 2800}, {"2.70GHz", 2700}, {"2.60GHz", 2600}, {"2.50GHz", 2500},
    {"2.40GHz", 2400}, {"2.30GHz", 2300}, {"2.20GHz", 2200}, {"2.10GHz", 2100}, {"2.00GHz", 2000},
    {"1.90GHz", 1900}, {"1.80GHz", 1800}, {"1.70GHz", 1700}, {"1.60GHz", 1600}, {"1.50GHz", 1500},
    {"1.40GHz", 1400}, {"1.30GHz", 1300}, {"1.10GHz", 1100}, {"0.80GHz", 800},
};

struct PackageRow {
    int32_t extModel;
    uint32_t platformIds;
    int32_t packageCode;  // 0: unchanged
    bool mobile;
};
constexpr PackageRow kPackages[] = {
    {0x3C, PlatformIds({1}), kPackageSocket1150LGA, false},
    {0x3C, PlatformIds({4}), kPackageSocket947rPGA, true},
    {0x3D, PlatformIds({6}), 0, true},
    {0x3D, PlatformIds({7}), kPackageSocket1234FCBGA, true},
    {0x3F, PlatformIds({0, 2}), kPackageSocket2011LGA, false},
    {0x45, PlatformIds({6}), kPackageSocket1168BGA, true},
    {0x46, PlatformIds({5}), kPackageSocket1364BGA, true},
};

// The energy registers in sampling order (the uncore sensor comes between
// the graphics and the DRAM).
constexpr uint32_t kEnergyRegisters[] = {intel_msr::kPackageEnergy, intel_msr::kCoresEnergy,
                                         intel_msr::kGraphicsEnergy, intel_msr::kDramEnergy};

} // namespace

CCPUInfos* CreateIntelHaswellInfos() { return new Intel_Haswell_Infos; }

Intel_Haswell_Infos::Intel_Haswell_Infos()
    : CCPUInfos(CPU_INFOS_FAMILY, kIntelHaswellClass),
      m_hMailboxMutex(BRENIKSDK::CreateGlobalMutex(0, kMailboxMutexName)) {}

Intel_Haswell_Infos::~Intel_Haswell_Infos() {
    if (!m_hMailboxMutex) return;
    ReleaseMutex(m_hMailboxMutex);
    CloseHandle(m_hMailboxMutex);
}

std::span<const StockClockText> Intel_Haswell_Infos::StockClocks() const { return kStockClocks; }

void Intel_Haswell_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

void Intel_Haswell_Infos::Initialize(CCPUThread* thread) {
    m_Ratios.turbo = ReadTurboState(thread, CpuidTurboBit(thread, false));
    if (HasEnhancedSpeedStep(thread)) InstallFIDVIDWithVIDSensor(this, thread, new Sandy_Bridge_FIDVID_Control);
    ReadPlatformInfo(thread);
    GetStockClock(thread);
    CacheMSRs(thread, {0x31, 0x35, 0x39, 0xC1, 0xC2, 0xC3, 0xC4, 0x186, 0x187});
    ReadEfficiencyRatios(thread, m_Ratios);
    ReadTurboRatioLimits(thread, m_Ratios, 3);
    ReadOverclockingBins(thread, m_Ratios);
    CacheMSRs(thread, {0x19A, 0x1A4, intel_msr::kPackageThermStatus, 0x1FC});
    m_dEnergyUnit = kDefaultEnergyUnit;
    if (const MSR_Register* unit = thread->GetMSR(intel_msr::kRaplPowerUnit))
        m_dEnergyUnit = std::ldexp(1.0, -static_cast<int>(Bits64(unit->m_dwLow, 12, 8)));
    CacheMSRs(thread, {0x601, 0x602, 0x610});
    for (uint32_t msr : kEnergyRegisters) {
        if (msr == intel_msr::kDramEnergy) CreateUncoreSensor(thread);
        if (CreateEnergySensor(thread, msr)) ReadEnergyCounter(thread, msr);
    }
    ReadPackagePowerInfo(thread, m_Ratios);
    if (HasDigitalThermalSensor(thread)) {
        const float tjMax = ReadTjMax(thread);
        CreateCoreTemperatureSensor(thread, tjMax);
        CreatePackageTemperatureSensor(thread, tjMax);
    }
}

void Intel_Haswell_Infos::ReadPlatformInfo(CCPUThread* thread) {
    ReadPlatformIdAndRatio(thread);
    const int32_t id = thread->m_iPlatformId;
    for (const PackageRow& row : kPackages) {
        if (row.extModel != thread->m_iExtModel || id < 0 || !(row.platformIds & (1u << id))) continue;
        if (row.packageCode) thread->m_iPackageCode = row.packageCode;
        if (row.mobile) thread->m_bMobile = 1;
    }
}

void Intel_Haswell_Infos::GetStockClock(CCPUThread* thread) {
    thread->m_iNominalBusClock = kNominalBusClock;
    thread->m_iStockClock = StockClockFromText(thread->m_szBrandString, StockClocks());
    if (thread->m_iStockClock == -1)
        if (const MSR_Register* info = thread->GetMSR(intel_msr::kPlatformInfo))
            thread->m_iStockClock =
                static_cast<int32_t>(GetExactBusClock(thread) * static_cast<float>(Bits64(info->GetValue(), 15, 8)));
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!timer) return;
    m_Ratios.tscRate = MeasureMSRRate(timer, intel_msr::kTimeStampCounter);
    m_Ratios.tsc24Rate = MeasureMSRRate(timer, intel_msr::kTsc24);
    m_Ratios.aperfRate = MeasureMSRRate(timer, intel_msr::kAperf);
    m_Ratios.mperfRate = MeasureMSRRate(timer, intel_msr::kMperf);
}

// ---- Measurements ----

float Intel_Haswell_Infos::GetMultiplier(CCPUThread* thread) { return IntelFIDVIDMultiplier(this, thread); }

float Intel_Haswell_Infos::GetTemperature(CCPUThread* thread) { return IntelCoreAndPackageTemperature(thread); }

float Intel_Haswell_Infos::GetCoreClock(CCPUThread* thread, CTimer* timer) {
    return IntelFixedCounterCoreClock(thread, timer);
}

float Intel_Haswell_Infos::GetBusClock(CCPUThread* thread) { return MobileBusClock(thread, m_Ratios.maxNonTurboRatio); }
