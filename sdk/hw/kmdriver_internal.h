// Helpers shared by the source files of the kernel-driver manager.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/environment.h"

namespace kmdriver {

// The local time, for the log lines that carry it.
inline SYSTEMTIME Now() {
    SYSTEMTIME time {};
    GetLocalTime(&time);
    return time;
}

// "folder\name", with no second separator when the folder ends in one;
// false (and an empty result) when it does not fit into `size` bytes.
bool JoinPath(char* destination, size_t size, const char* folder, const char* name);

// A buffer of ours as the driver receives it: its address as two dwords.
// The 64-bit address of a 64-bit process is sent whole; a 32-bit pointer is
// sign-extended, as the driver expects from a 32-bit caller.
inline uint64_t BufferAddress(const void* buffer) {
    return static_cast<uint64_t>(static_cast<int64_t>(reinterpret_cast<intptr_t>(buffer)));
}
inline uint32_t BufferHigh(const void* buffer) {
    return static_cast<uint32_t>(BufferAddress(buffer) >> 32);
}
inline uint32_t BufferLow(const void* buffer) { return static_cast<uint32_t>(BufferAddress(buffer)); }

// Whether a 4-byte buffer field can carry our pointers.
constexpr bool kPointerFitsDword = sizeof(void*) <= sizeof(uint32_t);

// Whether a 4-byte buffer field can carry this buffer's address: always in
// a 32-bit process, below 4 GiB in a 64-bit one (platform/low_memory.h).
inline bool FitsDword(const void* buffer) {
    return kPointerFitsDword || reinterpret_cast<uintptr_t>(buffer) <= 0xFFFFFFFFu;
}

} // namespace kmdriver
