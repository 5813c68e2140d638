// The VIA Nano (Isaiah, the CNA core): package counts and APIC id from
// leaf 1, the ratios of its FID/VID control, the bus clock strap of MSR
// 0xCD, the core temperature of the Centaur leaf 0xC0000004, names by
// stepping, logical processor count and brand string.
#include <cstring>
#include <span>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/cpuid_leaf_range.h"
#include "sdk/cpu/fidvid_via.h"
#include "sdk/cpu/measured_bus_clock.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/cpu/via_centaur.h"

namespace {

constexpr uint32_t kCentaurLeaves = 0xC0000000;
constexpr uint32_t kTemperatureLeaf = 0xC0000004;
constexpr uint32_t kBusStrapMsr = 0xCD;
constexpr int32_t kBusClocks[8] = {266, 133, 200, 166, 333, 100, 400, -1};  // MSR 0xCD bits 2:0
constexpr int32_t kPackageNanoBGA2 = 0x10014;

void SetText(char (&field)[CCPUThread::kTextSize], const char* text) { FormatString(field, sizeof field, "%s", text); }

bool SpecHas(const CCPUThread* thread, const char* text) { return std::strstr(thread->m_szBrandString, text) != nullptr; }

// A model number the brand string names, appended to the name, with its
// TDP (-1: none known).
struct Suffix {
    const char* model;
    float tdp;
};

void AppendFirstSuffix(CCPUThread* thread, std::span<const Suffix> suffixes) {
    for (const Suffix& suffix : suffixes) {
        if (!SpecHas(thread, suffix.model)) continue;
        AppendFormat(thread->m_szName, sizeof thread->m_szName, " %s", suffix.model);
        if (suffix.tdp > 0) thread->m_fTDP = suffix.tdp;
        return;
    }
}

constexpr Suffix kEdenX2[] = {{"U4100", 6.0f}, {"U4200", 9.0f}};
constexpr Suffix kNanoX2[] = {{"L4350", 27.0f}, {"U4300", 13.0f}, {"U4025", -1.0f}, {"L4050", 27.0f}};
constexpr Suffix kNanoX3[] = {{"L4500", 60.0f}};
constexpr Suffix kQuadCore[] = {{"L4800", 45.0f}, {"L4700", 27.0f}, {"L4650", 18.0f}, {"L4600", 60.0f}};

// The multi-core Nanos (steppings above 10), by the logical processors
// per package that leaf 1 reports.
void IdentifyMultiCore(CCPUThread* thread) {
    struct Row {
        const char* name;
        uint32_t classCode;
        std::span<const Suffix> suffixes;
    };
    Row row{nullptr, 0, {}};
    switch (thread->m_iLogicalPerPackage) {
    case 4:
        row = SpecHas(thread, "Eden") ? Row{"VIA Eden X2", 0x8002002, kEdenX2} : Row{"VIA Nano X2", 0x8002001, kNanoX2};
        break;
    case 6: row = Row{"VIA Nano X3", 0x8002003, kNanoX3}; break;
    case 8:
        row = SpecHas(thread, "X3") ? Row{"VIA Nano X3", 0x8002003, kNanoX3} : Row{"VIA QuadCore", 0x8002004, kQuadCore};
        break;
    default: break;
    }
    if (row.name) {
        SetText(thread->m_szName, row.name);
        thread->m_dwClassCode = row.classCode;
        thread->m_fTechnology = 0.04f;
        AppendFirstSuffix(thread, row.suffixes);
    }
    if (thread->m_iStepping == 12) SetText(thread->m_szCoreStepping, "A1");
    if (thread->m_iStepping == 13) SetText(thread->m_szCoreStepping, "A2");
}

} // namespace

VIA_CNA_Infos::VIA_CNA_Infos() : CCPUInfos(CPU_INFOS_FAMILY, 0x8002000) {}

void VIA_CNA_Infos::Initialize(CCPUThread* thread) {
    const CpuidResult basic = Cpuid(1);
    thread->m_iCoresPerPackage = static_cast<int32_t>((basic.ebx >> 16) & 0xFF);
    thread->m_iLogicalPerPackage = thread->m_iCoresPerPackage;
    thread->m_iApicId = static_cast<int32_t>(basic.ebx >> 24);
    m_dwMaxCentaurLeaf = Cpuid(kCentaurLeaves).eax;
    m_pFIDVID = new CNA_FIDVID_Control;
    m_pFIDVID->Refresh();
    thread->m_fMaxNonTurboMultiplier = m_pFIDVID->GetMaxMultiplier();
    if (const MSR_Register* strap = thread->GetMSR(kBusStrapMsr); strap && kBusClocks[strap->m_dwLow & 7] != -1)
        thread->m_iNominalBusClock = kBusClocks[strap->m_dwLow & 7];
    auto* sensor = new CTemperatureSensor(0);
    thread->m_pCoreTemperature = sensor;
    GetSDK()->m_pSensors->AddTail(sensor);
}

int VIA_CNA_Infos::Identify(CCPUThread* thread) {
    thread->m_dwClassCode = 0x8002000;
    thread->m_iPackageCode = kPackageNanoBGA2;
    thread->m_iLinkMultiplier = 4;
    SetText(thread->m_szCodename, "CN");
    const int32_t stepping = thread->m_iStepping;
    if (stepping <= 7) {
        SetText(thread->m_szName, "VIA Nano 1000/2000");
        thread->m_fTechnology = 0.065f;
        if (SpecHas(thread, "L2007")) {
            SetText(thread->m_szName, "VIA Nano L2007");
            thread->m_fTDP = 25.0f;
        }
        if (stepping == 3) SetText(thread->m_szCoreStepping, "A3");
    } else if (stepping <= 10) {
        SetText(thread->m_szName, "VIA Nano 3000");
        thread->m_fTechnology = 0.065f;
        if (SpecHas(thread, "U3300")) {
            SetText(thread->m_szName, "VIA Nano U3300");
            thread->m_fTDP = 7.0f;
        } else if (SpecHas(thread, "U3100")) {
            SetText(thread->m_szName, "VIA Nano U3100");
            thread->m_fTDP = 9.0f;
        }
        if (stepping == 8) SetText(thread->m_szCoreStepping, "A1");
        if (stepping == 10) SetText(thread->m_szCoreStepping, "A2");
    } else {
        IdentifyMultiCore(thread);
    }
    return 1;
}

float VIA_CNA_Infos::GetMultiplier(CCPUThread*) { return FIDVIDCurrentMultiplier(this); }

float VIA_CNA_Infos::GetTemperature(CCPUThread* thread) {
    CSensor* sensor = thread->m_pCoreTemperature;
    if (!sensor) return -1.0f;
    const uint32_t reading = Cpuid(kTemperatureLeaf).eax;
    sensor->m_dwRawValue = reading;
    sensor->SetValue(static_cast<float>(reading), 1);
    return sensor->m_fValue;
}

float VIA_CNA_Infos::GetBusClock(CCPUThread* thread) { return MeasuredBusClock(thread); }

void VIA_CNA_Infos::DumpCPUID(CReportGenerator* report) { DumpCPUIDLeafRange(report, kCentaurLeaves, m_dwMaxCentaurLeaf); }
