#include "sdk/cpu/amd_k7.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/amd_naming.h"
#include "sdk/cpu/amd_shared_bodies.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kK7Class = 0x2001000;
enum K7Subcode : uint32_t {
    kAthlon = 0x01,
    kAthlonXP = 0x02,
    kAthlonMP = 0x03,
    kDuron = 0x04,
    kSempron = 0x05,
    kMobileSempron = 0x06,
};
constexpr int32_t kSlotA = 0x20007;
constexpr int32_t kSocketA = 0x10006;
constexpr uint32_t kMPCapableBit = 1u << 19;  // CPUID 0x80000001 EDX
constexpr uint32_t kHWCRHighTable = 1u << 19;  // HWCR low dword: the second FID table

// The ratings the brand string is searched for, in this order.
constexpr int32_t kRatings[] = {1500, 1600, 1700, 1800, 1900, 2000, 2100, 2200, 2300,
                                2400, 2500, 2600, 2700, 2800, 2900, 3000, 3100, 3200};

// HWCR bits 27:24 to multipliers, with bit 19 clear and set.
constexpr float kHWCRLow[16] = {11.0f, 11.5f, 12.0f, 12.5f, 5.0f, 5.5f, 6.0f,  6.5f,
                                7.0f,  7.5f,  8.0f,  8.5f,  9.0f, 9.5f, 10.0f, 10.5f};
constexpr float kHWCRHigh[16] = {25.0f, 19.0f, 26.0f, 20.0f, 13.0f, 13.5f, 14.0f, 21.0f,
                                 15.0f, 22.0f, 16.0f, 16.5f, 17.0f, 18.0f, 23.0f, 24.5f};
constexpr int32_t kThunderbird = 4;

// The models that need no more than their row.
struct K7Model {
    int32_t model;
    const char* name;
    const char* codename;
    float technology;
    int32_t package;
    int32_t bus;  // -1: not set
    uint32_t subcode;
    SteppingTexts steppings;
};
constexpr K7Model kModels[] = {
    {1, "AMD Athlon", "Argon", 0.25f, kSlotA, 100, kAthlon, {{1, "C1"}, {2, "C2"}}},
    {2, "AMD Athlon", "Pluto", 0.18f, kSlotA, 100, kAthlon, {{1, "A1"}, {2, "A2"}}},
    {3, "AMD Duron", "Spitfire", 0.18f, kSocketA, 100, kDuron, {{0, "A0"}, {2, "A2"}}},
    {4, "AMD Athlon", "Thunderbird", 0.18f, kSocketA, -1, kAthlon, {{0, "A1"}, {2, "A4"}, {4, "A9"}}},
    {6, "AMD Athlon XP", "Palomino", 0.18f, kSocketA, 133, kAthlonXP, {{0, "A0"}, {1, "A1"}, {2, "A5"}}},
    {7, "AMD Duron", "Morgan", 0.18f, kSocketA, 100, kDuron, {{1, "A1"}}},
    {8, "AMD Athlon XP", nullptr, 0.13f, kSocketA, -1, kAthlonXP, {{0, "A0"}, {1, "B0"}}},
    {10, "AMD Athlon XP", nullptr, 0.13f, kSocketA, -1, kAthlonXP, {{0, "A2"}}},
};

bool BrandStringHas(const CCPUThread* thread, const char* text) {
    return std::strstr(thread->m_szBrandString, text) != nullptr;
}

// The 130 nm models' MP and mobile parts, with their bus clocks.
void NameMPOrMobile(AMDNaming& name, CCPUThread* thread, bool mpCapable) {
    if (mpCapable) {
        name.Name("AMD Athlon MP").Subcode(kAthlonMP);
        thread->m_iNominalBusClock = 133;
        if (BrandStringHas(thread, "Sempron")) {
            name.Name("AMD Sempron").Subcode(kSempron);
            thread->m_iNominalBusClock = 166;
        }
    }
    if (thread->m_bMobile) {
        name.Name("AMD Athlon XP-M").Subcode(kAthlonXP);
        thread->m_iNominalBusClock = 133;
    }
}

} // namespace

CCPUInfos* CreateAMDK7Infos() { return new AMD_K7_Infos; }

AMD_K7_Infos::AMD_K7_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kK7Class) {}

void AMD_K7_Infos::Initialize(CCPUThread* thread) {
    const uint32_t brand8 = Cpuid(1).ebx & 0xFF;
    uint32_t brand12 = 0;
    if (thread->m_dwMaxExtendedLeaf >= 0x80000001) {
        const CpuidResult extended = Cpuid(0x80000001);
        m_bMPCapable = (extended.edx & kMPCapableBit) ? 1 : 0;
        brand12 = extended.ebx & 0xFFF;
    }
    if (brand12) {
        thread->m_iBrandId = static_cast<int32_t>(brand12 >> 6);
        m_iNN = static_cast<int32_t>(brand12 & 0x3F);
    } else if (brand8 > 0) {
        thread->m_iBrandId = static_cast<int32_t>((brand8 >> 5) * 4);
        m_iNN = static_cast<int32_t>(brand8 & 0x1F);
    }
    if (thread->m_dwMaxExtendedLeaf > 0x80000006) {
        const uint32_t power = Cpuid(0x80000007).edx;
        m_bThermalSensor = power & 1;
        m_bFIDControl = (power >> 1) & 1;
        m_bVIDControl = (power >> 2) & 1;
        if (m_bFIDControl || m_bVIDControl) {
            m_pFIDVID = new K7_FIDVID_Control;
            m_pFIDVID->Refresh();
            thread->m_bMobile = 1;
        }
    }
    ReadPerformanceRating(thread);
    thread->GetMSR(amd_msr::kHWCR);
}

void AMD_K7_Infos::ReadPerformanceRating(CCPUThread* thread) {
    for (int32_t rating : kRatings) {
        char text[8];
        FormatString(text, sizeof text, "%d+", rating);
        if (BrandStringHas(thread, text)) {
            thread->m_iPerformanceRating = rating;
            return;
        }
    }
}

void AMD_K7_Infos::DetectCaches(CCPUThread* thread) {
    if (thread->m_iExtModel != 1 && thread->m_iExtModel != 2) return;
    if (const MSR_Register* reg = thread->GetMSR(amd_msr::kL2Control))
        m_iL2RatioCode = static_cast<int32_t>((reg->m_dwLow >> 4) & 0xF);
}

int AMD_K7_Infos::Identify(CCPUThread* thread) {
    thread->m_iLinkMultiplier = 2;
    IdentifyModel(thread);
    IdentifyBrandId(thread);
    return 1;
}

void AMD_K7_Infos::IdentifyModel(CCPUThread* thread) {
    const K7Model* row = nullptr;
    for (const K7Model& candidate : kModels)
        if (candidate.model == thread->m_iExtModel) row = &candidate;
    if (!row) return;
    AMDNaming name(thread, kK7Class);
    name.Name(row->name).Subcode(row->subcode).Technology(row->technology).Package(row->package);
    if (row->codename) name.Codename(row->codename);
    if (row->bus != -1) thread->m_iNominalBusClock = row->bus;
    name.Stepping(row->steppings);
    switch (thread->m_iExtModel) {
    case 6:
        if (m_bMPCapable) {
            name.Name("AMD Athlon MP").Subcode(kAthlonMP);
            if (BrandStringHas(thread, " XP ")) name.Name("AMD Athlon XP").Subcode(kAthlonXP);
        }
        if (thread->m_bMobile) name.Name("AMD Athlon 4").Subcode(kAthlon);
        break;
    case 8:
        if (thread->m_iPerformanceRating != -1 && thread->m_iPerformanceRating != 2600)
            thread->m_iNominalBusClock = thread->m_iPerformanceRating == 2700 ? 166 : 133;
        NameMPOrMobile(name, thread, m_bMPCapable != 0);
        if (thread->GetL2Cache() == 64) {
            name.Name("AMD Duron").Subcode(kDuron).Codename("Applebred");
            thread->m_iNominalBusClock = 133;
        } else {
            name.Codename("Thoroughbred");
        }
        break;
    case 10:
        NameMPOrMobile(name, thread, m_bMPCapable != 0);
        name.Codename(thread->GetL2Cache() == 256 ? "Thorton" : "Barton");
        break;
    default: break;
    }
    if (thread->m_iExtModel == 7 && thread->m_bMobile) name.Name("Mobile AMD Duron");
}

void AMD_K7_Infos::IdentifyBrandId(CCPUThread* thread) {
    AMDNaming name(thread, kK7Class);
    switch (thread->m_iBrandId) {
    case 29:
    case 30:
        name.Rated("Mobile AMD Athlon XP-M %2d00+", m_iNN + 22);
        thread->m_bMobile = 1;
        break;
    case 32: name.Rated("AMD Athlon XP %2d00+", m_iNN + 22).Subcode(kAthlonXP); break;
    case 33:
    case 35:
        name.Rated("Mobile AMD Sempron %2d00+", m_iNN + 24).Subcode(kMobileSempron);
        thread->m_bMobile = 1;
        break;
    case 34: name.Rated("AMD Sempron %2d00+", m_iNN + 24).Subcode(kSempron); break;
    default: break;
    }
}

float AMD_K7_Infos::HWCRMultiplier(uint32_t low, int32_t extModel) {
    const uint32_t code = (low >> 24) & 0xF;
    if (low & kHWCRHighTable) return kHWCRHigh[code];
    if (extModel == kThunderbird && code == 3) return 13.0f;
    if (extModel == kThunderbird && code == 4) return 14.0f;
    return kHWCRLow[code];
}

float AMD_K7_Infos::GetMultiplier(CCPUThread* thread) {
    if (m_pFIDVID) return FIDVIDCurrentMultiplier(this);
    MSR_Register hwcr(amd_msr::kHWCR);
    return hwcr.Read() ? HWCRMultiplier(hwcr.m_dwLow, thread->m_iExtModel) : -1.0f;
}

float AMD_K7_Infos::GetCoreClock(CCPUThread*, CTimer*) { return AMDPerfCounterCoreClock(); }

void AMD_K7_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("\tK7 Thermal sensor", "\t", "%s", m_bThermalSensor ? "yes" : "no");
    if (m_iL2RatioCode == -1) return;
    static constexpr const char* kRatios[] = {"1/2 x CPU speed", "2/5 x CPU speed", "1/3 x CPU speed"};
    if (m_iL2RatioCode < 3)
        report->PrintField("\tK7 L2 ratio", "\t\t", "%s", kRatios[m_iL2RatioCode]);
    else
        report->PrintField("\tK7 L2 ratio", "\t\t", "unknown (%Xh)", m_iL2RatioCode);
}
