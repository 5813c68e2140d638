#include "machine/cpuid_topology.h"

#include <algorithm>
#include <cstring>

namespace vexa::machine {
namespace {

constexpr uint32_t kExtendedBase = 0x80000000u;

unsigned bitsFor(unsigned count) {
    unsigned width = 0;
    while (width < 31 && (1u << width) < count) ++width;
    return width;
}

const CpuidRegs* find(const CpuidLeaves& cpu, uint32_t leaf, uint32_t subleaf = 0) {
    const auto it = cpu.find(CpuidKey{leaf, subleaf});
    return it == cpu.end() ? nullptr : &it->second;
}

// A leaf that the processor implements: listed, and within the maximum
// that leaf 0 or 0x80000000 reports for its range.
const CpuidRegs* implemented(const CpuidLeaves& cpu, uint32_t leaf, uint32_t subleaf = 0) {
    const uint32_t base = leaf & kExtendedBase;
    const CpuidRegs* max = find(cpu, base);
    if (!max || leaf > max->eax || (base && max->eax < kExtendedBase)) return nullptr;
    return find(cpu, leaf, subleaf);
}

bool vendorIs(const CpuidLeaves& cpu, const char* vendor) {
    const CpuidRegs* leaf0 = find(cpu, 0);
    if (!leaf0) return false;
    char name[12];
    std::memcpy(name, &leaf0->ebx, 4);
    std::memcpy(name + 4, &leaf0->edx, 4);
    std::memcpy(name + 8, &leaf0->ecx, 4);
    return std::memcmp(name, vendor, 12) == 0;
}

unsigned displayFamily(const CpuidLeaves& cpu) {
    const CpuidRegs* leaf1 = find(cpu, 1);
    if (!leaf1) return 0;
    const unsigned base = (leaf1->eax >> 8) & 0xF;
    return base == 0xF ? base + ((leaf1->eax >> 20) & 0xFF) : base;
}

// The logical processor count of leaf 1 (EBX[23:16]) when the HTT bit says
// it is valid, else 1.
unsigned leaf1LogicalCount(const CpuidLeaves& cpu) {
    const CpuidRegs* leaf1 = implemented(cpu, 1);
    if (!leaf1 || !(leaf1->edx & (1u << 28))) return 1;
    return std::max(1u, (leaf1->ebx >> 16) & 0xFF);
}

// Leaf 0x1F or 0xB: levels from the innermost (SMT) outwards until the
// first invalid level; the last valid one covers the package.
bool fromExtendedTopology(const CpuidLeaves& cpu, uint32_t leaf, ProcessorTopology& topology) {
    const CpuidRegs* first = implemented(cpu, leaf);
    if (!first || (first->ebx & 0xFFFF) == 0) return false;
    ProcessorTopology result;
    unsigned logical = 1;
    for (uint32_t subleaf = 0; subleaf < 8; ++subleaf) {
        const CpuidRegs* level = find(cpu, leaf, subleaf);
        const unsigned type = level ? (level->ecx >> 8) & 0xFF : 0;
        if (type == 0 || (level->ebx & 0xFFFF) == 0) break;
        if (type == 1) {
            result.smtShift = level->eax & 0x1F;
            result.threadsPerCore = level->ebx & 0xFFFF;
        }
        result.packageShift = level->eax & 0x1F;
        logical = level->ebx & 0xFFFF;
    }
    result.coresPerPackage = std::max(1u, logical / result.threadsPerCore);
    topology = result;
    return true;
}

// Leaf 4 sub-leaf 0 EAX[31:26] + 1 cores and the logical count of leaf 1.
bool fromDeterministicCacheLeaf(const CpuidLeaves& cpu, ProcessorTopology& topology) {
    const CpuidRegs* leaf4 = implemented(cpu, 4);
    if (!leaf4 || (leaf4->eax & 0x1F) == 0) return false;
    const unsigned cores = ((leaf4->eax >> 26) & 0x3F) + 1;
    const unsigned logical = std::max(leaf1LogicalCount(cpu), cores);
    topology.coresPerPackage = cores;
    topology.threadsPerCore = std::max(1u, logical / cores);
    topology.smtShift = bitsFor(topology.threadsPerCore);
    topology.packageShift = topology.smtShift + bitsFor(cores);
    return true;
}

// AMD: leaf 0x80000008 ECX[7:0] + 1 processors in the package, ECX[15:12]
// the width of their APIC id field; from family 17h on, leaf 0x8000001E
// EBX[15:8] + 1 threads share a core.
bool fromAmdLeaves(const CpuidLeaves& cpu, ProcessorTopology& topology) {
    const CpuidRegs* sizes = implemented(cpu, 0x80000008);
    if (!sizes) return false;
    const unsigned logical = (sizes->ecx & 0xFF) + 1;
    unsigned threads = 1;
    if (const CpuidRegs* ids = implemented(cpu, 0x8000001E); ids && displayFamily(cpu) >= 0x17)
        threads = std::clamp((ids->ebx >> 8 & 0xFF) + 1, 1u, logical);
    const unsigned idWidth = (sizes->ecx >> 12) & 0xF;
    topology.threadsPerCore = threads;
    topology.coresPerPackage = std::max(1u, logical / threads);
    topology.smtShift = bitsFor(threads);
    topology.packageShift = std::max(idWidth ? idWidth : bitsFor(logical),
                                     topology.smtShift + bitsFor(topology.coresPerPackage));
    return true;
}

} // namespace

uint32_t ProcessorTopology::apicId(unsigned index) const {
    const unsigned perPackage = std::max(1u, logicalPerPackage());
    const unsigned package = index / perPackage;
    const unsigned within = index % perPackage;
    const unsigned threads = std::max(1u, threadsPerCore);
    return (uint32_t(package) << packageShift) | (uint32_t(within / threads) << smtShift) | (within % threads);
}

ProcessorTopology deriveTopology(const CpuidLeaves& cpu) {
    ProcessorTopology topology;
    if (fromExtendedTopology(cpu, 0x1F, topology) || fromExtendedTopology(cpu, 0xB, topology)) return topology;
    if (fromDeterministicCacheLeaf(cpu, topology)) return topology;
    if (!vendorIs(cpu, "GenuineIntel") && fromAmdLeaves(cpu, topology)) return topology;
    topology.threadsPerCore = leaf1LogicalCount(cpu);
    topology.smtShift = bitsFor(topology.threadsPerCore);
    topology.packageShift = topology.smtShift;
    return topology;
}

uint32_t apicIdOf(const CpuidLeaves& cpu) {
    if (const CpuidRegs* x2apic = implemented(cpu, 0xB); x2apic && (x2apic->ebx & 0xFFFF) != 0) return x2apic->edx;
    const CpuidRegs* leaf1 = find(cpu, 1);
    return leaf1 ? leaf1->ebx >> 24 : 0;
}

void setApicId(CpuidLeaves& cpu, uint32_t apicId) {
    for (auto& [key, regs] : cpu) {
        if (key.leaf == 1) regs.ebx = (regs.ebx & 0x00FFFFFFu) | ((apicId & 0xFF) << 24);
        if (key.leaf == 0xB || key.leaf == 0x1F) regs.edx = apicId;
        if (key.leaf == 0x8000001E) regs.eax = apicId;
    }
}

bool buildProcessors(const CpuidDump& dump, const ProcessorLayout& layout, std::vector<CpuidLeaves>& processors,
                     std::string& error) {
    processors.clear();
    if (dump.processors.empty()) {
        error = "the dump holds no processor";
        return false;
    }
    if (layout.count && (*layout.count == 0 || *layout.count > kMaxLogicalProcessors)) {
        error = "logical_processors must lie between 1 and " + std::to_string(kMaxLogicalProcessors);
        return false;
    }
    if (dump.processors.size() == 1) {
        const ProcessorTopology topology = deriveTopology(dump.processors.front());
        const unsigned count = layout.count.value_or(std::min(topology.logicalPerPackage(), kMaxLogicalProcessors));
        for (unsigned i = 0; i < count; ++i) processors.push_back(dump.processors.front());
        if (layout.apicIds.empty())
            for (unsigned i = 0; i < count; ++i) setApicId(processors[i], topology.apicId(i));
    } else {
        processors = dump.processors;
        std::stable_sort(processors.begin(), processors.end(),
                         [](const CpuidLeaves& a, const CpuidLeaves& b) { return apicIdOf(a) < apicIdOf(b); });
        if (layout.count) {
            if (*layout.count > processors.size()) {
                error = "logical_processors is " + std::to_string(*layout.count) + " but the dump lists only " +
                        std::to_string(processors.size()) + " processors";
                processors.clear();
                return false;
            }
            processors.resize(*layout.count);
        }
    }
    if (!layout.apicIds.empty()) {
        if (layout.apicIds.size() != processors.size()) {
            error = "apic_ids lists " + std::to_string(layout.apicIds.size()) + " ids for " +
                    std::to_string(processors.size()) + " logical processors";
            processors.clear();
            return false;
        }
        for (size_t i = 0; i < processors.size(); ++i) setApicId(processors[i], layout.apicIds[i]);
    }
    return true;
}

} // namespace vexa::machine
