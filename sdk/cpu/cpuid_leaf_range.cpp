#include "sdk/cpu/cpuid_leaf_range.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/cpu_thread.h"

void DumpCPUIDLeafRange(CReportGenerator* report, uint32_t first, uint32_t last) {
    if (!report || last < first) return;
    for (uint32_t leaf = first; leaf <= last && leaf - first < kMaxVendorLeaves; ++leaf) {
        const CpuidResult r = Cpuid(leaf);
        char label[32];
        FormatString(label, sizeof label, "\t0x%08X", leaf);
        report->PrintField(label, "\t\t", "0x%08X\t0x%08X\t0x%08X\t0x%08X", r.eax, r.ebx, r.ecx, r.edx);
    }
}
