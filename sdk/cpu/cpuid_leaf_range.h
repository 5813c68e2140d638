// The vendors' own CPUID leaf ranges (Centaur 0xC0000000, Transmeta
// 0x80860000) in the thread dump: one line per leaf from the first up to
// the highest the range's first leaf reports.
#pragma once

#include <cstdint>

class CReportGenerator;

// At most this many leaves are listed, so that a processor answering
// garbage for its highest leaf cannot make the dump endless.
constexpr uint32_t kMaxVendorLeaves = 0x100;

// "\t0x<leaf>", pad "\t\t", EAX EBX ECX EDX as 0x%08X separated by tabs,
// for every leaf from `first` to `last`, executed on the calling processor.
// Nothing when `last` is below `first` (a range the processor lacks).
void DumpCPUIDLeafRange(CReportGenerator* report, uint32_t first, uint32_t last);
