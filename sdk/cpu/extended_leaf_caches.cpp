#include "sdk/cpu/extended_leaf_caches.h"

#include "sdk/core/list.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

int32_t Field(uint32_t value, unsigned high, unsigned low) {
    return static_cast<int32_t>((value >> low) & ((1u << (high - low + 1)) - 1));
}

// A level-1 register of 0x80000005; ways 0xFF is fully associative.
void SetLevel1(CCPUThread* thread, int32_t type, uint32_t reg) {
    const int32_t size = Field(reg, 31, 24);
    if (size <= 0) return;
    CCacheDescriptor* cache = TakeOrAddCache(thread, 1, type);
    cache->m_iSize = size;
    cache->m_iWays = Field(reg, 23, 16);
    cache->m_iLineSize = Field(reg, 7, 0);
}

} // namespace

CCacheDescriptor* TakeOrAddCache(CCPUThread* thread, int32_t level, int32_t type) {
    CCacheDescriptor* cache = thread->FindCacheDescriptor(level, type);
    if (!cache) {
        cache = new CCacheDescriptor(level, type);
        thread->m_pCaches->AddTail(cache);
    }
    return cache;
}

int32_t ExtendedLeafWays(uint32_t code) {
    switch (code) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 4;
    case 6: return 8;
    case 8: return 16;
    case 15: return kFullyAssociative;
    default: return -1;
    }
}

void DetectExtendedLeafCaches(CCPUThread* thread) {
    if (thread->m_dwMaxExtendedLeaf >= 0x80000005) {
        const CpuidResult level1 = Cpuid(0x80000005);
        SetLevel1(thread, CACHE_INSTRUCTION, level1.edx);
        SetLevel1(thread, CACHE_DATA, level1.ecx);
    }
    if (thread->m_dwMaxExtendedLeaf < 0x80000006) return;
    const uint32_t level2 = Cpuid(0x80000006).ecx;
    const int32_t size = Field(level2, 31, 16);
    if (size <= 0) return;
    CCacheDescriptor* cache = TakeOrAddCache(thread, 2, CACHE_UNIFIED);
    cache->m_iSize = size;
    cache->m_iLineSize = Field(level2, 7, 0);
    if (const int32_t ways = ExtendedLeafWays(static_cast<uint32_t>(Field(level2, 15, 12))); ways != -1)
        cache->m_iWays = ways;
}
