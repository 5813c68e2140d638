// A logical processor's block of the thread dumps (its identity, caches,
// CPUID leaves and registers) and its register section of the processor
// report.
#include <algorithm>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/cpu/msr_register.h"

namespace {

// The leaves of one range the dump lists at most: a processor answering
// garbage for its highest leaf must not make the dump endless.
constexpr uint32_t kMaxLeavesPerRange = 0x100;
constexpr uint32_t kMaxSubleaves = 64;

void PrintLeaf(CReportGenerator* report, uint32_t leaf, const CpuidResult& r) {
    char label[64];
    FormatString(label, sizeof label, "\t0x%08X", leaf);
    report->PrintField(label, "\t\t", "0x%08X\t0x%08X\t0x%08X\t0x%08X", r.eax, r.ebx, r.ecx, r.edx);
}

// The sub-leaves of a leaf while `more` says the answer is one.
template <typename More>
void PrintSubleaves(CReportGenerator* report, uint32_t leaf, More more) {
    for (uint32_t subleaf = 0; subleaf < kMaxSubleaves; ++subleaf) {
        const CpuidResult r = Cpuid(leaf, subleaf);
        if (!more(r)) return;
        PrintLeaf(report, leaf, r);
    }
}

const char* CacheTypeText(int32_t type, char (&other)[16]) {
    switch (type) {
    case CACHE_DATA: return ", D";
    case CACHE_INSTRUCTION: return ", I";
    case CACHE_UNIFIED: return ", U";
    case CACHE_TRACE: return ", T";
    case -1: return ", ?";
    default: FormatString(other, sizeof other, ", %X", type); return other;
    }
}

} // namespace

void CCPUThread::Dump(CReportGenerator* report) {
    if (!report) return;
    char label[512];
    FormatString(label, sizeof label, "CPU Thread %d", m_iProcessorNumber);
    report->PrintField(label, "\t", "%s", "");
    report->PrintField("\tAPIC ID", "\t\t\t", "%d", m_iApicId);
    report->PrintField("\tTopology", "\t\t", "Processor ID %d, Core ID %d, Thread ID %d", m_iPackageId, m_iCoreId,
                       m_iSmtId);
    report->PrintField("\tType", "\t\t\t", "%08Xh", m_dwClassCode);
    if (m_dwMaxStandardLeaf > 0) report->PrintField("\tMax CPUID level", "\t\t", "%08Xh", m_dwMaxStandardLeaf);
    if (m_dwMaxExtendedLeaf > 0x80000000u)
        report->PrintField("\tMax CPUID ext. level", "\t", "%08Xh", m_dwMaxExtendedLeaf);
    CTListIterator<CCacheDescriptor> caches(m_pCaches);
    for (CCacheDescriptor* cache = caches.GetFirst(); cache; cache = caches.GetNext()) {
        char value[128], other[16];
        FormatString(value, sizeof value, "Level %d%s", cache->m_iLevel, CacheTypeText(cache->m_iType, other));
        if (cache->m_iSize >= 1024 && cache->m_iSize % 1024 == 0)
            AppendFormat(value, sizeof value, ", %d MB", cache->m_iSize / 1024);
        else
            AppendFormat(value, sizeof value, ", %d KB", cache->m_iSize);
        AppendFormat(value, sizeof value, ", %d thread(s)", cache->m_iSharedBy);
        report->PrintField("\tCache descriptor", "\t", "%s", value);
    }
    report->PrintBlankLine();
    DumpCPUID(report);
    if (m_pVendorInfos) m_pVendorInfos->DumpCPUID(report);
    if (m_pFamilyInfos) m_pFamilyInfos->DumpCPUID(report);
    report->PrintBlankLine();
    DumpMSRs(report);
}

void CCPUThread::DumpCPUID(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("\tCPUID", "\t\t", "%s", " ");
    const bool intel = (m_dwClassCode & CPU_CLASS_VENDOR_MASK) == CPU_CLASS_INTEL;
    const bool amd = (m_dwClassCode & CPU_CLASS_VENDOR_MASK) == CPU_CLASS_AMD;
    if (m_dwMaxStandardLeaf > 0) {
        const uint32_t last = std::min(m_dwMaxStandardLeaf, kMaxLeavesPerRange - 1);
        for (uint32_t leaf = 0; leaf <= last; ++leaf) {
            if (intel && leaf == 2) {
                CpuidResult r = Cpuid(2);
                for (uint32_t repeat = r.eax & 0xFF; repeat > 1; --repeat) r = Cpuid(2);
                PrintLeaf(report, leaf, r);
            } else if (intel && leaf == 4) {
                PrintSubleaves(report, leaf, [](const CpuidResult& r) { return (r.eax & 0x1F) != 0; });
            } else if (intel && leaf == 0xB) {
                PrintSubleaves(report, leaf, [](const CpuidResult& r) { return r.ebx != 0; });
            } else {
                PrintLeaf(report, leaf, Cpuid(leaf));
            }
        }
    }
    if (m_dwMaxExtendedLeaf > 0x80000000u) {
        const uint32_t last = std::min(m_dwMaxExtendedLeaf, 0x80000000u + kMaxLeavesPerRange - 1);
        for (uint32_t leaf = 0x80000000u; leaf <= last; ++leaf) {
            if (amd && leaf == 0x8000001D)
                PrintSubleaves(report, leaf, [](const CpuidResult& r) { return (r.eax & 0x1F) != 0; });
            else
                PrintLeaf(report, leaf, Cpuid(leaf));
        }
    }
}

void CCPUThread::DumpMSRs(CReportGenerator* report) {
    if (!report) return;
    CTListIterator<MSR_Register> it(m_pMSRs);
    for (MSR_Register* reg = it.GetFirst(); reg; reg = it.GetNext()) reg->Dump(report);
    if (FIDVID_Control* control = GetFIDVIDControl()) control->DumpMSRs(report);
}

void CCPUThread::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    FIDVID_Control* control = GetFIDVIDControl();
    report->PrintField("\tFID/VID Control", "\t\t", "%s", control ? "yes" : "no");
    if (control) control->Dump(report);
    report->PrintBlankLine();
    if (m_pVendorInfos) m_pVendorInfos->DumpRegisters(report);
    if (m_pFamilyInfos) m_pFamilyInfos->DumpRegisters(report);
}
