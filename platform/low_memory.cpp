#include "platform/low_memory.h"

#include <cstdint>
#include <sys/mman.h>

namespace vexa::platform {

namespace {

constexpr uintptr_t kDwordLimit = 0xFFFFFFFFu;

} // namespace

LowMemoryBlock::LowMemoryBlock(size_t size) {
    if (size == 0) return;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_32BIT
    flags |= MAP_32BIT;  // x86-64: the first 2 GiB
#endif
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (block == MAP_FAILED) return;
    // Without MAP_32BIT the block lies wherever the kernel put it.
    if (reinterpret_cast<uintptr_t>(block) + size - 1 > kDwordLimit) {
        munmap(block, size);
        return;
    }
    m_pData = block;
    m_Size = size;
}

LowMemoryBlock::~LowMemoryBlock() {
    if (m_pData) munmap(m_pData, m_Size);
}

} // namespace vexa::platform
