#include "sdk/cpu/amd_infos.h"

#include <algorithm>
#include <span>

#include "sdk/core/helpers.h"
#include "sdk/core/list.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_families.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/extended_leaf_caches.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kMicrocodeMsr = 0x8B;
constexpr uint32_t kSvmLockMsr = 0xC0010114;  // VM_CR, read for the report
constexpr uint32_t kSvmBit = 1u << 2;         // CPUID 0x80000001 ECX
constexpr uint32_t kHTTBit = 1u << 28;        // CPUID 1 EDX: the logical processor count is valid
// The 0x80000006 associativity code that sends the reader to 0x8000001D
// for every field of the cache.
constexpr uint32_t kSeeCacheTopologyLeaf = 9;
constexpr int32_t kFirstZenFamily = 0x17;

uint32_t Field(uint32_t value, unsigned high, unsigned low) {
    return static_cast<uint32_t>((value >> low) & ((1ull << (high - low + 1)) - 1));
}

void SetName(CCPUThread* thread, const char* name) {
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", name);
}

void SetGeometry(CCacheDescriptor* cache, int32_t sizeKB, int32_t ways, int32_t lineSize) {
    cache->m_iSize = sizeKB;
    cache->m_iWays = ways;
    cache->m_iLineSize = lineSize;
}

// Family-4 names by model: with the extended leaves, and without them.
struct Am486Row {
    int32_t model;
    const char* name;
};
constexpr Am486Row kAm486[] = {{3, "AMD Am486 DX2"}, {7, "AMD Am486 DX2-WB"}, {8, "AMD Am486 DX4"},
                               {9, "AMD Am486 DX4-WB"}, {14, "AMD Am5x86-WT"}, {15, "AMD Am5x86-WB"}};
constexpr Am486Row kAm486WithoutExtendedLeaves[] = {
    {8, "AMD Am486DX4-WT"}, {9, "AMD Am486DX4-WB"}, {14, "AMD Am5x86-WT"}, {15, "AMD Am5x86-WB"}};

} // namespace

CCPUInfos* CreateAMDInfos() { return new AMD_CPU_Infos; }

AMD_CPU_Infos::AMD_CPU_Infos() : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_AMD) {}

int32_t AMD_CPU_Infos::DecodeAssociativity(uint32_t code) {
    switch (code) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 4;
    case 6: return 8;
    case 8: return 16;
    case 10: return 32;
    case 11: return 48;
    case 12: return 64;
    case 13: return 96;
    case 14: return 128;
    case 15: return kFullyAssociative;
    default: return -1;
    }
}

void AMD_CPU_Infos::ReadMicrocodeRevision(CCPUThread* thread) {
    if (thread->m_iExtFamily < 6) return;
    MSR_Register signature(kMicrocodeMsr);
    if (!signature.Write(0, 0)) return;
    Cpuid(1);
    if (MSR_Register* reg = thread->GetMSR(kMicrocodeMsr)) thread->m_iMicrocodeRevision = static_cast<int32_t>(reg->m_dwHigh);
}

// Logical processors per package from leaf 1 (when its count is valid),
// cores per package from leaf 0x80000008: ECX 7:0 + 1 counts the cores,
// or from family 17h on the threads, divided by the threads per core of
// leaf 0x8000001E EBX 15:8 + 1. The family descriptions may refine both;
// without them every logical processor would count as a package.
void AMD_CPU_Infos::ReadPackageCounts(CCPUThread* thread) {
    const CpuidResult basic = Cpuid(1);
    thread->m_bMultithreadingCapable = (basic.edx & kHTTBit) ? 1 : 0;
    if (thread->m_bMultithreadingCapable) thread->m_iLogicalPerPackage = static_cast<int32_t>(Field(basic.ebx, 23, 16));
    if (thread->m_dwMaxExtendedLeaf < 0x80000008) return;
    const auto count = static_cast<int32_t>(Field(Cpuid(0x80000008).ecx, 7, 0) + 1);
    int32_t threadsPerCore = 1;
    if (thread->m_iExtFamily >= kFirstZenFamily && thread->m_dwMaxExtendedLeaf >= 0x8000001E)
        threadsPerCore = static_cast<int32_t>(Field(Cpuid(0x8000001E).ebx, 15, 8) + 1);
    thread->m_iCoresPerPackage = std::max(1, count / threadsPerCore);
    if (!thread->m_bMultithreadingCapable) thread->m_iLogicalPerPackage = count;
}

void AMD_CPU_Infos::Initialize(CCPUThread* thread) {
    thread->m_iApicId = InitialApicId(thread);
    if (thread->m_dwMaxExtendedLeaf >= 0x80000001) {
        const CpuidResult extended = Cpuid(0x80000001);
        thread->m_iExtFamily = static_cast<int32_t>(Field(extended.eax, 27, 20) + Field(extended.eax, 11, 8));
        thread->m_iExtModel = static_cast<int32_t>(Field(extended.eax, 19, 16) * 16 + Field(extended.eax, 7, 4));
        thread->m_bVirtualization = (extended.ecx & kSvmBit) ? 1 : 0;
        thread->GetMSR(kSvmLockMsr);
    }
    if (thread->m_dwMaxStandardLeaf >= 1) ReadPackageCounts(thread);
    if (thread->m_dwMaxExtendedLeaf >= 0x80000004) ReadBrandString(thread, false);
    if (thread->m_dwMaxExtendedLeaf >= 0x8000001D) EnumerateDeterministicCaches(thread, 0x8000001D);
    if (thread->m_dwMaxExtendedLeaf >= 0x8000001E)
        thread->m_iComputeUnitId = static_cast<int32_t>(Cpuid(0x8000001E).ebx & 0xFF);
    ReadMicrocodeRevision(thread);
}

// Sizes, ways and line sizes from the extended cache leaves; descriptors
// the deterministic leaf made keep their sharing, sets and partitions.
void AMD_CPU_Infos::DetectCaches(CCPUThread* thread) {
    if (thread->m_dwMaxExtendedLeaf >= 0x80000005) {
        const CpuidResult level1 = Cpuid(0x80000005);
        if (const uint32_t size = Field(level1.edx, 31, 24))
            SetGeometry(TakeOrAddCache(thread, 1, CACHE_INSTRUCTION), int32_t(size), int32_t(Field(level1.edx, 23, 16)),
                        int32_t(Field(level1.edx, 7, 0)));
        if (const uint32_t size = Field(level1.ecx, 31, 24))
            SetGeometry(TakeOrAddCache(thread, 1, CACHE_DATA), int32_t(size), int32_t(Field(level1.ecx, 23, 16)),
                        int32_t(Field(level1.ecx, 7, 0)));
    }
    if (thread->m_dwMaxExtendedLeaf >= 0x80000006) {
        const CpuidResult level23 = Cpuid(0x80000006);
        // Code 9 says that 0x8000001D describes the cache; its descriptor
        // stays as that leaf made it.
        auto described = [thread](int32_t level, uint32_t code) {
            return code == kSeeCacheTopologyLeaf && thread->FindCacheDescriptor(level, CACHE_UNIFIED);
        };
        // The Duron of family 6 model 3 stepping 0 reports its 64 KB level-2
        // cache as 1 KB, which would pass for no cache.
        const bool duronA0 = thread->m_iFamily == 6 && thread->m_iModel == 3 && thread->m_iStepping == 0;
        if (const uint32_t size = Field(level23.ecx, 31, 16);
            (size > 4 || duronA0) && !described(2, Field(level23.ecx, 15, 12))) {
            SetGeometry(TakeOrAddCache(thread, 2, CACHE_UNIFIED), duronA0 ? 64 : int32_t(size),
                        DecodeAssociativity(Field(level23.ecx, 15, 12)), int32_t(Field(level23.ecx, 7, 0)));
        }
        if (const uint32_t size = Field(level23.edx, 31, 18); size && !described(3, Field(level23.edx, 15, 12)))
            SetGeometry(TakeOrAddCache(thread, 3, CACHE_UNIFIED), int32_t(size * 512),
                        DecodeAssociativity(Field(level23.edx, 15, 12)), int32_t(Field(level23.edx, 7, 0)));
    }
}

int AMD_CPU_Infos::Identify(CCPUThread* thread) {
    const AMDFamilyRow* row = FindAMDFamilyRow(thread->m_iExtFamily);
    if (thread->m_iExtFamily == 4) {
        IdentifyFamily4(thread, true);
        return 1;
    }
    if (!row) {
        // Processors without the extended leaves (extended family -1)
        // among them.
        if (thread->m_iFamily == 4) IdentifyFamily4(thread, false);
        return 1;
    }
    SetName(thread, row->name);
    if (!row->create) return 1;
    CCPUInfos* family = row->create();
    return family ? thread->SetFamilyInfos(family) : 0;
}

void AMD_CPU_Infos::IdentifyFamily4(CCPUThread* thread, bool extendedLeaves) {
    if (extendedLeaves) SetName(thread, "Am486 or Am5x86");
    thread->m_dwClassCode = CPU_CLASS_AMD_AM486;
    for (const Am486Row& row : extendedLeaves ? std::span<const Am486Row>(kAm486)
                                              : std::span<const Am486Row>(kAm486WithoutExtendedLeaves))
        if (row.model == thread->m_iModel) SetName(thread, row.name);
}
