#include "platform/processor_groups.h"

#include <algorithm>

#include "machine/machine.h"

namespace vexa::platform {

namespace {

constexpr unsigned kGroupCapacity = 64;

} // namespace

std::vector<unsigned> processorGroupSizes() {
    const unsigned count = std::max(1u, vexa::machine::current().processorCount());
    const unsigned groups = (count + kGroupCapacity - 1) / kGroupCapacity;
    std::vector<unsigned> sizes(groups, count / groups);
    for (unsigned g = 0; g < count % groups; ++g) ++sizes[g];
    return sizes;
}

unsigned processorGroupFirst(unsigned group) {
    const std::vector<unsigned> sizes = processorGroupSizes();
    unsigned first = 0;
    for (unsigned g = 0; g < group && g < sizes.size(); ++g) first += sizes[g];
    return first;
}

uint64_t processorGroupMask(unsigned group) {
    const std::vector<unsigned> sizes = processorGroupSizes();
    if (group >= sizes.size()) return 0;
    return sizes[group] >= 64 ? ~0ull : (1ull << sizes[group]) - 1;
}

} // namespace vexa::platform

WORD GetActiveProcessorGroupCount() {
    return static_cast<WORD>(vexa::platform::processorGroupSizes().size());
}

DWORD GetActiveProcessorCount(WORD groupNumber) {
    const std::vector<unsigned> sizes = vexa::platform::processorGroupSizes();
    if (groupNumber == ALL_PROCESSOR_GROUPS) {
        unsigned total = 0;
        for (unsigned size : sizes) total += size;
        return total;
    }
    if (groupNumber >= sizes.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return sizes[groupNumber];
}
