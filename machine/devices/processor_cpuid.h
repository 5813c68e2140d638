// The CPUID answers of one simulated logical processor, from the leaves of
// its dump:
// - a listed (leaf, sub-leaf) answers as listed;
// - a listed leaf that ignores ECX answers its sub-leaf 0 for any ECX;
// - a sub-leaf past the listed ones of a leaf that takes sub-leaves
//   answers zeros, except leaves 0xB and 0x1F, which answer an invalid
//   level (ECX[7:0] = sub-leaf, EDX = x2APIC id) as the processor does;
// - on Intel processors a leaf beyond the maxima of leaves 0 and
//   0x80000000 answers what the highest basic leaf answers, listed or not,
//   as the processor does; on others an unlisted leaf answers zeros;
// - while an Intel processor's CPUID limit is on (bit 22 of its
//   IA32_MISC_ENABLE, see msr_bank.h), leaf 0 reports 2 as the highest
//   basic leaf and the basic leaves above it answer as leaf 2.
#pragma once

#include "machine/cpuid_dump.h"

namespace vexa::machine {

class ProcessorCpuid {
public:
    explicit ProcessorCpuid(CpuidLeaves leaves);
    CpuidRegs answer(uint32_t leaf, uint32_t subleaf, bool limited = false) const;
    const CpuidLeaves& leaves() const { return leaves_; }
    bool isIntel() const { return intel_; }

private:
    bool takesSubleaves(uint32_t leaf) const;
    bool inRange(uint32_t leaf, uint32_t maxBasic) const;

    CpuidLeaves leaves_;
    uint32_t maxBasic_ = 0;
    uint32_t maxExtended_ = 0;
    bool intel_ = false;
};

} // namespace vexa::machine
