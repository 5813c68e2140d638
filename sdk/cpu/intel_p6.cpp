#include "sdk/cpu/intel_p6.h"

#include <array>

#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

namespace {

using RatioTable = std::array<float, 16>;

// The multipliers of the power-on ratio code (MSR 0x2A bits 25:22) by model;
// bit 27 selects the high table of the later models.
constexpr RatioTable kFirstModels = {5, 3, 4, 2, 5.5f, 3.5f, 4.5f, 2.5f, 3.5f, 7, 8, 6, 2, 7.5f, 1.5f, 6.5f};
constexpr RatioTable kDeschutes = {5, 3, 4, 5, 5.5f, 3.5f, 4.5f, 5.5f, 6, 7, 8, 6, 6.5f, 7.5f, 1.5f, 6.5f};
constexpr RatioTable kCoppermineHigh = {9, 11, 12, 2, 9.5f, 11.5f, 8.5f, 2.5f, 3.5f, 7, 8, 10, 2, 7.5f, 1.5f, 10.5f};
constexpr RatioTable kCascadesHigh = {9, 11, 4, 2, 9.5f, 11.5f, 8.5f, 2.5f, 3.5f, 7, 8, 10, 2, 7.5f, 1.5f, 10.5f};
constexpr RatioTable kTualatinLow = {12, 3.5f, 3.5f, 4, 5.5f, 3.5f, 11.5f, 3.5f, 16, 7, 8, 6, 4, 7.5f, 3.5f, 6.5f};
constexpr RatioTable kTualatinHigh = {9, 11, 12, 3.5f, 9.5f, 3.5f, 8.5f, 3.5f, 3.5f, 3.5f, 13, 10, 14, 3.5f, 15, 10.5f};

const RatioTable* RatioTableOf(int32_t model, int32_t stepping, bool high) {
    if (model >= 0 && model <= 3) return &kFirstModels;
    if ((model >= 4 && model <= 7) || (model == 8 && stepping <= 1)) return &kDeschutes;
    if (model == 8) return high ? &kCoppermineHigh : &kFirstModels;
    if (model == 10) return high ? &kCascadesHigh : &kFirstModels;
    if (model == 11 || model == 12) return high ? &kTualatinHigh : &kTualatinLow;
    return nullptr;
}

} // namespace

CCPUInfos* CreateIntelP6Infos() { return new Intel_P6_Infos; }

Intel_P6_Infos::Intel_P6_Infos() : CCPUInfos(CPU_INFOS_FAMILY, CPU_CLASS_INTEL_P6) {}

void Intel_P6_Infos::Initialize(CCPUThread* thread) {
    ReadPlatform(thread);
    ReadBusClock(thread);
    if (thread->m_iExtModel > 4) CacheMSRs(thread, {intel_legacy_msr::kL2ControlRegister});
}

void Intel_P6_Infos::ReadPlatform(CCPUThread* thread) {
    // The first Deschutes steppings have no platform ID.
    const int32_t model = thread->m_iExtModel;
    if (model <= 4 || (model == 5 && thread->m_iStepping <= 1)) return;
    const MSR_Register* id = thread->GetMSR(intel_msr::kPlatformId);
    if (!id) return;
    thread->m_iPlatformId = static_cast<int32_t>(Bits64(id->m_dwHigh, 20, 18));
    thread->m_bMobile = static_cast<uint32_t>(thread->m_iPlatformId & 1);
    m_iPlatformBit1 = (thread->m_iPlatformId >> 1) & 1;
}

void Intel_P6_Infos::ReadBusClock(CCPUThread* thread) {
    const MSR_Register* poweron = thread->GetMSR(intel_legacy_msr::kPowerOnConfiguration);
    if (!poweron) return;
    constexpr int32_t kBusClocks[] = {66, 133, 100, -1};
    if (const int32_t bus = kBusClocks[Bits64(poweron->m_dwLow, 19, 18)]; bus > 0) thread->m_iNominalBusClock = bus;
    // Brand IDs 2 and 3 (Pentium III E and Xeon) run a 66 MHz code at 100.
    if (thread->m_iNominalBusClock == 66 && (thread->m_iBrandId == 2 || thread->m_iBrandId == 3))
        thread->m_iNominalBusClock = 100;
    const float multiplier = GetMultiplier(thread);
    const float bus = GetExactBusClock(thread);
    if (multiplier > 0 && bus > 0) thread->m_iStockClock = static_cast<int32_t>(multiplier * bus);
}

float Intel_P6_Infos::GetMultiplier(CCPUThread* thread) {
    MSR_Register poweron(intel_legacy_msr::kPowerOnConfiguration);
    if (!poweron.Read()) return -1.0f;
    const bool high = Bits64(poweron.m_dwLow, 27, 27) != 0;
    const RatioTable* table = RatioTableOf(thread->m_iExtModel, thread->m_iStepping, high);
    return table ? (*table)[Bits64(poweron.m_dwLow, 25, 22)] : -1.0f;
}
