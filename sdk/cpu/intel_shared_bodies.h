// What the Intel microarchitecture descriptions from Nehalem on share: the
// codes and registers they use, the steps their Initialize procedures have
// in common, and the operation bodies several of them fill a slot with:
// - IntelEffectiveCoreClock (Nehalem, Bonnell) and IntelFixedCounterCoreClock
//   (Sandy Bridge, Haswell, Skylake): the effective core clock from the
//   fixed-function counters;
// - IntelFIDVIDMultiplier: the multiplier of the FID/VID control, with its
//   voltage in the VID sensor;
// - IntelCoreAndPackageTemperature: the digital thermal sensors of the core
//   and the package.
// Everything here runs on the logical processor's pinned thread, inside the
// library and driver locks, and answers -1.0 for what it cannot tell.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

class CCPUInfos;
class CCPUThread;
class CPowerSensor;
class CReportGenerator;
class CTemperatureSensor;
class CTimer;
class FIDVID_Control;
class Intel_CPU_Infos;

// The class codes of the descriptions; Identify adds a brand subcode in
// bits 7:0 of the thread's copy.
constexpr uint32_t kIntelNehalemClass = 0x1020000;
constexpr uint32_t kIntelSandyBridgeClass = 0x1020100;
constexpr uint32_t kIntelHaswellClass = 0x1020200;

// The package codes they set (CPUPackageCode, named in cpu_package_names.cpp).
enum IntelPackage : int32_t {
    kPackageSocket1156LGA = 0x10027,
    kPackageSocket1366LGA = 0x10028,
    kPackageSocket989rPGA = 0x10029,
    kPackageSocket1567LGA = 0x1002C,
    kPackageSocket1155LGA = 0x1002D,
    kPackageSocket2011LGA = 0x1002E,
    kPackageSocket988BrPGA = 0x10035,
    kPackageSocket1150LGA = 0x10040,
    kPackageSocket947rPGA = 0x10041,
    kPackageSocket1356LGA = 0x10044,
    kPackageSocket1364BGA = 0x10047,
    kPackageSocket1168BGA = 0x10048,
    kPackageSocket1023FCBGA = 0x1004E,
    kPackageSocket1234FCBGA = 0x10050,
};

// The model-specific registers.
namespace intel_msr {
constexpr uint32_t kTimeStampCounter = 0x10;
constexpr uint32_t kPlatformId = 0x17;
constexpr uint32_t kPlatformInfo = 0xCE;
constexpr uint32_t kMperf = 0xE7;
constexpr uint32_t kAperf = 0xE8;
constexpr uint32_t kOcMailbox = 0x150;
constexpr uint32_t kPerfStatus = 0x198;
constexpr uint32_t kFlexRatio = 0x194;
constexpr uint32_t kThermStatus = 0x19C;
constexpr uint32_t kMiscEnable = 0x1A0;
constexpr uint32_t kTemperatureTarget = 0x1A2;
constexpr uint32_t kTurboPowerCurrentLimit = 0x1AC;
constexpr uint32_t kTurboRatioLimit = 0x1AD;  // then 0x1AE and 0x1AF for cores 9 to 24
constexpr uint32_t kPackageThermStatus = 0x1B1;
constexpr uint32_t kFixedCoreCycles = 0x30A;
constexpr uint32_t kFixedReferenceCycles = 0x30B;
constexpr uint32_t kFixedCounterControl = 0x38D;
constexpr uint32_t kGlobalControl = 0x38F;
constexpr uint32_t kRaplPowerUnit = 0x606;
constexpr uint32_t kPackageEnergy = 0x611;
constexpr uint32_t kPackagePowerInfo = 0x614;
constexpr uint32_t kDramEnergy = 0x619;
constexpr uint32_t kTsc24 = 0x637;
constexpr uint32_t kCoresEnergy = 0x639;
constexpr uint32_t kGraphicsEnergy = 0x641;
} // namespace intel_msr

// Bits high..low of a 64-bit register value.
constexpr uint32_t Bits64(uint64_t value, unsigned high, unsigned low) {
    return static_cast<uint32_t>((value >> low) & ((1ull << (high - low + 1)) - 1));
}

// The thread's vendor description, when it is Intel's.
Intel_CPU_Infos* IntelVendorOf(CCPUThread* thread);
bool HasEnhancedSpeedStep(CCPUThread* thread);
bool HasDigitalThermalSensor(CCPUThread* thread);

// Reads the registers into the thread's MSR cache, for the thread dump.
void CacheMSRs(CCPUThread* thread, std::initializer_list<uint32_t> indexes);

// ---- Initialize steps ----

// CPUID 6 EAX bit 1 (turbo available) when the highest leaf is 6 or more,
// else 0. With `liftCpuidLimit`, a highest leaf below 6 that the BIOS
// limit of MSR 0x1A0 bit 22 causes is lifted for the look and the limit
// set again afterwards.
int32_t CpuidTurboBit(CCPUThread* thread, bool liftCpuidLimit);

struct TurboState {
    int32_t supported = 0;
    int32_t enabled = 0;
};
// Turbo from the CPUID bit and MSR 0x1A0 bit 38 (turbo disengaged):
// enabled when that bit is clear; supported when the CPUID bit says so, or,
// when it does not, when the firmware switched turbo off (bit 38 set: the
// processor then hides the CPUID bit). Without MSR 0x1A0 the CPUID bit
// decides both.
TurboState ReadTurboState(CCPUThread* thread, int32_t cpuidTurbo);

// MSR 0xCE: engineering sample (bit 27) and the maximum non-turbo
// multiplier (bits 15:8); MSR 0x17: the platform ID (bits 52:50).
void ReadPlatformIdAndRatio(CCPUThread* thread);

// TjMax: MSR 0x1A2 bits 23:16, or 100.0 when that register cannot be read.
float ReadTjMax(CCPUThread* thread);

// Sensors registered in the root's sensor list.
CTemperatureSensor* AddTemperatureSensor(uint8_t index, const char* name, float tjMax);
CPowerSensor* AddPowerSensor(uint8_t index, const char* name);

// The rate in MHz of a counting MSR of the calling processor, measured by
// the driver against the ACPI PM timer `timer` at its port; -1.0 when
// `timer` is not the PM timer, or without the driver.
float MeasureMSRRate(CTimer* timer, uint32_t msr);

// Mobile parts: the TSC rate over the maximum non-turbo ratio; -1.0 on
// other parts, without the PM timer, or without a ratio.
float MobileBusClock(CCPUThread* thread, int32_t maxNonTurboRatio);

// ---- Ratios and limits (Sandy Bridge, Haswell, Skylake) ----

constexpr std::array<int32_t, 24> kUnknownRatioLimits = [] {
    std::array<int32_t, 24> values{};
    values.fill(-1);
    return values;
}();

struct IntelRatioState {
    static constexpr int kMaxActiveCores = 24;

    TurboState turbo;
    int32_t ocBins = -1;      // MSR 0x194 bits 19:17
    int32_t maxPower = -1;    // MSR 0x614, watts
    int32_t minPower = -1;
    int32_t maxNonTurboRatio = -1;
    int32_t maxTurboRatio = -1;
    int32_t maxEfficiencyRatio = -1;
    std::array<int32_t, kMaxActiveCores> ratioLimits = kUnknownRatioLimits;  // 1 to 24 active cores
    float tscRate = -1.0f;
    float tsc24Rate = -1.0f;  // MSR 0x637
    float aperfRate = -1.0f;
    float mperfRate = -1.0f;
};

// MSR 0xCE: the maximum non-turbo ratio (when still unknown) and the
// maximum efficiency ratio, also the thread's minimum multiplier.
void ReadEfficiencyRatios(CCPUThread* thread, IntelRatioState& state);
// MSR 0x1AD and the `registers` - 1 after it: the ratio limits by active
// cores, 8 per register; the 1-core ratio is the maximum turbo ratio and
// the thread's maximum multiplier. Each register only when it reads.
void ReadTurboRatioLimits(CCPUThread* thread, IntelRatioState& state, int registers);
// MSR 0x194 bits 19:17: the overclocking bins.
void ReadOverclockingBins(CCPUThread* thread, IntelRatioState& state);
// MSR 0x614: the thread's TDP (bits 14:0 in 1/8 W), the minimum (bits
// 30:19) and maximum (bits 46:35) power in whole watts when their fields
// are not 0.
void ReadPackagePowerInfo(CCPUThread* thread, IntelRatioState& state);
// The report lines of the ratios, limits and rates: `limits` active-core
// lines (8 or 24) and the TSC_24 line when `withTsc24`.
void DumpRatioState(CReportGenerator* report, const IntelRatioState& state, int limits, bool withTsc24);

// ---- Slot bodies ----

// GetMultiplier of Sandy Bridge, Haswell and Skylake: the thread's
// effective multiplier from the description's FID/VID control (-1.0
// without one or when its refresh fails), and its voltage into the VID
// sensor.
float IntelFIDVIDMultiplier(CCPUInfos* infos, CCPUThread* thread);
// Their Initialize step: the control refreshed, and the VID sensor created
// when it reports a voltage. `control` becomes the description's.
void InstallFIDVIDWithVIDSensor(CCPUInfos* infos, CCPUThread* thread, FIDVID_Control* control);

// GetTemperature of Sandy Bridge, Haswell and Skylake: the core and the
// package sensor (created on first use with the digital thermal sensor)
// take TjMax less their register's readout; the core's value, -1.0
// without its sensor.
float IntelCoreAndPackageTemperature(CCPUThread* thread);
// The core or package sensor of Initialize when the register reads with
// its valid bit set and the processor has the digital thermal sensor.
void CreateCoreTemperatureSensor(CCPUThread* thread, float tjMax);
void CreatePackageTemperatureSensor(CCPUThread* thread, float tjMax);
// The raw readout into a sensor: value = TjMax (its offset) - readout.
// False when the register does not read.
bool ReadDigitalTemperature(CTemperatureSensor* sensor, uint32_t msr);

// GetCoreClock of Sandy Bridge, Haswell and Skylake, and of Nehalem and
// Bonnell: unhalted core cycles x TSC rate / unhalted reference cycles,
// counted by the fixed-function counters over at least 15000 ACPI PM timer
// ticks of `timer`, the reference the caller chose. The counter controls
// (0x38F, 0x38D) are set for the count and put back afterwards on every
// path. -1.0 when `timer` is not the PM timer, when a count or the TSC rate
// fails, or when no reference cycles passed.
float IntelFixedCounterCoreClock(CCPUThread* thread, CTimer* timer);
float IntelEffectiveCoreClock(CCPUThread* thread, CTimer* timer);
// The same count over at least 15000 ticks of the HPET, with the TSC rate
// the driver measures against the HPET (Silvermont, whose general counters
// are taken as 2 without CPUID leaf 0xA); -1.0 without the HPET.
float IntelFixedCounterCoreClockByHPET(CCPUThread* thread);
