#include "tests/sdk/cpu/intel_legacy_test_support.h"

#include <cstdio>

namespace vexa::test {

Leaves LegacyLeaves(const LegacyPart& p) {
    Leaves leaves("GenuineIntel", p.l2 ? 6 : p.family == 5 ? 1 : 2);
    const uint32_t ecx = (1u << 7) | (p.vt ? 1u << 5 : 0);  // enhanced SpeedStep, VT-x
    const uint32_t signature = SignatureEax(p.family, p.extModel & 0xF, p.stepping, 0, p.extModel >> 4);
    leaves.Set(1, signature | (p.processorType << 12), p.brandId | (p.logical << 16), ecx, 1u << 28);
    // One leaf-2 pass: a 16 KB level-1 data cache in EAX 31:24.
    if (p.family != 5) leaves.Set(2, 0x60000001, 0, 0, p.leaf2Edx);
    if (p.l2) {
        const uint32_t sets = p.l2 * 1024 / (8 * 64);
        leaves.Set(4, 0x43 | ((p.logical - 1) << 14) | ((p.cores - 1) << 26), (7u << 22) | 63u, sets - 1, 0, 0);
        leaves.Set(6, 1, 0, 0, 0);
    }
    if (!p.brand.empty()) leaves.Extended(0x80000004).Brand(p.brand);
    if (p.x86_64) leaves.Set(0x80000001, 0, 0, 0, 1u << 29);
    return leaves;
}

std::string MsrEntry(uint32_t index, uint64_t value) {
    char text[64];
    std::snprintf(text, sizeof text, "\"0x%X\": \"0x%llX\"", index, static_cast<unsigned long long>(value));
    return text;
}

std::string PlatformId(uint64_t id, uint64_t extra) { return MsrEntry(0x17, (id << 50) | extra); }

} // namespace vexa::test
