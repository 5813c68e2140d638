// How many logical processors a CPUID dump stands for and which APIC id
// each carries. A dump of one logical processor is multiplied into a whole
// package, as many processors as its own topology leaves declare (leaf
// 0x1F or 0xB; else leaves 1 and 4; else AMD's leaf 0x80000008), numbered
// the way an operating system numbers them: the threads of a core next to
// each other. Each copy gets its own APIC id written into leaf 1 EBX[31:24],
// the EDX of every sub-leaf of leaves 0xB and 0x1F and AMD's leaf
// 0x8000001E EAX. A dump of several processors is taken as it is, ordered
// by APIC id.
#pragma once

#include "machine/cpuid_dump.h"

#include <optional>
#include <string>
#include <vector>

namespace vexa::machine {

struct ProcessorTopology {
    unsigned threadsPerCore = 1;
    unsigned coresPerPackage = 1;
    unsigned smtShift = 0;      // APIC id bit where the core number starts
    unsigned packageShift = 0;  // APIC id bit where the package number starts

    unsigned logicalPerPackage() const { return threadsPerCore * coresPerPackage; }
    // APIC id of the index-th logical processor as the OS numbers them;
    // indices past one package continue into further packages.
    uint32_t apicId(unsigned index) const;
};

// What the topology leaves of one processor's answers declare, with reads
// bounded by the maxima of leaves 0 and 0x80000000.
ProcessorTopology deriveTopology(const CpuidLeaves& cpu);

// The (x2)APIC id the answers carry: leaf 0xB EDX when that leaf is
// implemented, else leaf 1 EBX[31:24].
uint32_t apicIdOf(const CpuidLeaves& cpu);
void setApicId(CpuidLeaves& cpu, uint32_t apicId);

// What a machine image may impose on the processors.
struct ProcessorLayout {
    std::optional<unsigned> count;
    std::vector<uint32_t> apicIds;  // empty: as the dump or its topology says
};

inline constexpr unsigned kMaxLogicalProcessors = 256;

bool buildProcessors(const CpuidDump& dump, const ProcessorLayout& layout, std::vector<CpuidLeaves>& processors,
                     std::string& error);

} // namespace vexa::machine
