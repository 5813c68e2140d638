#include "sdk/cpu/intel_core2.h"

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/cpu/saved_msr.h"

namespace {

constexpr uint32_t kEngineeringSampleBit = 27;    // MSR 0x17, clear on samples
constexpr uint32_t kExtremeEditionBit = 31;       // IA32_PERF_STATUS
constexpr uint32_t kMultiplierHiddenBit = 27;     // MSR 0xEE
constexpr uint32_t kLowTjMaxBit = 30;             // MSR 0xEE
constexpr uint32_t kNoStockRatioHighBit = 31;     // MSR 0xCE bit 63
constexpr float kMinimumMultiplier = 6.0f;
// IA32_PERFEVTSEL0 counting the bus cycles (event 0x3C, unit mask 0x01) in
// user and kernel mode, and its enable bit.
constexpr uint32_t kBusCyclesEvent = 0x3013C;
constexpr uint32_t kCounterEnable = 1u << 22;
// Fixed counter 1 (unhalted core cycles): its global enable (high dword of
// 0x38F) and its control field counting in both privilege levels (0x38D).
constexpr uint32_t kFixedCountersEnable = 0x7;
constexpr uint32_t kCoreCyclesBothLevels = 0x30;

enum Model : int32_t { kMerom = 0x0F, kConroeL = 0x16, kPenryn = 0x17, kDunnington = 0x1D };

// The package by extended model and platform ID.
struct PackageRow {
    int32_t extModel;
    int32_t platformId;  // -1: any
    int32_t packageCode;
    bool mobile;
    bool server;
};
constexpr PackageRow kPackages[] = {
    {kMerom, 0, 0x1001C, false, false},    {kMerom, 2, 0x1001D, false, true},
    {kMerom, 3, 0x1001B, false, true},     {kMerom, 4, 0x1001C, false, false},
    {kMerom, 5, 0x10018, true, false},     {kMerom, 6, 0x1001D, false, true},
    {kMerom, 7, 0x1001E, true, false},     {kConroeL, 0, 0x1001C, false, false},
    {kConroeL, 1, 0x10018, true, false},   {kConroeL, 2, 0x10015, false, false},
    {kConroeL, 3, 0x10018, true, false},   {kConroeL, 7, 0x10018, true, false},
    {kPenryn, 0, 0x1001C, false, false},   {kPenryn, 2, 0x1001D, false, true},
    {kPenryn, 4, 0x1001C, false, false},   {kPenryn, 5, 0x1001E, true, false},
    {kPenryn, 6, 0x1001D, false, true},    {kPenryn, 7, 0x1001E, true, false},
    {kDunnington, -1, 0x1001B, false, true},
};

// The brand string's clock texts, first pair found.
constexpr StockClockText kStockClocks[] = {
    {"3400MHz", 3400}, {"3.40GHz", 3400}, {"3333MHz", 3333}, {"3.33GHz", 3333}, {"3200MHz", 3200},
    {"3.20GHz", 3200}, {"3166MHz", 3166}, {"3.16GHz", 3166}, {"3000MHz", 3000}, {"3.00GHz", 3000},
    {"2933MHz", 2933}, {"2.93GHz", 2933}, {"2800MHz", 2800}, {"2.80GHz", 2800}, {"2700MHz", 2700},
    {"2.70GHz", 2700}, {"2667MHz", 2666}, {"2.66GHz", 2666}, {"2533MHz", 2533}, {"2.53GHz", 2533},
    {"2500MHz", 2500}, {"2.50GHz", 2500}, {"2400MHz", 2400}, {"2.40GHz", 2400}, {"2300MHz", 2300},
    {"2.30GHz", 2300}, {"2266MHz", 2266}, {"2.26GHz", 2266}, {"2200MHz", 2200}, {"2.20GHz", 2200},
    {"2100MHz", 2100}, {"2.10GHz", 2100}, {"2000MHz", 2000}, {"2.00GHz", 2000}, {"1800MHz", 1800},
    {"1.80GHz", 1800}, {"1600MHz", 1600}, {"1.60GHz", 1600},
};

// The TDP in watts of MSR 0x17 bits 59:56 (model 0x17); -1 for code 0.
int32_t TdpOfCode(uint32_t t) {
    int32_t sum = 5 * int32_t(t & 1) + 10 * int32_t((t >> 1) & 1) + 30 * int32_t((t >> 2) & 1) + 60 * int32_t((t >> 3) & 1);
    if ((t & 0xE) == 0xC) sum += 5;
    return sum ? sum + 35 : -1;
}

} // namespace

CCPUInfos* CreateIntelCore2Infos() { return new Intel_Core_2_Infos; }

Intel_Core_2_Infos::Intel_Core_2_Infos() : CCPUInfos(CPU_INFOS_FAMILY, CPU_CLASS_INTEL_CORE_2) {}

void Intel_Core_2_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

void Intel_Core_2_Infos::ReadPlatformInfo(CCPUThread* thread) {
    const MSR_Register* id = thread->GetMSR(intel_msr::kPlatformId);
    if (!id) return;
    const uint64_t value = id->GetValue();
    thread->m_iPlatformId = static_cast<int32_t>(Bits64(value, 52, 50));
    uint32_t sample = Bits64(value, kEngineeringSampleBit, kEngineeringSampleBit) ? 0 : 1;
    // The first Merom steppings carry the bit the other way round.
    if (thread->m_iExtModel == kMerom && thread->m_iStepping <= 1) sample ^= 1;
    thread->m_bEngineeringSample = sample;
    thread->m_fMinMultiplier = kMinimumMultiplier;
    if (thread->m_iExtModel == kPenryn)
        if (const int32_t tdp = TdpOfCode(Bits64(value, 59, 56)); tdp > 0) thread->m_fTDP = static_cast<float>(tdp);
    for (const PackageRow& row : kPackages) {
        if (row.extModel != thread->m_iExtModel || (row.platformId != -1 && row.platformId != thread->m_iPlatformId))
            continue;
        thread->m_iPackageCode = row.packageCode;
        if (row.mobile) thread->m_bMobile = 1;
        if (row.server) m_bServerSocket = 1;
        break;
    }
}

void Intel_Core_2_Infos::GetStockClock(CCPUThread* thread) {
    FsbAndBrandStockClock(thread, kStockClocks, m_pFIDVID, !m_bNoStockRatio);
}

void Intel_Core_2_Infos::Initialize(CCPUThread* thread) {
    ReadPlatformInfo(thread);
    if (HasEnhancedSpeedStep(thread)) {
        m_pFIDVID = new Core_2_FIDVID_Control(thread->m_bMobile);
        if (m_pFIDVID->Refresh())
            m_bExtremeEdition =
                static_cast<int32_t>(Bits64(m_pFIDVID->m_pStatus->m_dwLow, kExtremeEditionBit, kExtremeEditionBit));
        thread->m_fMaxNonTurboMultiplier = m_pFIDVID->GetMaxMultiplier();
        thread->m_fMinMultiplier = m_pFIDVID->GetMinMultiplier();
    }
    CacheMSRs(thread, {0x3F});
    if (const MSR_Register* info = thread->GetMSR(intel_msr::kPlatformInfo))
        m_bNoStockRatio = static_cast<int32_t>(Bits64(info->m_dwHigh, kNoStockRatioHighBit, kNoStockRatioHighBit));
    CacheMSRs(thread, {intel_msr::kMiscEnable});
    if (const MSR_Register* config = thread->GetMSR(intel_legacy_msr::kExtendedConfig))
        m_bMultiplierHidden = static_cast<int32_t>(Bits64(config->m_dwLow, kMultiplierHiddenBit, kMultiplierHiddenBit));
    CacheMSRs(thread, {intel_legacy_msr::kL2ControlRegister});
    if (m_bExtremeEdition) CacheMSRs(thread, {intel_msr::kFlexRatio});
    GetStockClock(thread);
    CreateLegacyTemperatureSensor(thread, TjMax(thread));
}

float Intel_Core_2_Infos::TjMax(CCPUThread* thread) const {
    const int32_t model = thread->m_iExtModel;
    const int32_t stepping = thread->m_iStepping;
    const bool lowTjMaxModel =
        (model == kMerom && (stepping == 5 || stepping == 6 || stepping == 7 || stepping == 13)) || model == kConroeL;
    if (lowTjMaxModel) {
        MSR_Register config(intel_legacy_msr::kExtendedConfig);
        if (config.Read() && Bits64(config.m_dwLow, kLowTjMaxBit, kLowTjMaxBit)) return 85.0f;
    }
    if ((model == kPenryn || model == kDunnington) && m_bExtremeEdition) {
        if (thread->m_iStockClock == 3000) return 95.0f;
        if (thread->m_iStockClock == 3200) return 85.0f;
    }
    return 100.0f;
}

// ---- Measurements ----

float Intel_Core_2_Infos::GetMultiplier(CCPUThread* thread) {
    thread->m_fEffectiveMultiplier = -1.0f;
    if (m_pFIDVID && m_pFIDVID->Refresh()) thread->m_fEffectiveMultiplier = m_pFIDVID->GetCurrentMultiplier();
    return m_bMultiplierHidden ? 0.0f : thread->m_fEffectiveMultiplier;
}

float Intel_Core_2_Infos::GetTemperature(CCPUThread* thread) {
    if (!thread->m_pCoreTemperature) CreateLegacyTemperatureSensor(thread, TjMax(thread));
    return IntelDigitalThermalTemperature(thread);
}

// The counters are put back as they were found: the event select, then the
// fixed-counter controls (declared in the reverse order).
float Intel_Core_2_Infos::GetBusClock(CCPUThread*) {
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!timer) return -1.0f;
    SavedMsr select(intel_legacy_msr::kPerfEventSelect0);
    if (!select.Saved()) return -1.0f;
    select.Write(0, kBusCyclesEvent);
    MSR_Register programmed(intel_legacy_msr::kPerfEventSelect0);
    if (!programmed.Read()) return -1.0f;
    select.Write(programmed.m_dwHigh, programmed.m_dwLow | kCounterEnable);
    return MeasureMSRRate(timer, intel_legacy_msr::kPerfCounter0);
}

float Intel_Core_2_Infos::GetCoreClock(CCPUThread*, CTimer*) {
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!timer) return -1.0f;
    SavedMsr global(intel_msr::kGlobalControl);
    if (global.Saved()) global.Write(global.High() | kFixedCountersEnable, global.Low());
    SavedMsr fixed(intel_msr::kFixedCounterControl);
    if (fixed.Saved()) fixed.Write(fixed.High(), fixed.Low() | kCoreCyclesBothLevels);
    return MeasureMSRRate(timer, intel_msr::kFixedCoreCycles);
}
