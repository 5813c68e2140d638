#include "sdk/cpu/intel_legacy_bodies.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

float IntelDigitalThermalTemperature(CCPUThread* thread) {
    auto* core = dynamic_cast<CTemperatureSensor*>(thread->m_pCoreTemperature);
    if (!core || !ReadDigitalTemperature(core, intel_msr::kThermStatus)) return -1.0f;
    return core->m_fValue;
}

float IntelMobileMultiplier(CCPUInfos* infos) {
    if (FIDVID_Control* control = infos->m_pFIDVID)
        return control->Refresh() ? control->GetCurrentMultiplier() : -1.0f;
    MSR_Register poweron(intel_legacy_msr::kPowerOnConfiguration);
    if (!poweron.Read()) return -1.0f;
    return static_cast<float>(Bits64(poweron.m_dwLow, 26, 22));
}

void CreateLegacyTemperatureSensor(CCPUThread* thread, float tjMax) {
    if (HasDigitalThermalSensor(thread)) CreateCoreTemperatureSensor(thread, tjMax);
}

int32_t FsbFrequencyOfCode(uint32_t code) {
    constexpr int32_t kClocks[] = {266, 133, 200, 166, 333, 100, 400, -1};
    return kClocks[code & 7];
}

void FsbAndBrandStockClock(CCPUThread* thread, std::span<const StockClockText> brandClocks, FIDVID_Control* control,
                           bool ratioAllowed) {
    if (const MSR_Register* fsb = thread->GetMSR(intel_legacy_msr::kFsbFrequency))
        if (const int32_t bus = FsbFrequencyOfCode(fsb->m_dwLow); bus > 0) thread->m_iNominalBusClock = bus;
    if (const int32_t mhz = StockClockFromText(thread->m_szBrandString, brandClocks); mhz > 0) {
        thread->m_iStockClock = mhz;
        return;
    }
    if (thread->m_iStockClock > 0 || !ratioAllowed) return;
    float ratio = thread->m_fMaxNonTurboMultiplier;
    if (ratio <= 0 && control) ratio = control->GetMaxMultiplier();
    const float bus = GetExactBusClock(thread);
    if (ratio > 0 && bus > 0) thread->m_iStockClock = static_cast<int32_t>(bus * ratio);
}

// ---- Naming ----

int32_t NumberAt(std::initializer_list<ClockNumber> list, int32_t mhz) {
    for (const ClockNumber& entry : list)
        if (entry.mhz == mhz) return entry.number;
    return 0;
}

const char* TextAt(std::initializer_list<ClockText> list, int32_t mhz) {
    for (const ClockText& entry : list)
        if (entry.mhz == mhz) return entry.text;
    return nullptr;
}

void LegacyNamer::Name(const char* name) {
    FormatString(m_pThread->m_szName, sizeof m_pThread->m_szName, "%s", name);
}

void LegacyNamer::Name(const char* name, uint32_t subcode) {
    Name(name);
    Subcode(subcode);
}

void LegacyNamer::Codename(const char* codename) {
    FormatString(m_pThread->m_szCodename, sizeof m_pThread->m_szCodename, "%s", codename);
}

void LegacyNamer::Subcode(uint32_t subcode) { m_pThread->m_dwClassCode = m_dwClassCode | subcode; }

void LegacyNamer::Append(const char* text) {
    if (text) AppendFormat(m_pThread->m_szName, sizeof m_pThread->m_szName, "%s", text);
}

void LegacyNamer::Number(int32_t number) {
    if (number) AppendFormat(m_pThread->m_szName, sizeof m_pThread->m_szName, " %d", number);
}

void LegacyNamer::Stepping(std::initializer_list<SteppingName> steppings) {
    for (const SteppingName& entry : steppings)
        if (entry.text && entry.stepping == m_pThread->m_iStepping)
            FormatString(m_pThread->m_szCoreStepping, sizeof m_pThread->m_szCoreStepping, "%s", entry.text);
}

bool LegacyNamer::BrandHas(const char* text) const { return std::strstr(m_pThread->m_szBrandString, text) != nullptr; }

int32_t LegacyNamer::StockClock() const { return m_pThread->m_iStockClock; }
