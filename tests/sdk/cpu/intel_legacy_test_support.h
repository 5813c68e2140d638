// What the tests of the Intel descriptions before Nehalem share: processors
// of family 5, 6 or 15 written by hand, and manifest members of MSRs.
#pragma once

#include <cstdint>
#include <string>

#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {

// A processor written by hand: its signature, brand ID and string, the
// level-2 cache of leaf 4 (with the cores sharing it and the digital
// thermal sensor of leaf 6), or, without one, the NetBurst descriptor bytes
// of leaf 2.
struct LegacyPart {
    uint32_t family = 6;
    uint32_t extModel = 0;
    uint32_t stepping = 0;
    std::string brand;
    uint32_t brandId = 0;
    uint32_t cores = 1;
    uint32_t logical = 1;
    uint32_t l2 = 0;          // KB; 0: no leaf 4
    uint32_t leaf2Edx = 0;    // trace cache in 15:8, level 2 in 23:16, level 3 in 7:0
    bool x86_64 = false;
    bool vt = false;
    uint32_t processorType = 0;  // CPUID 1 EAX 13:12 (1: OverDrive)
};
Leaves LegacyLeaves(const LegacyPart& part);

// `"0x<index>": "0x<value>"`, and IA32_PLATFORM_ID with a platform ID
// (bits 52:50) and further bits.
std::string MsrEntry(uint32_t index, uint64_t value);
std::string PlatformId(uint64_t id, uint64_t extra = 0);

} // namespace vexa::test
