// The cache descriptors of CPUID leaf 2 as Intel publishes them, by byte:
// size in KB (thousands of micro-operations for the trace caches), ways,
// line size in bytes. The TLB and prefetch bytes, 0x40 (no further cache
// level) and 0xFF (see leaf 4) describe no cache and are not listed. 0x49
// is a level-3 cache on one processor family and a level-2 cache on the
// others; here it is always the level-2 cache.
#include <algorithm>
#include <iterator>

#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/intel_infos.h"

namespace {

struct LeafTwoCache {
    uint8_t byte;
    int8_t level;
    int8_t type;  // CacheType
    int16_t size;
    int16_t ways;
    int16_t lineSize;  // -1: not given
};

constexpr LeafTwoCache kCaches[] = {
    {0x06, 1, CACHE_INSTRUCTION, 8, 4, 32},   {0x08, 1, CACHE_INSTRUCTION, 16, 4, 32},
    {0x09, 1, CACHE_INSTRUCTION, 32, 4, 64},  {0x0A, 1, CACHE_DATA, 8, 2, 32},
    {0x0C, 1, CACHE_DATA, 16, 4, 32},         {0x21, 2, CACHE_UNIFIED, 256, 8, 64},
    {0x22, 3, CACHE_UNIFIED, 512, 4, 64},     {0x23, 3, CACHE_UNIFIED, 1024, 8, 64},
    {0x25, 3, CACHE_UNIFIED, 2048, 8, 64},    {0x29, 3, CACHE_UNIFIED, 4096, 8, 64},
    {0x2C, 1, CACHE_DATA, 32, 8, 64},         {0x30, 1, CACHE_INSTRUCTION, 32, 8, 64},
    {0x39, 2, CACHE_UNIFIED, 128, 4, 64},     {0x3A, 2, CACHE_UNIFIED, 192, 6, 64},
    {0x3B, 2, CACHE_UNIFIED, 128, 2, 64},     {0x3C, 2, CACHE_UNIFIED, 256, 4, 64},
    {0x3D, 2, CACHE_UNIFIED, 384, 6, 64},     {0x3E, 2, CACHE_UNIFIED, 512, 4, 64},
    {0x41, 2, CACHE_UNIFIED, 128, 4, 32},     {0x42, 2, CACHE_UNIFIED, 256, 4, 32},
    {0x43, 2, CACHE_UNIFIED, 512, 4, 32},     {0x44, 2, CACHE_UNIFIED, 1024, 4, 32},
    {0x45, 2, CACHE_UNIFIED, 2048, 4, 32},    {0x46, 3, CACHE_UNIFIED, 4096, 4, 64},
    {0x47, 3, CACHE_UNIFIED, 8192, 8, 64},    {0x49, 2, CACHE_UNIFIED, 4096, 16, 64},
    {0x4A, 3, CACHE_UNIFIED, 6144, 12, 64},   {0x4B, 3, CACHE_UNIFIED, 8192, 16, 64},
    {0x4C, 3, CACHE_UNIFIED, 12288, 12, 64},  {0x4D, 3, CACHE_UNIFIED, 16384, 16, 64},
    {0x4E, 2, CACHE_UNIFIED, 6144, 24, 64},   {0x60, 1, CACHE_DATA, 16, 8, 64},
    {0x66, 1, CACHE_DATA, 8, 4, 64},          {0x67, 1, CACHE_DATA, 16, 4, 64},
    {0x68, 1, CACHE_DATA, 32, 4, 64},         {0x70, 1, CACHE_TRACE, 12, 8, -1},
    {0x71, 1, CACHE_TRACE, 16, 8, -1},        {0x72, 1, CACHE_TRACE, 32, 8, -1},
    {0x73, 1, CACHE_TRACE, 64, 8, -1},        {0x78, 2, CACHE_UNIFIED, 1024, 4, 64},
    {0x79, 2, CACHE_UNIFIED, 128, 8, 64},     {0x7A, 2, CACHE_UNIFIED, 256, 8, 64},
    {0x7B, 2, CACHE_UNIFIED, 512, 8, 64},     {0x7C, 2, CACHE_UNIFIED, 1024, 8, 64},
    {0x7D, 2, CACHE_UNIFIED, 2048, 8, 64},    {0x7F, 2, CACHE_UNIFIED, 512, 2, 64},
    {0x82, 2, CACHE_UNIFIED, 256, 8, 32},     {0x83, 2, CACHE_UNIFIED, 512, 8, 32},
    {0x84, 2, CACHE_UNIFIED, 1024, 8, 32},    {0x85, 2, CACHE_UNIFIED, 2048, 8, 32},
    {0x86, 2, CACHE_UNIFIED, 512, 4, 64},     {0x87, 2, CACHE_UNIFIED, 1024, 8, 64},
};
static_assert(std::size(kCaches) == 52);

constexpr bool SortedByByte() {
    for (size_t i = 1; i < std::size(kCaches); ++i)
        if (kCaches[i - 1].byte >= kCaches[i].byte) return false;
    return true;
}
static_assert(SortedByByte(), "kCaches is searched by bisection");

} // namespace

void DecodeCacheDescriptor(CCacheDescriptor* descriptor) {
    if (!descriptor || descriptor->m_iDescriptor < 0 || descriptor->m_iDescriptor > 0xFF) return;
    const auto byte = static_cast<uint8_t>(descriptor->m_iDescriptor);
    const auto* entry = std::lower_bound(std::begin(kCaches), std::end(kCaches), byte,
                                         [](const LeafTwoCache& cache, uint8_t b) { return cache.byte < b; });
    if (entry == std::end(kCaches) || entry->byte != byte) return;
    descriptor->m_iLevel = entry->level;
    descriptor->m_iType = entry->type;
    descriptor->m_iSize = entry->size;
    descriptor->m_iWays = entry->ways;
    descriptor->m_iLineSize = entry->lineSize;
}
