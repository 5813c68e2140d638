// Processor groups, as Windows 7 and later have them: the machine's logical
// processors are split into groups of at most 64, and a thread runs in one
// group with an affinity mask within it. Windows numbers the groups by
// NUMA node; the machines here have none to tell, so the processors are
// cut into consecutive groups as equal in size as the count allows: the
// fewest groups of at most 64, the first ones taking one processor more
// when the count does not split evenly (128 gives 64 + 64, 72 gives
// 36 + 36, 130 gives 44 + 43 + 43). Group g's processor k is the machine's
// processor (the processors of groups 0 .. g-1) + k.
//
// The four functions are kernel32's that older Windows versions lack, so
// they are offered by name only to identities of Windows 7 (NT 6.1) and
// later; the legacy functions (SetThreadAffinityMask, the process mask,
// GetSystemInfo) speak of group 0, as they do on Windows for a process in
// its first group.
#pragma once

#include <vector>

#include "platform/win_types.h"

struct GROUP_AFFINITY {
    DWORD_PTR Mask;
    WORD Group;
    WORD Reserved[3];
};

constexpr WORD ALL_PROCESSOR_GROUPS = 0xFFFF;

WORD GetActiveProcessorGroupCount();
// The processors of a group, or of every group for ALL_PROCESSOR_GROUPS;
// 0 with ERROR_INVALID_PARAMETER for a group the machine does not have.
DWORD GetActiveProcessorCount(WORD groupNumber);
// The group and mask the thread runs in (threads.cpp).
BOOL GetThreadGroupAffinity(HANDLE thread, GROUP_AFFINITY* groupAffinity);
// Moves the thread to a group and mask. FALSE with ERROR_INVALID_PARAMETER
// for a group the machine lacks, an empty mask, a mask naming processors
// past the group's, or non-zero reserved words (threads.cpp).
BOOL SetThreadGroupAffinity(HANDLE thread, const GROUP_AFFINITY* groupAffinity,
                            GROUP_AFFINITY* previousGroupAffinity);

namespace vexa::platform {

// The number of processors of each group of the current machine, in group
// order; at least one group.
std::vector<unsigned> processorGroupSizes();
// The machine's number of group g's processor 0 (g must exist).
unsigned processorGroupFirst(unsigned group);
// The mask of every processor of group g; 0 when there is no such group.
uint64_t processorGroupMask(unsigned group);

} // namespace vexa::platform
