#include "sdk/cpu/via_centaur.h"

#include "sdk/core/helpers.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/extended_leaf_caches.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kVmxBit = 1u << 5;         // CPUID 1 ECX
constexpr uint32_t kPowerOnMsr = 0x2A;        // EBL_CR_POWERON: bus clock and ratio straps
constexpr int32_t kPackageSocket7 = 0x10004;
constexpr int32_t kPackageSocket370 = 0x1000D;

void SetText(char (&field)[CCPUThread::kTextSize], const char* text) { FormatString(field, sizeof field, "%s", text); }

uint32_t Field(uint32_t value, unsigned high, unsigned low) { return (value >> low) & ((1u << (high - low + 1)) - 1); }

// The C3 rows of family 6 by model; the C7 and the Nano have descriptions
// of their own.
enum class Steppings { Any, UpTo7, Above7 };
struct C3Row {
    int32_t model;
    Steppings steppings;
    const char* codename;
    float technology;
    const char* coreStepping;
};
constexpr C3Row kC3Models[] = {
    {6, Steppings::Any, "Samuel", 0.18f, "C5A"},
    {7, Steppings::UpTo7, "Samuel 2", 0.15f, "C5B"},
    {7, Steppings::Above7, "Ezra", 0.13f, "C5C"},
    {8, Steppings::Any, "Ezra-T", 0.13f, "C5N"},
    {9, Steppings::UpTo7, "Nehemiah", 0.13f, "C5XL"},
    {9, Steppings::Above7, "Nehemiah", 0.13f, "C5P"},
};
constexpr int32_t kEzraModel = 7;
constexpr int32_t kNehemiahModel = 9;
constexpr int32_t kLastEarlyStepping = 7;
constexpr int32_t kNehemiahC5XLWays = 16;

// The C3's level-2 cache from 0x80000006 ECX: the size the row computes,
// the line size and the ways.
void SetC3Level2(CCPUThread* thread, int32_t size, uint32_t ecx) {
    if (thread->m_dwMaxExtendedLeaf < 0x80000006 || size <= 0) return;
    CCacheDescriptor* cache = TakeOrAddCache(thread, 2, CACHE_UNIFIED);
    cache->m_iSize = size;
    cache->m_iLineSize = static_cast<int32_t>(Field(ecx, 7, 0));
    if (const int32_t ways = ExtendedLeafWays(Field(ecx, 15, 12)); ways != -1) cache->m_iWays = ways;
}

} // namespace

CCPUInfos* CreateVIAInfos() { return new VIA_CPU_Infos; }

VIA_CPU_Infos::VIA_CPU_Infos() : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_VIA) {}

void VIA_CPU_Infos::Initialize(CCPUThread* thread) {
    if (thread->m_dwMaxStandardLeaf >= 1) thread->m_bVirtualization = (Cpuid(1).ecx & kVmxBit) ? 1 : 0;
    // The processors of this vendor leave 0x80000001 EAX reserved (0): the
    // extended signature is then the signature of leaf 1.
    thread->m_iExtFamily = thread->m_iFamily;
    thread->m_iExtModel = thread->m_iModel;
    if (thread->m_dwMaxExtendedLeaf >= 0x80000001) {
        if (const uint32_t signature = Cpuid(0x80000001).eax; signature != 0) {
            thread->m_iExtFamily = static_cast<int32_t>(Field(signature, 11, 8));
            thread->m_iExtModel = static_cast<int32_t>(Field(signature, 7, 4));
        }
    }
    if (thread->m_dwMaxExtendedLeaf >= 0x80000004) ReadBrandString(thread, false);
    GetStockClock(thread);
}

void VIA_CPU_Infos::GetStockClock(CCPUThread* thread) {
    if (thread->m_iFamily != 6 || thread->m_iModel < 6 || thread->m_iModel > 9) return;
    if (const MSR_Register* powerOn = thread->GetMSR(kPowerOnMsr)) {
        switch (Field(powerOn->m_dwLow, 19, 18)) {
        case 1: thread->m_iNominalBusClock = 133; break;
        case 2: thread->m_iNominalBusClock = 100; break;
        default: break;
        }
    }
    const float multiplier = VIA_CPU_Infos::GetMultiplier(thread);
    const float bus = GetExactBusClock(thread);
    if (multiplier > 0 && bus > 0) thread->m_iStockClock = static_cast<int32_t>(bus * multiplier);
}

void VIA_CPU_Infos::DetectCaches(CCPUThread* thread) { DetectExtendedLeafCaches(thread); }

int VIA_CPU_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iFamily == 5) IdentifyWinChip(thread);
    if (thread->m_iFamily != 6) return 1;
    IdentifyFamily6(thread);
    switch (thread->m_iModel) {
    case 0xA:
    case 0xD:
        SetText(thread->m_szName, "VIA C7");
        SetText(thread->m_szCoreStepping, thread->m_iModel == 0xA ? "C5J" : "C5R");
        return thread->SetFamilyInfos(new VIA_C7_Infos);
    case 0xF:
        SetText(thread->m_szName, "VIA Nano");
        SetText(thread->m_szCodename, "Isaiah");
        return thread->SetFamilyInfos(new VIA_CNA_Infos);
    default: return 1;
    }
}

void VIA_CPU_Infos::IdentifyWinChip(CCPUThread* thread) {
    SetText(thread->m_szName, "IDT Winchip");
    thread->m_iPackageCode = kPackageSocket7;
    thread->m_dwClassCode = 0x8000400;
    const int32_t stepping = thread->m_iStepping;
    switch (thread->m_iModel) {
    case 4: SetText(thread->m_szName, "IDT WinChip C6"); break;
    case 8:
        SetText(thread->m_szName, stepping < 7 ? "IDT WinChip 2" : stepping <= 9 ? "IDT WinChip 2A" : "IDT WinChip 2B");
        break;
    case 9: SetText(thread->m_szName, "IDT WinChip 3"); break;
    default: break;
    }
    if (stepping >= 0 && stepping <= 15) thread->m_fTechnology = stepping <= 4 ? 0.35f : 0.25f;
}

void VIA_CPU_Infos::IdentifyFamily6(CCPUThread* thread) {
    SetText(thread->m_szName, "VIA Processor");
    thread->m_dwClassCode = CPU_CLASS_VIA;
    const bool laterStepping = thread->m_iStepping > kLastEarlyStepping;
    for (const C3Row& row : kC3Models) {
        if (row.model != thread->m_iModel) continue;
        if (row.steppings != Steppings::Any && (row.steppings == Steppings::Above7) != laterStepping) continue;
        SetText(thread->m_szName, "VIA C3");
        SetText(thread->m_szCodename, row.codename);
        thread->m_fTechnology = row.technology;
        SetText(thread->m_szCoreStepping, row.coreStepping);
        thread->m_dwClassCode = 0x8000801;
        thread->m_iPackageCode = kPackageSocket370;
        if (thread->m_dwMaxExtendedLeaf < 0x80000006) return;
        const uint32_t ecx = Cpuid(0x80000006).ecx;
        if (row.model == kEzraModel && laterStepping) SetC3Level2(thread, static_cast<int32_t>(Field(ecx, 31, 24)), ecx);
        if (row.model == kNehemiahModel) {
            SetC3Level2(thread, static_cast<int32_t>((ecx >> 20) * 16), ecx);
            CCacheDescriptor* level2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED);
            if (!laterStepping && level2) level2->m_iWays = kNehemiahC5XLWays;
        }
        return;
    }
}
