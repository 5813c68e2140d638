// The cryptography of the validation record, from libgcrypt: AES-128 over
// independent 16-byte blocks (ECB), MD5 and Whirlpool.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vexa::validation {

constexpr size_t kAesBlockBytes = 16;
using AesKey = std::array<uint8_t, 16>;
using Md5Digest = std::array<uint8_t, 16>;
using WhirlpoolDigest = std::array<uint8_t, 64>;

// Encrypts `length` bytes in place, each 16-byte block on its own, with no
// chaining and no initialisation vector. `length` must be a multiple of 16;
// false (the data untouched) when it is not or the library refuses.
bool EncryptBlocks(const AesKey& key, uint8_t* data, size_t length);
Md5Digest Md5(const void* data, size_t length);
WhirlpoolDigest Whirlpool(const void* data, size_t length);

} // namespace vexa::validation
