#include "sdk/cpu/intel_sandybridge.h"

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"
#include "sdk/cpu/intel_shared_bodies_rapl.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr int32_t kNominalBusClock = 100;
constexpr uint16_t kIntel = 0x8086;

constexpr StockClockText kStockClocks[] = {
    {"3.60GHz", 3600}, {"3.50GHz", 3500}, {"3.40GHz", 3400}, {"3.30GHz", 3300}, {"3.20GHz", 3200},
    {"3.10GHz", 3100}, {"3.00GHz", 3000}, {"2.80GHz", 2800}, {"2.70GHz", 2700}, {"2.60GHz", 2600},
    {"2.50GHz", 2500}, {"2.40GHz", 2400}, {"2.30GHz", 2300}, {"2.20GHz", 2200}, {"2.10GHz", 2100},
    {"2.00GHz", 2000}, {"1.90GHz", 1900}, {"1.80GHz", 1800}, {"1.70GHz", 1700}, {"1.60GHz", 1600},
    {"1.50GHz", 1500}, {"1.40GHz", 1400},
};

struct PackageRow {
    int32_t extModel;
    uint32_t platformIds;
    int32_t packageCode;
    bool mobile;
};
constexpr PackageRow kPackages[] = {
    {0x2A, PlatformIds({1}), kPackageSocket1155LGA, false},
    {0x3A, PlatformIds({1}), kPackageSocket1155LGA, false},
    {0x2A, PlatformIds({4}), kPackageSocket988BrPGA, true},
    {0x3A, PlatformIds({4}), kPackageSocket988BrPGA, true},
    {0x2D, PlatformIds({0, 1, 2, 6}), kPackageSocket2011LGA, false},
    {0x3E, PlatformIds({0, 1, 2, 6}), kPackageSocket2011LGA, false},
    {0x2D, PlatformIds({3}), kPackageSocket1356LGA, false},
    {0x3E, PlatformIds({3}), kPackageSocket1356LGA, false},
};

// A mobile part soldered down: the host bridge's capability register
// (0:0.0 register 0xE0 with capability ID 9) has bit 19 of its next
// dword set.
bool IsBallGridPackage() {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    uint32_t capability = 0, bits = 0;
    return pci && pci->ReadConfig(0, 0, 0, 0xE0, &capability) && (capability & 0xFF) == 9 &&
           pci->ReadConfig(0, 0, 0, 0xE8, &bits) && (bits & (1u << 19));
}

// The devices whose register gives the link multiplier: the first ID of
// each pair that is present, the register and how it encodes the value.
struct LinkSource {
    uint16_t device;
    uint16_t fallback;
    int32_t reg;
    bool qpiCode;  // (bits 2:0) x 4 + 20, else bits 6:0
};
constexpr LinkSource kLinkSources[] = {{0x3C80, 0x3C90, 0xD4, true}, {0x0E80, 0x0E90, 0x80, false}};

} // namespace

CCPUInfos* CreateIntelSandyBridgeInfos() { return new Intel_Sandy_Bridge_Infos; }

Intel_Sandy_Bridge_Infos::Intel_Sandy_Bridge_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kIntelSandyBridgeClass) {}

void Intel_Sandy_Bridge_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

void Intel_Sandy_Bridge_Infos::Initialize(CCPUThread* thread) {
    m_Ratios.turbo = ReadTurboState(thread, CpuidTurboBit(thread, false));
    if (HasEnhancedSpeedStep(thread)) InstallFIDVIDWithVIDSensor(this, thread, new Sandy_Bridge_FIDVID_Control);
    ReadPlatformInfo(thread);
    GetStockClock(thread);
    CacheMSRs(thread, {0x31, 0x35, 0x39, 0xC1, 0xC2, 0xC3, 0xC4, 0x186, 0x187, intel_msr::kPlatformInfo});
    ReadEfficiencyRatios(thread, m_Ratios);
    ReadTurboRatioLimits(thread, m_Ratios, 1);
    ReadOverclockingBins(thread, m_Ratios);
    CacheMSRs(thread, {0x19A, 0x1A4, 0x1FC, 0x601, 0x602, intel_msr::kRaplPowerUnit, 0x610});
    for (uint32_t msr : {intel_msr::kPackageEnergy, intel_msr::kCoresEnergy, intel_msr::kGraphicsEnergy})
        if (CreateEnergySensor(thread, msr)) ReadEnergyCounter(thread, msr);
    CreateUncoreSensor(thread);
    CacheMSRs(thread, {intel_msr::kDramEnergy});
    ReadPackagePowerInfo(thread, m_Ratios);
    if (HasDigitalThermalSensor(thread)) {
        thread->m_fTjMax = ReadTjMax(thread);
        CreateCoreTemperatureSensor(thread, thread->m_fTjMax);
        CreatePackageTemperatureSensor(thread, thread->m_fTjMax);
    }
    ReadLinkMultiplier(thread);
}

void Intel_Sandy_Bridge_Infos::ReadPlatformInfo(CCPUThread* thread) {
    ReadPlatformIdAndRatio(thread);
    const int32_t id = thread->m_iPlatformId;
    for (const PackageRow& row : kPackages) {
        if (row.extModel != thread->m_iExtModel || id < 0 || !(row.platformIds & (1u << id))) continue;
        thread->m_iPackageCode = row.packageCode;
        if (row.mobile) {
            thread->m_bMobile = 1;
            if (IsBallGridPackage()) thread->m_iPackageCode = kPackageSocket1023FCBGA;
        }
    }
}

void Intel_Sandy_Bridge_Infos::GetStockClock(CCPUThread* thread) {
    thread->m_iNominalBusClock = kNominalBusClock;
    thread->m_iStockClock = StockClockFromText(thread->m_szBrandString, kStockClocks);
    if (thread->m_iStockClock == -1)
        if (const MSR_Register* info = thread->GetMSR(intel_msr::kPlatformInfo))
            thread->m_iStockClock =
                static_cast<int32_t>(GetExactBusClock(thread) * static_cast<float>(Bits64(info->GetValue(), 15, 8)));
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!timer) return;
    m_Ratios.tscRate = MeasureMSRRate(timer, intel_msr::kTimeStampCounter);
    m_Ratios.aperfRate = MeasureMSRRate(timer, intel_msr::kAperf);
    m_Ratios.mperfRate = MeasureMSRRate(timer, intel_msr::kMperf);
}

void Intel_Sandy_Bridge_Infos::ReadLinkMultiplier(CCPUThread* thread) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    CTList<CDevice> found;
    for (const LinkSource& source : kLinkSources) {
        if (pci->FindDevicesByID(kIntel, source.device, &found) == 0) pci->FindDevicesByID(kIntel, source.fallback, &found);
        CTListIterator<CDevice> it(&found);
        for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
            uint32_t value = 0;
            if (!static_cast<CPCIDevice*>(device)->ReadConfigDword(source.reg, &value)) continue;
            thread->m_iLinkMultiplier =
                source.qpiCode ? static_cast<int32_t>(value & 7) * 4 + 20 : static_cast<int32_t>(value & 0x7F);
        }
    }
    found.RemoveAll();
}

// ---- Measurements ----

float Intel_Sandy_Bridge_Infos::GetMultiplier(CCPUThread* thread) { return IntelFIDVIDMultiplier(this, thread); }

float Intel_Sandy_Bridge_Infos::GetTemperature(CCPUThread* thread) { return IntelCoreAndPackageTemperature(thread); }

float Intel_Sandy_Bridge_Infos::ReadEnergyCounter(CCPUThread* thread, uint32_t msr) {
    CPowerSensor* sensor = EnergySensor(thread, msr);
    EnergyDelta delta;
    if (!SampleEnergyCounter(sensor, msr, delta)) return -1.0f;
    const float power =
        static_cast<float>(delta.counts * delta.hpetFrequency * kEnergyUnitMicrojoules / delta.ticks) / 1000000.0f;
    if (power <= 0) return -1.0f;
    sensor->SetValue(power, 1);
    return power;
}

float Intel_Sandy_Bridge_Infos::GetPower(CCPUThread* thread) {
    float last = -1.0f;
    for (uint32_t msr : {intel_msr::kPackageEnergy, intel_msr::kCoresEnergy, intel_msr::kGraphicsEnergy})
        last = ReadEnergyCounter(thread, msr);
    return UpdateUncorePower(thread, last);
}

float Intel_Sandy_Bridge_Infos::GetCoreClock(CCPUThread* thread, CTimer* timer) {
    return IntelFixedCounterCoreClock(thread, timer);
}

float Intel_Sandy_Bridge_Infos::GetBusClock(CCPUThread* thread) {
    return MobileBusClock(thread, m_Ratios.maxNonTurboRatio);
}

void Intel_Sandy_Bridge_Infos::DumpRegisters(CReportGenerator* report) {
    if (report) DumpRatioState(report, m_Ratios, 8, false);
}
