#include "machine/devices/processor_cpuid.h"

#include <algorithm>
#include <cstring>

namespace vexa::machine {
namespace {

// Leaves whose answer depends on the sub-leaf in ECX.
constexpr uint32_t kSubleafLeaves[] = {0x4,  0x7,  0xB,  0xD,  0xF,  0x10, 0x12, 0x14, 0x17, 0x18, 0x1B,
                                       0x1D, 0x1E, 0x1F, 0x20, 0x23, 0x24, 0x8000001D, 0x80000020, 0x80000026};

} // namespace

ProcessorCpuid::ProcessorCpuid(CpuidLeaves leaves) : leaves_(std::move(leaves)) {
    if (const auto it = leaves_.find(CpuidKey{0, 0}); it != leaves_.end()) {
        maxBasic_ = it->second.eax;
        intel_ = std::memcmp(&it->second.ebx, "Genu", 4) == 0 && std::memcmp(&it->second.edx, "ineI", 4) == 0 &&
                 std::memcmp(&it->second.ecx, "ntel", 4) == 0;
    }
    if (const auto it = leaves_.find(CpuidKey{0x80000000u, 0}); it != leaves_.end() && it->second.eax >= 0x80000000u)
        maxExtended_ = it->second.eax;
}

bool ProcessorCpuid::takesSubleaves(uint32_t leaf) const {
    if (std::find(std::begin(kSubleafLeaves), std::end(kSubleafLeaves), leaf) != std::end(kSubleafLeaves)) return true;
    const auto first = leaves_.lower_bound(CpuidKey{leaf, 0});
    return first != leaves_.end() && first->first.leaf == leaf &&
           (first->first.subleaf != 0 || (std::next(first) != leaves_.end() && std::next(first)->first.leaf == leaf));
}

bool ProcessorCpuid::inRange(uint32_t leaf, uint32_t maxBasic) const {
    return leaf <= maxBasic || (leaf >= 0x80000000u && leaf <= maxExtended_);
}

CpuidRegs ProcessorCpuid::answer(uint32_t leaf, uint32_t subleaf, bool limited) const {
    constexpr uint32_t kLimitedMaxBasic = 2;
    const uint32_t maxBasic = limited && intel_ ? std::min(maxBasic_, kLimitedMaxBasic) : maxBasic_;
    // Dumps of Intel processors often list such leaves too, holding exactly
    // this answer; taking it from the highest leaf keeps each processor's
    // own APIC id in it.
    if (intel_ && !inRange(leaf, maxBasic)) return answer(maxBasic, subleaf, limited);
    if (const auto exact = leaves_.find(CpuidKey{leaf, subleaf}); exact != leaves_.end()) {
        CpuidRegs regs = exact->second;
        if (leaf == 0) regs.eax = std::min(regs.eax, maxBasic);
        return regs;
    }
    const auto first = leaves_.lower_bound(CpuidKey{leaf, 0});
    const bool listed = first != leaves_.end() && first->first.leaf == leaf;
    if (listed) {
        if (!takesSubleaves(leaf)) {
            CpuidRegs regs = first->second;  // its only entry, sub-leaf 0
            if (leaf == 0) regs.eax = std::min(regs.eax, maxBasic);
            return regs;
        }
        if (leaf == 0xB || leaf == 0x1F) return CpuidRegs{0, 0, subleaf & 0xFF, first->second.edx};
        return {};
    }
    return {};
}

} // namespace vexa::machine
