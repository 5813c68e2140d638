#include "app/validation_crypto.h"

#include <gcrypt.h>

#include <mutex>

namespace vexa::validation {
namespace {

// libgcrypt must be initialised once per process before its first use;
// another part of the process may have done so already.
void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) return;
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

template <size_t N>
std::array<uint8_t, N> Digest(int algorithm, const void* data, size_t length) {
    InitLibrary();
    std::array<uint8_t, N> digest{};
    gcry_md_hash_buffer(algorithm, digest.data(), data, length);
    return digest;
}

} // namespace

bool EncryptBlocks(const AesKey& key, uint8_t* data, size_t length) {
    if (length % kAesBlockBytes != 0 || (length && !data)) return false;
    if (length == 0) return true;
    InitLibrary();
    gcry_cipher_hd_t cipher = nullptr;
    if (gcry_cipher_open(&cipher, GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_ECB, 0)) return false;
    const bool done = !gcry_cipher_setkey(cipher, key.data(), key.size()) &&
                      !gcry_cipher_encrypt(cipher, data, length, nullptr, 0);
    gcry_cipher_close(cipher);
    return done;
}

Md5Digest Md5(const void* data, size_t length) { return Digest<16>(GCRY_MD_MD5, data, length); }

WhirlpoolDigest Whirlpool(const void* data, size_t length) {
    return Digest<64>(GCRY_MD_WHIRLPOOL, data, length);
}

} // namespace vexa::validation
