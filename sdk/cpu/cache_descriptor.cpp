#include "sdk/cpu/cache_descriptor.h"

#include <climits>

#include "platform/sysinfo.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

uint32_t Bits(uint32_t value, unsigned high, unsigned low) {
    return static_cast<uint32_t>((value >> low) & ((1ull << (high - low + 1)) - 1));
}

} // namespace

void EnumerateDeterministicCaches(CCPUThread* thread, uint32_t leaf) {
    if (!thread) return;
    for (uint32_t subleaf = 0; subleaf < kMaxCacheSubleaves; ++subleaf) {
        int regs[4];
        CpuidEx(regs, static_cast<int>(leaf), static_cast<int>(subleaf));
        const auto eax = static_cast<uint32_t>(regs[0]), ebx = static_cast<uint32_t>(regs[1]),
                   ecx = static_cast<uint32_t>(regs[2]);
        const auto type = static_cast<int32_t>(Bits(eax, 4, 0));
        if (type == 0) return;
        const auto level = static_cast<int32_t>(Bits(eax, 7, 5));
        CCacheDescriptor* cache = thread->FindCacheDescriptor(level, type);
        if (!cache) {
            cache = new CCacheDescriptor(level, type);
            thread->m_pCaches->AddTail(cache);
        }
        const uint64_t ways = Bits(ebx, 31, 22) + 1;
        const uint64_t sets = uint64_t(ecx) + 1;
        const uint64_t partitions = Bits(ebx, 21, 12) + 1;
        const uint64_t lineSize = Bits(ebx, 11, 0) + 1;
        cache->m_iSharedBy = static_cast<int32_t>(Bits(eax, 25, 14) + 1);
        cache->m_iLineSize = static_cast<int32_t>(lineSize);
        cache->m_iPartitions = static_cast<int32_t>(partitions);
        cache->m_iWays = (eax & (1u << 9)) ? kFullyAssociative : static_cast<int32_t>(ways);
        cache->m_iSets = sets > INT32_MAX ? -1 : static_cast<int32_t>(sets);
        const unsigned __int128 sizeKB = (unsigned __int128)(ways * sets) * (partitions * lineSize) / 1024;
        cache->m_iSize = sizeKB > INT32_MAX ? -1 : static_cast<int32_t>(sizeKB);
    }
}
