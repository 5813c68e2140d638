#include "sdk/cpu/intel_nehalem.h"

#include <cstring>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr int32_t kNominalBusClock = 133;
constexpr uint32_t kPackagePowerSensorId = 0x1001000;  // role 0x01, power, index 0
constexpr uint32_t kCoreVoltageRole = 0x01;
constexpr float kDefaultCoreVoltage = 1.0f;
constexpr float kHighestCoreVoltage = 1.3f;
// A MSR 0x1AC low dword that stands for no register.
constexpr uint32_t kNoPowerLimits[] = {0xFFFFFFFF, 0xFEFEFEFE};

// The stock clocks by their texts in the brand string, in test order;
// every pair found overwrites the one before.
struct ClockTexts {
    const char* mhzText;
    const char* ghzText;
    int32_t mhz;
};
constexpr ClockTexts kStockClocks[] = {
    {"3466MHz", "3.47GHz", 3466}, {"3333MHz", "3.33GHz", 3333}, {"3200MHz", "3.20GHz", 3200},
    {"3066MHz", "3.07GHz", 3066}, {"2933MHz", "2.93GHz", 2933}, {"2800MHz", "2.80GHz", 2800},
    {"2666MHz", "2.67GHz", 2666}, {"2533MHz", "2.53GHz", 2533}, {"2400MHz", "2.40GHz", 2400},
    {"2266MHz", "2.27GHz", 2266},
};

// The package by extended model and platform ID.
struct PackageRow {
    int32_t extModel;
    uint32_t platformIds;
    int32_t packageCode;
    bool mobile;
};
constexpr PackageRow kPackages[] = {
    {0x1A, PlatformIds({1}), kPackageSocket1366LGA, false},
    {0x1A, PlatformIds({2}), kPackageSocket1567LGA, false},
    {0x1A, PlatformIds({4}), kPackageSocket989rPGA, true},
    {0x1E, PlatformIds({1, 7}), kPackageSocket1156LGA, false},
    {0x25, PlatformIds({1, 7}), kPackageSocket1156LGA, false},
    {0x1E, PlatformIds({4}), kPackageSocket989rPGA, true},
    {0x25, PlatformIds({4}), kPackageSocket989rPGA, true},
    {0x2E, PlatformIds({2}), kPackageSocket1567LGA, false},
    {0x2F, PlatformIds({2}), kPackageSocket1567LGA, false},
};

// Beckton reads no turbo ratio limits.
constexpr int32_t kBeckton = 0x2E;

// The core voltage the hardware monitors measure, when plausible.
float CoreVoltage() {
    CTListIterator<CSensor> it(GetSDK()->m_pSensors);
    for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext()) {
        if (!dynamic_cast<CVoltageSensor*>(sensor) || (sensor->m_dwId >> 24) != kCoreVoltageRole) continue;
        const float volts = sensor->m_fValue;
        return volts > 0 && volts <= kHighestCoreVoltage ? volts : kDefaultCoreVoltage;
    }
    return kDefaultCoreVoltage;
}

} // namespace

CCPUInfos* CreateIntelNehalemInfos() { return new Intel_Nehalem_Infos; }

Intel_Nehalem_Infos::Intel_Nehalem_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kIntelNehalemClass) {}

void Intel_Nehalem_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

void Intel_Nehalem_Infos::Initialize(CCPUThread* thread) {
    m_Turbo = ReadTurboState(thread, CpuidTurboBit(thread, true));
    if (HasEnhancedSpeedStep(thread)) {
        m_pFIDVID = new Nehalem_FIDVID_Control;
        m_pFIDVID->Refresh();
    }
    ReadPlatformInfo(thread);
    GetStockClock(thread);
    CacheMSRs(thread, {0x31, 0x35, 0x39, 0xC1, 0xC2, 0xC3, 0xC4, 0x186, 0x187});
    ReadRatios(thread);
    if (m_bRatioUnlocked) CacheMSRs(thread, {intel_msr::kFlexRatio});
    CacheMSRs(thread, {0x19A, 0x1A4});
    ReadPowerLimits(thread);
    CacheMSRs(thread, {0x1FC});
    ReadBusNumber(thread);
    CreateTemperatureSensor(thread);
    CacheMSRs(thread, {0x802, 0x803, 0x80D, 0xC0000103});
    FindNodeDevices(thread);
    ReadLinkMultiplier(thread);
}

void Intel_Nehalem_Infos::ReadPlatformInfo(CCPUThread* thread) {
    ReadPlatformIdAndRatio(thread);
    for (const PackageRow& row : kPackages) {
        if (row.extModel != thread->m_iExtModel || thread->m_iPlatformId < 0 ||
            !(row.platformIds & (1u << thread->m_iPlatformId)))
            continue;
        thread->m_iPackageCode = row.packageCode;
        if (row.mobile) thread->m_bMobile = 1;
    }
}

void Intel_Nehalem_Infos::GetStockClock(CCPUThread* thread) {
    thread->m_iNominalBusClock = kNominalBusClock;
    const char* text = thread->m_szBrandString;
    bool matched = false;
    if (*text)
        for (const ClockTexts& clock : kStockClocks)
            if (std::strstr(text, clock.mhzText) || std::strstr(text, clock.ghzText)) {
                thread->m_iStockClock = clock.mhz;
                matched = true;
            }
    if (matched) return;
    if (const MSR_Register* info = thread->GetMSR(intel_msr::kPlatformInfo))
        thread->m_iStockClock =
            static_cast<int32_t>(GetExactBusClock(thread) * static_cast<float>(Bits64(info->GetValue(), 15, 8)));
}

void Intel_Nehalem_Infos::ReadRatios(CCPUThread* thread) {
    if (const MSR_Register* info = thread->GetMSR(intel_msr::kPlatformInfo)) {
        const uint64_t value = info->GetValue();
        if (m_iMaxNonTurboRatio == -1) m_iMaxNonTurboRatio = static_cast<int32_t>(Bits64(value, 15, 8));
        m_iMaxEfficiencyRatio = static_cast<int32_t>(Bits64(value, 47, 40));
        thread->m_fMinMultiplier = static_cast<float>(m_iMaxEfficiencyRatio);
        m_bRatioUnlocked = Bits64(value, 29, 28) != 0 ? 1 : 0;
    }
    if (thread->m_iExtModel == kBeckton) return;
    const MSR_Register* limits = thread->GetMSR(intel_msr::kTurboRatioLimit);
    if (!limits) return;
    m_iMaxTurboRatio = static_cast<int32_t>(Bits64(limits->GetValue(), 7, 0));
    thread->m_fMaxMultiplier = static_cast<float>(m_iMaxTurboRatio);
    if (const float bus = GetExactBusClock(thread); bus > 0)
        m_iMaxTurboFrequency = static_cast<int32_t>(static_cast<float>(m_iMaxTurboRatio) * bus);
}

void Intel_Nehalem_Infos::ReadPowerLimits(CCPUThread* thread) {
    const MSR_Register* limits = thread->GetMSR(intel_msr::kTurboPowerCurrentLimit);
    if (!limits) return;
    for (uint32_t absent : kNoPowerLimits)
        if (limits->m_dwLow == absent) return;
    if (!(limits->m_dwLow & (1u << 15))) thread->m_fTDP = static_cast<float>(Bits64(limits->m_dwLow, 14, 0)) * 0.125f;
    if (!(limits->m_dwLow & (1u << 31))) m_iTDCLimit = static_cast<int32_t>(Bits64(limits->m_dwLow, 30, 19));
    if (thread->m_fTDP > 0 && m_iTDCLimit != -1 && !thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]) {
        CPowerSensor* sensor = AddPowerSensor(0, "Package");
        sensor->m_dwId = kPackagePowerSensorId;
        thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER] = sensor;
    }
}

// The thread keeps TjMax too, for the processor report.
void Intel_Nehalem_Infos::CreateTemperatureSensor(CCPUThread* thread) {
    if (thread->m_pCoreTemperature) return;
    const float tjMax = ReadTjMax(thread);
    CreateCoreTemperatureSensor(thread, tjMax);
    if (thread->m_pCoreTemperature) thread->m_fTjMax = tjMax;
}

// ---- Measurements ----

float Intel_Nehalem_Infos::GetMultiplier(CCPUThread* thread) {
    thread->m_fEffectiveMultiplier = FIDVIDCurrentMultiplier(this);
    return 0.0f;
}

float Intel_Nehalem_Infos::GetTemperature(CCPUThread* thread) {
    if (!thread->m_pCoreTemperature && HasDigitalThermalSensor(thread)) CreateTemperatureSensor(thread);
    auto* core = dynamic_cast<CTemperatureSensor*>(thread->m_pCoreTemperature);
    if (!core) return -1.0f;
    ReadDigitalTemperature(core, intel_msr::kThermStatus);
    return core->IsValid() ? core->m_fValue : -1.0f;
}

float Intel_Nehalem_Infos::GetPower(CCPUThread* thread) {
    const float volts = CoreVoltage();
    const float multiplier = thread->m_fEffectiveMultiplier;
    if (m_iMaxNonTurboRatio <= 0 || multiplier <= 0 || thread->m_fTDP <= 0 || m_iTDCLimit == -1) return -1.0f;
    const auto tdc = static_cast<float>(m_iTDCLimit);
    float dynamic = tdc * volts;
    if (thread->m_fTDP < dynamic) dynamic = tdc;
    const float share = multiplier / static_cast<float>(m_iMaxNonTurboRatio);
    const float power = (thread->m_fTDP - dynamic) + dynamic * share * share * share;
    if (CSensor* sensor = thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]) sensor->SetValue(power, 1);
    return power;
}

float Intel_Nehalem_Infos::GetCoreClock(CCPUThread* thread, CTimer* timer) {
    return IntelEffectiveCoreClock(thread, timer);
}

float Intel_Nehalem_Infos::GetBusClock(CCPUThread*) {
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!timer) return -1.0f;
    const float tsc = MeasureMSRRate(timer, intel_msr::kTimeStampCounter);
    return tsc > 0 && m_iMaxNonTurboRatio > 0 ? tsc / static_cast<float>(m_iMaxNonTurboRatio) : -1.0f;
}
