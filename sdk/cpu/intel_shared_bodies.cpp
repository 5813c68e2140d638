#include "sdk/cpu/intel_shared_bodies.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/cpu/saved_msr.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/timer.h"
#include "sdk/hw/timer_count.h"

namespace {

constexpr uint32_t kLimitCpuidMaxvalBit = 22;     // MSR 0x1A0
constexpr unsigned kTurboDisengageHighBit = 6;    // MSR 0x1A0 bit 38
constexpr uint32_t kEngineeringSampleBit = 27;    // MSR 0xCE
constexpr uint32_t kThermalReadingValid = 1u << 31;
constexpr float kDefaultTjMax = 100.0f;
constexpr uint32_t kVIDSensorId = 0xE000100;      // role 0x0E, voltage, index 0
// The fixed counters 0 to 2 in IA32_PERF_GLOBAL_CTRL's high dword, and
// their control fields in IA32_FIXED_CTR_CTRL: counting in both privilege
// levels, all three, or only counters 1 and 2 (Nehalem keeps counter 0's).
constexpr uint32_t kFixedCountersEnable = 0x7;
constexpr uint32_t kAllFixedCountersBothLevels = 0x333;
constexpr uint32_t kCycleCountersBothLevels = 0x330;
constexpr double kCoreClockWindowTicks = 15000.0;  // ACPI PM timer ticks, about 4.2 ms

uint64_t Value(const MSR_Register* reg) { return reg->GetValue(); }

bool ReadCounter(uint32_t index, double& count) {
    MSR_Register reg(index);
    if (!reg.Read()) return false;
    count = static_cast<double>(reg.m_dwHigh) * 4294967296.0 + static_cast<double>(reg.m_dwLow);
    return true;
}

// Waits until the timer has counted `ticks` from now (sleeping through
// them), at most kWaitSlackNs of wall time longer. False when the timer
// fails or does not get there.
bool WaitTimerTicks(CTimer* timer, double ticks) {
    vexa::platform::ReferenceCount count = CountAgainst(*timer);
    return count.Start() && count.WaitFor(ticks, CTimer::kWaitSlackNs);
}

// The general-purpose counter enables of IA32_PERF_GLOBAL_CTRL's low dword
// for the counters CPUID 0xA reports (`withoutLeaf` without that leaf);
// other counts keep the dword.
uint32_t GeneralCounterEnables(CCPUThread* thread, uint32_t low, uint32_t withoutLeaf) {
    const uint32_t counters = thread->m_dwMaxStandardLeaf >= 0xA ? Bits64(Cpuid(0xA).eax, 15, 8) : withoutLeaf;
    switch (counters) {
    case 2: return 0x3;
    case 4: return 0xF;
    case 6: return 0x3F;
    case 8: return 0xFF;
    default: return low;
    }
}

// How the counters are set up for a count: all fixed counters with the
// general ones (assumed `generalCounters` without leaf 0xA), or only the
// cycle counters (Nehalem keeps counter 0's setting and the general ones).
struct CounterSetup {
    bool cycleCountersOnly = false;
    uint32_t generalCounters = 4;
};

// The core clock against `timer`, over kCoreClockWindowTicks of it, with
// the TSC rate `tscRate` measures once the counters run.
template <typename TscRate>
float CountCoreClock(CCPUThread* thread, const CounterSetup& setup, CTimer* timer, TscRate tscRate) {
    // Declared in this order, the controls go back 0x38D first.
    SavedMsr global(intel_msr::kGlobalControl);
    if (global.Saved())
        global.Write(global.High() | kFixedCountersEnable,
                     setup.cycleCountersOnly ? global.Low()
                                             : GeneralCounterEnables(thread, global.Low(), setup.generalCounters));
    SavedMsr fixed(intel_msr::kFixedCounterControl);
    if (fixed.Saved())
        fixed.Write(fixed.High(),
                    setup.cycleCountersOnly ? fixed.Low() | kCycleCountersBothLevels : kAllFixedCountersBothLevels);
    const float tsc = tscRate();
    double core0, reference0, core1, reference1;
    if (!ReadCounter(intel_msr::kFixedCoreCycles, core0) || !ReadCounter(intel_msr::kFixedReferenceCycles, reference0) ||
        !WaitTimerTicks(timer, kCoreClockWindowTicks) || !ReadCounter(intel_msr::kFixedCoreCycles, core1) ||
        !ReadCounter(intel_msr::kFixedReferenceCycles, reference1))
        return -1.0f;
    const auto core = static_cast<float>(core1 - core0);
    const auto reference = static_cast<float>(reference1 - reference0);
    if (tsc <= 0 || reference <= 0 || core < 0) return -1.0f;
    return core * tsc / reference;
}

// The core clock against the timer the caller chose; only the PM timer
// will do, since the driver measures the TSC rate at its port.
float CountCoreClockByPMTimer(CCPUThread* thread, const CounterSetup& setup, CTimer* timer) {
    if (!dynamic_cast<CACPITimer*>(timer)) return -1.0f;
    return CountCoreClock(thread, setup, timer,
                          [timer] { return MeasureMSRRate(timer, intel_msr::kTimeStampCounter); });
}

} // namespace

Intel_CPU_Infos* IntelVendorOf(CCPUThread* thread) {
    return thread ? dynamic_cast<Intel_CPU_Infos*>(thread->m_pVendorInfos) : nullptr;
}

bool HasEnhancedSpeedStep(CCPUThread* thread) {
    const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
    return vendor && vendor->m_bEnhancedSpeedStep;
}

bool HasDigitalThermalSensor(CCPUThread* thread) {
    const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
    return vendor && vendor->m_bDigitalThermalSensor;
}

void CacheMSRs(CCPUThread* thread, std::initializer_list<uint32_t> indexes) {
    for (uint32_t index : indexes) thread->GetMSR(index);
}

// ---- Initialize steps ----

int32_t CpuidTurboBit(CCPUThread* thread, bool liftCpuidLimit) {
    if (thread->m_dwMaxStandardLeaf >= 6) return static_cast<int32_t>(Bits64(Cpuid(6).eax, 1, 1));
    if (!liftCpuidLimit) return 0;
    MSR_Register* misc = thread->GetMSR(intel_msr::kMiscEnable);
    if (!misc || !((misc->m_dwLow >> kLimitCpuidMaxvalBit) & 1) || !misc->SetBit(kLimitCpuidMaxvalBit, 0)) return 0;
    int32_t bit = 0;
    if (Cpuid(0).eax >= 6) bit = static_cast<int32_t>(Bits64(Cpuid(6).eax, 1, 1));
    misc->SetBit(kLimitCpuidMaxvalBit, 1);
    return bit;
}

TurboState ReadTurboState(CCPUThread* thread, int32_t cpuidTurbo) {
    TurboState state;
    const MSR_Register* misc = thread->GetMSR(intel_msr::kMiscEnable);
    if (!misc) {
        state.supported = state.enabled = cpuidTurbo ? 1 : 0;
        return state;
    }
    state.enabled = ((misc->m_dwHigh >> kTurboDisengageHighBit) & 1) ? 0 : 1;
    state.supported = cpuidTurbo ? state.enabled : (state.enabled ? 0 : 1);
    return state;
}

void ReadPlatformIdAndRatio(CCPUThread* thread) {
    if (const MSR_Register* info = thread->GetMSR(intel_msr::kPlatformInfo)) {
        thread->m_bEngineeringSample = (info->m_dwLow >> kEngineeringSampleBit) & 1;
        thread->m_fMaxNonTurboMultiplier = static_cast<float>(Bits64(Value(info), 15, 8));
    }
    if (const MSR_Register* id = thread->GetMSR(intel_msr::kPlatformId))
        thread->m_iPlatformId = static_cast<int32_t>(Bits64(Value(id), 52, 50));
}

float ReadTjMax(CCPUThread* thread) {
    const MSR_Register* target = thread->GetMSR(intel_msr::kTemperatureTarget);
    return target ? static_cast<float>(Bits64(Value(target), 23, 16)) : kDefaultTjMax;
}

CTemperatureSensor* AddTemperatureSensor(uint8_t index, const char* name, float tjMax) {
    auto* sensor = new CTemperatureSensor(index);
    if (name) FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", name);
    sensor->m_fOffset = tjMax;
    GetSDK()->m_pSensors->AddTail(sensor);
    return sensor;
}

CPowerSensor* AddPowerSensor(uint8_t index, const char* name) {
    auto* sensor = new CPowerSensor(index);
    if (name) FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", name);
    GetSDK()->m_pSensors->AddTail(sensor);
    return sensor;
}

// The driver counts against the timer it reads itself, so it is given the
// timer's port, not a reading of it.
float MeasureMSRRate(CTimer* timer, uint32_t msr) {
    auto* pmTimer = dynamic_cast<CACPITimer*>(timer);
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!pmTimer || !pmTimer->m_pPortSpace || !driver) return -1.0f;
    return driver->MeasureMSRClockByPMTimer(pmTimer->m_dFrequency, pmTimer->m_pPortSpace->GetBaseLow(), msr);
}

float MobileBusClock(CCPUThread* thread, int32_t maxNonTurboRatio) {
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!thread->m_bMobile || !timer) return -1.0f;
    const float tsc = MeasureMSRRate(timer, intel_msr::kTimeStampCounter);
    return tsc > 0 && maxNonTurboRatio > 0 ? tsc / static_cast<float>(maxNonTurboRatio) : -1.0f;
}

// ---- Ratios and limits ----

void ReadEfficiencyRatios(CCPUThread* thread, IntelRatioState& state) {
    const MSR_Register* info = thread->GetMSR(intel_msr::kPlatformInfo);
    if (!info) return;
    if (state.maxNonTurboRatio == -1) state.maxNonTurboRatio = static_cast<int32_t>(Bits64(Value(info), 15, 8));
    state.maxEfficiencyRatio = static_cast<int32_t>(Bits64(Value(info), 47, 40));
    thread->m_fMinMultiplier = static_cast<float>(state.maxEfficiencyRatio);
}

void ReadTurboRatioLimits(CCPUThread* thread, IntelRatioState& state, int registers) {
    for (int r = 0; r < registers && 8 * r < IntelRatioState::kMaxActiveCores; ++r) {
        const MSR_Register* limits = thread->GetMSR(intel_msr::kTurboRatioLimit + static_cast<uint32_t>(r));
        if (!limits) continue;
        for (unsigned byte = 0; byte < 8; ++byte)
            state.ratioLimits[static_cast<size_t>(8 * r + static_cast<int>(byte))] =
                static_cast<int32_t>(Bits64(Value(limits), 8 * byte + 7, 8 * byte));
        if (r == 0) {
            state.maxTurboRatio = state.ratioLimits[0];
            thread->m_fMaxMultiplier = static_cast<float>(state.maxTurboRatio);
        }
    }
}

void ReadOverclockingBins(CCPUThread* thread, IntelRatioState& state) {
    if (const MSR_Register* flex = thread->GetMSR(intel_msr::kFlexRatio))
        state.ocBins = static_cast<int32_t>(Bits64(Value(flex), 19, 17));
}

void ReadPackagePowerInfo(CCPUThread* thread, IntelRatioState& state) {
    const MSR_Register* info = thread->GetMSR(intel_msr::kPackagePowerInfo);
    if (!info) return;
    const uint64_t value = Value(info);
    thread->m_fTDP = static_cast<float>(Bits64(value, 14, 0)) * 0.125f;
    if (Bits64(value, 30, 16) != 0) state.minPower = static_cast<int32_t>(Bits64(value, 30, 19));
    if (Bits64(value, 46, 32) != 0) state.maxPower = static_cast<int32_t>(Bits64(value, 46, 35));
}

void DumpRatioState(CReportGenerator* report, const IntelRatioState& state, int limits, bool withTsc24) {
    char text[64];
    FormatString(text, sizeof text, "%s", state.turbo.supported ? "supported" : "not supported");
    if (state.turbo.supported) AppendFormat(text, sizeof text, ", %s", state.turbo.enabled ? "enabled" : "disabled");
    report->PrintField("\tTurbo Mode", "\t\t", "%s", text);
    const struct {
        const char* label;
        const char* pad;
        int32_t ratio;
    } ratios[] = {{"\tMax non-turbo ratio", "\t", state.maxNonTurboRatio},
                  {"\tMax turbo ratio", "\t\t", state.maxTurboRatio},
                  {"\tMax efficiency ratio", "\t", state.maxEfficiencyRatio}};
    for (const auto& line : ratios)
        if (line.ratio >= 0) report->PrintField(line.label, line.pad, "%dx", line.ratio);
    if (state.maxPower >= 0) report->PrintField("\tMax Power", "\t\t", "%d Watts", state.maxPower);
    if (state.minPower >= 0) report->PrintField("\tMin Power", "\t\t", "%d Watts", state.minPower);
    if (state.ocBins == 0) report->PrintField("\tO/C bins", "\t\t", "%s", "none");
    else if (state.ocBins == 7) report->PrintField("\tO/C bins", "\t\t", "%s", "unlimited");
    else if (state.ocBins > 0) report->PrintField("\tO/C bins", "\t\t", "+%d", state.ocBins);
    for (int i = 0; i < limits && i < IntelRatioState::kMaxActiveCores; ++i) {
        const int32_t ratio = state.ratioLimits[static_cast<size_t>(i)];
        if (ratio < 1 || ratio > 254) continue;
        FormatString(text, sizeof text, i == 0 ? "\tRatio %d core" : "\tRatio %d cores", i + 1);
        report->PrintField(text, "\t\t", "%dx", ratio);
    }
    const struct {
        const char* label;
        float rate;
    } rates[] = {{"\tTSC", state.tscRate},
                 {"\tTSC_24", withTsc24 ? state.tsc24Rate : -1.0f},
                 {"\tAPERF", state.aperfRate},
                 {"\tMPERF", state.mperfRate}};
    for (const auto& line : rates)
        if (line.rate > 0) report->PrintField(line.label, "\t\t\t", "%.1f MHz", static_cast<double>(line.rate));
}

// ---- Slot bodies ----

float IntelFIDVIDMultiplier(CCPUInfos* infos, CCPUThread* thread) {
    thread->m_fEffectiveMultiplier = -1.0f;
    FIDVID_Control* control = infos->m_pFIDVID;
    if (!control || !control->Refresh()) return -1.0f;
    thread->m_fEffectiveMultiplier = control->GetCurrentMultiplier();
    const float voltage = control->GetCurrentVoltage();
    if (CSensor* vid = thread->m_pPackageSensors[PACKAGE_SENSOR_CORE_VOLTAGE]; vid && voltage > 0) vid->SetValue(voltage, 1);
    return thread->m_fEffectiveMultiplier;
}

void InstallFIDVIDWithVIDSensor(CCPUInfos* infos, CCPUThread* thread, FIDVID_Control* control) {
    infos->m_pFIDVID = control;
    control->Refresh();
    const float voltage = control->GetCurrentVoltage();
    if (voltage <= 0 || thread->m_pPackageSensors[PACKAGE_SENSOR_CORE_VOLTAGE]) return;
    auto* sensor = new CVoltageSensor(0);
    sensor->m_dwId = kVIDSensorId;
    FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", "VID");
    sensor->SetValue(voltage, 1);
    GetSDK()->m_pSensors->AddTail(sensor);
    thread->m_pPackageSensors[PACKAGE_SENSOR_CORE_VOLTAGE] = sensor;
}

namespace {

bool ReadingValid(CCPUThread* thread, uint32_t msr) {
    const MSR_Register* status = thread->GetMSR(msr);
    return status && (status->m_dwLow & kThermalReadingValid);
}

} // namespace

void CreateCoreTemperatureSensor(CCPUThread* thread, float tjMax) {
    if (thread->m_pCoreTemperature || !ReadingValid(thread, intel_msr::kThermStatus)) return;
    thread->m_pCoreTemperature = AddTemperatureSensor(0, nullptr, tjMax);
}

void CreatePackageTemperatureSensor(CCPUThread* thread, float tjMax) {
    CSensor*& slot = thread->m_pPackageSensors[PACKAGE_SENSOR_TEMPERATURE];
    if (slot || !ReadingValid(thread, intel_msr::kPackageThermStatus)) return;
    slot = AddTemperatureSensor(1, "Package", tjMax);
}

bool ReadDigitalTemperature(CTemperatureSensor* sensor, uint32_t msr) {
    MSR_Register status(msr);
    if (!sensor || !status.Read()) return false;
    const uint32_t readout = Bits64(status.m_dwLow, 22, 16);
    sensor->m_dwRawValue = readout;
    sensor->SetValue(sensor->m_fOffset - static_cast<float>(readout), 1);
    return true;
}

float IntelCoreAndPackageTemperature(CCPUThread* thread) {
    if (thread->m_fTjMax <= 0) thread->m_fTjMax = ReadTjMax(thread);
    if (HasDigitalThermalSensor(thread)) {
        CreateCoreTemperatureSensor(thread, thread->m_fTjMax);
        CreatePackageTemperatureSensor(thread, thread->m_fTjMax);
    }
    auto* core = dynamic_cast<CTemperatureSensor*>(thread->m_pCoreTemperature);
    ReadDigitalTemperature(core, intel_msr::kThermStatus);
    ReadDigitalTemperature(dynamic_cast<CTemperatureSensor*>(thread->m_pPackageSensors[PACKAGE_SENSOR_TEMPERATURE]),
                           intel_msr::kPackageThermStatus);
    return core && core->IsValid() ? core->m_fValue : -1.0f;
}

float IntelFixedCounterCoreClock(CCPUThread* thread, CTimer* timer) {
    return CountCoreClockByPMTimer(thread, CounterSetup{}, timer);
}

float IntelEffectiveCoreClock(CCPUThread* thread, CTimer* timer) {
    return CountCoreClockByPMTimer(thread, CounterSetup{.cycleCountersOnly = true}, timer);
}

// The driver counts against the HPET it reads itself, at the block's base.
float IntelFixedCounterCoreClockByHPET(CCPUThread* thread) {
    auto* hpet = dynamic_cast<CHPETTimer*>(GetSDK()->GetHPETTimer());
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!hpet || !hpet->m_pMemorySpace || !driver) return -1.0f;
    return CountCoreClock(thread, CounterSetup{.generalCounters = 2}, hpet, [hpet, driver] {
        return driver->MeasureMSRClockByHPET(hpet->m_dFrequency, hpet->m_pMemorySpace->GetBaseLow(),
                                             intel_msr::kTimeStampCounter);
    });
}
