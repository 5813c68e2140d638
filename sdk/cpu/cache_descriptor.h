// One processor cache, as a logical processor's descriptions find it
// (owned by the logical processor's list) or as the chipset domain finds
// one on the board. Unknown fields hold -1.
#pragma once

#include <cstdint>

class CCPUThread;

class CCacheDescriptor {
public:
    CCacheDescriptor() = default;
    CCacheDescriptor(int32_t level, int32_t type) : m_iLevel(level), m_iType(type) {}
    virtual ~CCacheDescriptor() = default;

    int32_t m_iLevel = -1;       // 1..4
    int32_t m_iType = -1;        // CacheType
    int32_t m_iSize = -1;        // KB; thousands of micro-operations for a trace cache
    int32_t m_iSharedBy = 1;     // logical processors sharing one instance
    int32_t m_iLineSize = -1;    // bytes
    int32_t m_iWays = -1;        // 1 direct mapped, 255 fully associative
    int32_t m_iSets = -1;
    int32_t m_iPartitions = -1;  // lines per tag
    int32_t m_iDescriptor = -1;  // the CPUID leaf-2 byte it was made from
};

// The ways value that stands for a fully associative cache.
constexpr int32_t kFullyAssociative = 255;

// The deterministic cache leaf both vendors share in layout (Intel's leaf
// 4, AMD's 0x8000001D), executed on the calling processor for sub-leaves
// 0, 1, 2, ... up to the first whose cache type (EAX 4:0) is 0, and at most
// kMaxCacheSubleaves. Each sub-leaf updates the thread's descriptor of its
// level (EAX 7:5) and type, creating and appending it when missing: shared
// by EAX 25:14 + 1, line size EBX 11:0 + 1, partitions EBX 21:12 + 1, ways
// EBX 31:22 + 1 (255 when EAX bit 9 marks it fully associative), sets ECX +
// 1, and the size ways x sets x partitions x line size in KB, with the real
// way count for a fully associative cache. A size that does not fit a
// signed 32-bit count of KB stays unknown (-1).
constexpr uint32_t kMaxCacheSubleaves = 64;
void EnumerateDeterministicCaches(CCPUThread* thread, uint32_t leaf);
