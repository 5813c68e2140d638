// What the tests of the AMD microarchitecture descriptions share: AMD
// processors written by hand (signature, brand ID, package type, core
// count) or of a dump of tests/data/cpuid, the northbridge functions of a
// node in lspci -xxxx form with the registers a case needs, and images of
// them with MSRs, the PM timer and the extended register bits of
// 0xCF8 (or a PCI Express window).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "tests/sdk/cpu/intel_family_test_support.h"

namespace vexa::test {

// A hand-written AMD processor of extended family 15 or above.
struct AMDPart {
    uint32_t family = 15;  // base family
    uint32_t extFamily = 0;
    uint32_t model = 0;
    uint32_t extModel = 0;
    uint32_t stepping = 0;
    uint32_t brandEbx = 0;      // CPUID 0x80000001 EBX
    uint32_t packageBits = 0;   // CPUID 0x80000001 EAX bits 5:4 (K8)
    uint32_t cores = 1;         // CPUID 0x80000008 ECX bits 7:0 + 1
    uint32_t powerEdx = 0;      // CPUID 0x80000007 EDX
    std::string brand;          // the brand string
    uint32_t l2 = 512;          // KB per core
    uint32_t l3 = 0;            // KB; 0: none
};
Leaves AMDLeaves(const AMDPart& part);

// The registers of a node's functions: function -> register -> dword.
using NodeRegisters = std::map<unsigned, std::map<unsigned, uint32_t>>;
// The rows of a function's configuration bytes in lspci -x (up to 256
// bytes) or -xxxx form, with the blank line that ends the function.
std::string LspciRows(const uint8_t* bytes, size_t size);
// A host bridge at 00:00.0 and functions 0 .. `functions` - 1 of device
// 0x18 on bus 0, with device IDs from `function0Id` on, in lspci -xxxx
// form (4096 bytes each).
std::string NodeLspci(uint16_t function0Id, unsigned functions, const NodeRegisters& registers);

// An image of the dump text, these MSRs (members of a JSON object) and PCI
// functions, with the PM timer at 0x808 and the extended register bits of
// 0xCF8.
std::unique_ptr<machine::Machine> AMDImage(const std::string& cpuid, const std::string& msrs,
                                           const std::string& lspci = "");
// The dump of a file of tests/data.
std::string DataDump(const std::string& dataFile);

// A manifest member of a plain MSR.
std::string MsrMember(uint32_t index, uint64_t value);

} // namespace vexa::test
