#include "sdk/cpu/intel_silvermont.h"

#include <cmath>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_atom_shared.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"
#include "sdk/cpu/intel_shared_bodies_rapl.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint32_t kTurboRatioLimitMsr = 0x66C;
constexpr unsigned kTurboDisengageHighBit = 6;  // MSR 0x1A0 bit 38
constexpr double kDefaultEnergyUnit = 1.0 / 65536.0;
// The energy counts are in units of the power unit register's energy
// field times 1 mJ on these cores.
constexpr float kCountsToWatts = 0.001f;

// MSR 0xCD bits 2:0 -> the nominal bus clock in MHz; higher codes mean nothing.
constexpr int32_t kBusClocks[] = {83, 100, 133, 116, 80};

constexpr StockClockText kStockClocks[] = {
    {"2.40GHz", 2400}, {"2.16GHz", 2166}, {"2.13GHz", 2133}, {"2.00GHz", 2000}, {"1.86GHz", 1866},
    {"1.83GHz", 1833}, {"1.60GHz", 1600}, {"1.50GHz", 1500}, {"1.46GHz", 1466}, {"1.33GHz", 1333},
};

enum SilvermontPackage : int32_t {
    kPackageBayTrailM = 0x10049,  // Socket 1170 BGA, platform ID 2
    kPackageBayTrailT = 0x1004A,  // Socket 1380 BGA, platform ID 1
    kPackageAvotonBraswell = 0x1004D,  // Socket 1283 FCBGA
};

// The graphics temperature sensor's package slot.
constexpr int kGraphicsTemperatureSlot = 1;
constexpr uint8_t kGraphicsTemperatureIndex = 2;
constexpr float kGraphicsReadoutBase = 127.0f;

// The SoC's message bus, reached at the host bridge 00:00.0: a command
// written to MCR (opcode 31:24, port 23:16, register 15:8) moves one
// register of a unit through MDR. The graphics readout is register 0xB1 of
// port 0x04, read with opcode 0x10.
constexpr uint32_t kMessageControl = 0xD0;
constexpr uint32_t kMessageData = 0xD4;
constexpr uint32_t kReadGraphicsReadout = 0x10u << 24 | 0x04u << 16 | 0xB1u << 8;

// A register of the message bus, read through MDR; MDR is put back as it
// was found, so that the unit's own drivers see their data unchanged.
bool ReadMessageBus(CPCIInterface* pci, uint32_t command, uint32_t& value) {
    uint32_t found = 0;
    const bool saved = pci->ReadConfig(0, 0, 0, kMessageData, &found) != 0;
    bool read = false;
    if (pci->WriteConfig(0, 0, 0, kMessageControl, command)) read = pci->ReadConfig(0, 0, 0, kMessageData, &value) != 0;
    if (saved) pci->WriteConfig(0, 0, 0, kMessageData, found);
    return read;
}

} // namespace

CCPUInfos* CreateIntelSilvermontInfos() { return new Intel_Silvermont_Infos; }

Intel_Silvermont_Infos::Intel_Silvermont_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kIntelSilvermontClass) {}

void Intel_Silvermont_Infos::DetectCaches(CCPUThread* thread) { VendorDetectCaches(thread); }

void Intel_Silvermont_Infos::Initialize(CCPUThread* thread) {
    ReadTurbo(thread);
    m_pFIDVID = new Silvermont_FIDVID_Control;
    m_pFIDVID->Refresh();
    ReadPlatformInfo(thread);
    GetStockClock(thread);
    thread->GetMSR(intel_msr::kMiscEnable);
    m_dEnergyUnit = kDefaultEnergyUnit;
    if (const MSR_Register* unit = thread->GetMSR(intel_msr::kRaplPowerUnit))
        m_dEnergyUnit = 1.0 / std::ldexp(1.0, static_cast<int>(Bits64(unit->m_dwLow, 12, 8)));
    CacheMSRs(thread, {0x601, 0x602, intel_msr::kRaplPowerUnit, 0x610});
    for (uint32_t msr : {intel_msr::kPackageEnergy, intel_msr::kCoresEnergy})
        if (CreateEnergySensor(thread, msr)) ReadEnergyCounter(thread, msr);
    ReadPowerLimits(thread);
    if (HasDigitalThermalSensor(thread)) {
        const float tjMax = ReadTjMax(thread);
        CreateCoreTemperatureSensor(thread, tjMax);
        CreatePackageTemperatureSensor(thread, tjMax);
    }
}

// Turbo is supported when the CPUID bit and MSR 0x1A0 agree: both say
// on, or the CPUID bit is clear because the firmware switched turbo off.
void Intel_Silvermont_Infos::ReadTurbo(CCPUThread* thread) {
    const int32_t cpuidTurbo = CpuidTurboBit(thread, false);
    MSR_Register misc(intel_msr::kMiscEnable);
    m_bTurboEnabled = misc.Read() && !((misc.m_dwHigh >> kTurboDisengageHighBit) & 1) ? 1 : 0;
    m_bTurboSupported = cpuidTurbo == m_bTurboEnabled ? 1 : 0;
    MSR_Register limits(kTurboRatioLimitMsr);
    if (!limits.Read()) return;
    for (size_t core = 0; core < m_iRatioLimits.size(); ++core) {
        const auto low = static_cast<unsigned>(8 * core);
        m_iRatioLimits[core] = static_cast<int32_t>(Bits64(limits.GetValue(), low + 7, low));
    }
    m_iMaxTurboRatio = m_iRatioLimits[0];
    thread->m_fMaxMultiplier = static_cast<float>(m_iMaxTurboRatio);
}

void Intel_Silvermont_Infos::ReadPlatformInfo(CCPUThread* thread) {
    MSR_Register id(intel_msr::kPlatformId);
    if (id.Read()) {
        thread->m_iPlatformId = static_cast<int32_t>(Bits64(id.GetValue(), 52, 50));
        thread->m_bMobile = Bits64(id.GetValue(), 28, 28);
    }
    MSR_Register info(intel_msr::kPlatformInfo);
    if (info.Read()) {
        thread->m_bEngineeringSample = Bits64(info.GetValue(), 27, 27);
        m_iMaxNonTurboRatio = static_cast<int32_t>(Bits64(info.GetValue(), 15, 8));
        thread->m_fMaxNonTurboMultiplier = static_cast<float>(m_iMaxNonTurboRatio);
    }
    if (m_pFIDVID && m_pFIDVID->Refresh()) thread->m_fMinMultiplier = m_pFIDVID->GetMinMultiplier();
    if (thread->m_iExtModel == 0x37 && thread->m_iPlatformId == 1) thread->m_iPackageCode = kPackageBayTrailT;
    else if (thread->m_iExtModel == 0x37 && thread->m_iPlatformId == 2) thread->m_iPackageCode = kPackageBayTrailM;
    else if (thread->m_iExtModel == 0x4C || thread->m_iExtModel == 0x4D) thread->m_iPackageCode = kPackageAvotonBraswell;
}

void Intel_Silvermont_Infos::GetStockClock(CCPUThread* thread) {
    ReadAtomBusClock(thread, kBusClocks);
    if (thread->m_szBrandString[0]) {
        const int32_t mhz = StockClockFromText(thread->m_szBrandString, kStockClocks);
        if (mhz != -1) thread->m_iStockClock = mhz;
    }
    AtomStockClockFromRatio(thread, m_pFIDVID);
}

void Intel_Silvermont_Infos::ReadPowerLimits(CCPUThread* thread) {
    MSR_Register info(intel_msr::kPackagePowerInfo);
    if (!info.Read()) return;
    const uint64_t value = info.GetValue();
    thread->m_fTDP = static_cast<float>(Bits64(value, 14, 0)) * 0.125f;
    if (Bits64(value, 30, 16) != 0) m_iMinPower = static_cast<int32_t>(Bits64(value, 30, 19));
    if (Bits64(value, 46, 32) != 0) m_iMaxPower = static_cast<int32_t>(Bits64(value, 46, 35));
}

float Intel_Silvermont_Infos::GetMultiplier(CCPUThread*) { return FIDVIDCurrentMultiplier(this); }

// ---- Temperatures ----

float Intel_Silvermont_Infos::GetTemperature(CCPUThread* thread) {
    const float core = IntelCoreAndPackageTemperature(thread);
    ReadGraphicsTemperature(thread);
    return core;
}

void Intel_Silvermont_Infos::ReadGraphicsTemperature(CCPUThread* thread) {
    CSensor*& slot = thread->m_pPackageSensors[kGraphicsTemperatureSlot];
    if (!slot) slot = AddTemperatureSensor(kGraphicsTemperatureIndex, "GT", thread->m_fTjMax);
    auto* sensor = static_cast<CTemperatureSensor*>(slot);
    CPCIInterface* pci = GetSDK()->m_pPCI;
    uint32_t readout = 0;
    if (!pci || !ReadMessageBus(pci, kReadGraphicsReadout, readout)) return;
    sensor->m_dwRawValue = readout & 0xFF;
    sensor->SetValue(sensor->m_fOffset - static_cast<float>(readout & 0xFF) + kGraphicsReadoutBase, 1);
}

// ---- Power and clock ----

float Intel_Silvermont_Infos::ReadEnergyCounter(CCPUThread* thread, uint32_t msr) {
    CPowerSensor* sensor = EnergySensor(thread, msr);
    EnergyDelta delta;
    if (!SampleEnergyCounter(sensor, msr, delta)) return -1.0f;
    const float watts =
        static_cast<float>(delta.counts * m_dEnergyUnit * delta.hpetFrequency / delta.ticks) * kCountsToWatts;
    if (watts > 0) sensor->SetValue(watts, 1);
    return watts;
}

float Intel_Silvermont_Infos::GetPower(CCPUThread* thread) {
    ReadEnergyCounter(thread, intel_msr::kPackageEnergy);
    return ReadEnergyCounter(thread, intel_msr::kCoresEnergy);
}

float Intel_Silvermont_Infos::GetCoreClock(CCPUThread* thread, CTimer*) {
    return IntelFixedCounterCoreClockByHPET(thread);
}

// ---- Report ----

void Intel_Silvermont_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    if (m_iMaxPower != -1) report->PrintField("\tMax Power", "\t\t", "%d Watts", m_iMaxPower);
    if (m_iMinPower != -1) report->PrintField("\tMin Power", "\t\t", "%d Watts", m_iMinPower);
    if (m_iMaxNonTurboRatio != -1) report->PrintField("\tMax non-turbo ratio", "\t", "%dx", m_iMaxNonTurboRatio);
    if (m_iMaxTurboRatio != -1) report->PrintField("\tMax turbo ratio", "\t\t", "%dx", m_iMaxTurboRatio);
    char label[64];
    for (size_t core = 0; core < m_iRatioLimits.size(); ++core) {
        const int32_t ratio = m_iRatioLimits[core];
        if (ratio <= 0 || ratio == 255) continue;
        FormatString(label, sizeof label, core == 0 ? "\tRatio %d core" : "\tRatio %d cores", static_cast<int>(core + 1));
        report->PrintField(label, "\t\t", "%dx", ratio);
    }
}
