// The 512-byte sectors a drive of a machine image answers with: IDENTIFY
// DEVICE data and SMART READ DATA, built from the fields the tests care
// about (std::string, as ImageDir writes files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexa::test {

struct IdentifyFields {
    std::string model = "TEST DISK 1000";  // words 27-46
    std::string serial = "SN0001";         // words 10-19, right-aligned as drives do
    std::string firmware = "01.02A03";     // words 23-26
    uint64_t sectors = 1953525168;         // 48-bit count in words 100-103 (word 83 bit 10)
    bool smartSupported = true;            // word 82 bit 0
    bool smartEnabled = true;              // word 85 bit 0
};
std::string identifySector(const IdentifyFields& fields = {});

// One attribute of the SMART attribute table; `entry` is its position
// (0..29), -1 for the next free one.
struct SmartAttribute {
    uint8_t id;
    uint8_t rawLow;
    int entry = -1;
};
std::string smartSector(const std::vector<SmartAttribute>& attributes);

} // namespace vexa::test
