#include "sdk/cpu/intel_bonnell.h"

#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_atom_shared.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kPowerOnConfigurationMsr = 0x2A;  // EBL_CR_POWERON
// Read at start-up into the thread's register cache, for the thread dump.
constexpr uint32_t kDumpedMsrs[] = {0x3F, intel_msr::kPlatformInfo, intel_msr::kMiscEnable, 0xEE, 0x11E};
constexpr uint32_t kPerformanceStatusBit = 1u << 31;
constexpr float kLowestMultiplier = 6.0f;
constexpr int32_t kSilverthorneModel = 0x1C;
constexpr float kTjMax = 100.0f;
constexpr float kSilverthorneTjMax = 105.0f;

// MSR 0xCD bits 2:0 -> the nominal bus clock in MHz; code 7 means nothing.
constexpr int32_t kBusClocks[] = {266, 133, 200, 166, 333, 100, 400};

} // namespace

CCPUInfos* CreateIntelBonnellInfos() { return new Intel_Bonnell_Infos; }

Intel_Bonnell_Infos::Intel_Bonnell_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kIntelBonnellClass) {}

void Intel_Bonnell_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

void Intel_Bonnell_Infos::Initialize(CCPUThread* thread) {
    if (HasEnhancedSpeedStep(thread)) m_pFIDVID = new Core_2_FIDVID_Control(1);
    if (m_pFIDVID) m_pFIDVID->Refresh();
    ReadPlatformInfo(thread);
    GetStockClock(thread);
    for (uint32_t msr : kDumpedMsrs) thread->GetMSR(msr);
    if (m_bPerformanceStatus) thread->GetMSR(intel_msr::kFlexRatio);
    if (HasDigitalThermalSensor(thread))
        CreateCoreTemperatureSensor(thread, thread->m_iExtModel == kSilverthorneModel ? kSilverthorneTjMax : kTjMax);
}

void Intel_Bonnell_Infos::ReadPlatformInfo(CCPUThread* thread) {
    MSR_Register id(intel_msr::kPlatformId);
    if (id.Read()) {
        const uint64_t value = id.GetValue();
        thread->m_iPlatformId = static_cast<int32_t>(Bits64(value, 52, 50));
        thread->m_bMobile = Bits64(value, 28, 28);
        if (thread->m_iCoresPerPackage == 1 && Bits64(value, 27, 27)) thread->m_bEngineeringSample = 1;
        thread->m_fMaxNonTurboMultiplier = static_cast<float>(Bits64(value, 12, 8));
        thread->m_fMinMultiplier = kLowestMultiplier;
    }
    if (m_pFIDVID && m_pFIDVID->Refresh()) {
        m_bPerformanceStatus = (m_pFIDVID->m_pStatus->m_dwLow & kPerformanceStatusBit) ? 1 : 0;
        thread->m_fMinMultiplier = m_pFIDVID->GetMinMultiplier();
    }
}

void Intel_Bonnell_Infos::GetStockClock(CCPUThread* thread) {
    ReadAtomBusClock(thread, kBusClocks);
    AtomStockClockFromRatio(thread, m_pFIDVID);
}

float Intel_Bonnell_Infos::GetMultiplier(CCPUThread*) {
    float multiplier = -1.0f;
    if (m_pFIDVID && m_pFIDVID->Refresh()) {
        multiplier = m_pFIDVID->GetCurrentMultiplier();
        if (multiplier > 0) return multiplier;
    }
    MSR_Register powerOn(kPowerOnConfigurationMsr);
    if (powerOn.Read()) return static_cast<float>(Bits64(powerOn.GetValue(), 26, 22));
    return multiplier;
}

// The core sensor (created in Initialize only) takes TjMax less the
// readout of MSR 0x19C.
float Intel_Bonnell_Infos::GetTemperature(CCPUThread* thread) { return IntelDigitalThermalTemperature(thread); }

float Intel_Bonnell_Infos::GetCoreClock(CCPUThread* thread, CTimer* timer) {
    return IntelEffectiveCoreClock(thread, timer);
}
