// The VIA C7 (Esther): brand IDs from MSRs 0x1153/0x1154, clocks and
// ratios from the Centaur leaf 0xC0000002, names by brand.
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/cpuid_leaf_range.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/cpu/via_centaur.h"

namespace {

constexpr uint32_t kBrandAMsr = 0x1153;
constexpr uint32_t kBrandDMsr = 0x1154;
constexpr uint32_t kCentaurLeaves = 0xC0000000;
constexpr uint32_t kClockLeaf = 0xC0000002;
constexpr int32_t kC7L2Ways = 32;
constexpr int32_t kPackageNanoBGA2 = 0x10014;
constexpr int32_t kBusClocks[4] = {100, 133, 200, 166};  // 0xC0000002 EDX bits 19:18

uint32_t Field(uint32_t value, unsigned high, unsigned low) { return (value >> low) & ((1u << (high - low + 1)) - 1); }

// The brand of a brand-ID register: bits high:low of low XOR (low >> 2).
int32_t BrandOf(CCPUThread* thread, uint32_t msr, unsigned high, unsigned low) {
    const MSR_Register* reg = thread->GetMSR(msr);
    if (!reg) return -1;
    return static_cast<int32_t>(Field(reg->m_dwLow ^ (reg->m_dwLow >> 2), high, low));
}

// The C7-M's model number by stock clock (and, at 1600 and 2000 MHz, by
// nominal bus clock); 0 for a clock the table does not list.
int ModelNumberOfC7M(int32_t stockClock, int32_t busClock) {
    switch (stockClock) {
    case 1500: return 754;
    case 1600: return busClock == 100 ? 764 : busClock == 133 ? 765 : 0;
    case 1800: return 784;
    case 1866: return 785;
    case 2000: return busClock == 100 ? 794 : busClock == 133 ? 795 : 0;
    default: return 0;
    }
}

} // namespace

VIA_C7_Infos::VIA_C7_Infos() : CCPUInfos(CPU_INFOS_FAMILY, 0x8001000) {}

void VIA_C7_Infos::Initialize(CCPUThread* thread) {
    m_dwMaxCentaurLeaf = Cpuid(kCentaurLeaves).eax;
    if (const int32_t brand = BrandOf(thread, kBrandAMsr, 19, 18); brand != -1) m_iBrandIdA = brand;
    if (const int32_t brand = BrandOf(thread, kBrandDMsr, 3, 2); brand != -1) m_iBrandIdD = brand;
    if (m_dwMaxCentaurLeaf < kClockLeaf) return;
    const CpuidResult clocks = Cpuid(kClockLeaf);
    thread->m_iNominalBusClock = kBusClocks[Field(clocks.edx, 19, 18)];
    thread->m_fMaxNonTurboMultiplier = static_cast<float>(Field(clocks.ecx, 15, 8));
    thread->m_fMinMultiplier = static_cast<float>(Field(clocks.ecx, 31, 24));
    if (const float bus = GetExactBusClock(thread); bus > 0)
        thread->m_iStockClock = static_cast<int32_t>(bus * thread->m_fMaxNonTurboMultiplier);
}

void VIA_C7_Infos::DetectCaches(CCPUThread* thread) {
    if (CCacheDescriptor* level2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED)) level2->m_iWays = kC7L2Ways;
}

int VIA_C7_Infos::Identify(CCPUThread* thread) {
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "VIA C7");
    FormatString(thread->m_szCodename, sizeof thread->m_szCodename, "%s", "Esther");
    thread->m_fTechnology = 0.09f;
    thread->m_dwClassCode = 0x8001001;
    thread->m_iPackageCode = kPackageNanoBGA2;
    thread->m_iLinkMultiplier = 4;
    const int32_t brand = thread->m_iModel == 0xA ? m_iBrandIdA : thread->m_iModel == 0xD ? m_iBrandIdD : 1;
    switch (brand) {
    case 0:
        FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "VIA C7-M");
        thread->m_dwClassCode = 0x8001002;
        thread->m_bMobile = 1;
        if (const int number = ModelNumberOfC7M(thread->m_iStockClock, thread->m_iNominalBusClock))
            AppendFormat(thread->m_szName, sizeof thread->m_szName, " %d", number);
        break;
    case 2:
        FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "VIA Eden");
        thread->m_dwClassCode = 0x8001003;
        break;
    case 3:
        FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "VIA C7-D");
        thread->m_dwClassCode = 0x8001004;
        break;
    default: break;
    }
    return 1;
}

float VIA_C7_Infos::GetMultiplier(CCPUThread*) {
    if (m_dwMaxCentaurLeaf < kClockLeaf) return -1.0f;
    return static_cast<float>(Field(Cpuid(kClockLeaf).ebx, 15, 8));
}

void VIA_C7_Infos::DumpCPUID(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("\tVIA Brand ID (A)", "\t", "%d", m_iBrandIdA);
    report->PrintField("\tVIA Brand ID (D)", "\t", "%d", m_iBrandIdD);
    DumpCPUIDLeafRange(report, kCentaurLeaves, m_dwMaxCentaurLeaf);
}
