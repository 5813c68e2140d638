// Memory below 4 GiB. Some kernel-driver requests carry the address of a
// caller's buffer in one dword, as they did for the 32-bit processes they
// were made for, whose memory always lies there; a 64-bit process hands
// such a request a block of this kind.
#pragma once

#include <cstddef>

namespace vexa::platform {

class LowMemoryBlock {
public:
    // `size` bytes of zeros; data() is null when no such memory was given.
    explicit LowMemoryBlock(size_t size);
    ~LowMemoryBlock();
    LowMemoryBlock(const LowMemoryBlock&) = delete;
    LowMemoryBlock& operator=(const LowMemoryBlock&) = delete;

    void* data() const { return m_pData; }
    size_t size() const { return m_Size; }

private:
    void* m_pData = nullptr;
    size_t m_Size = 0;
};

} // namespace vexa::platform
