// The memory figures of the system. This platform knows the total physical
// memory of the current machine (Machine::totalMemoryBytes); every other
// figure is reported as 0. A machine that does not know its memory makes
// both functions fail.
#pragma once

#include "platform/win_types.h"

using DWORDLONG = uint64_t;

struct MEMORYSTATUSEX {  // 64 bytes
    DWORD dwLength;      // must be sizeof(MEMORYSTATUSEX)
    DWORD dwMemoryLoad;
    DWORDLONG ullTotalPhys;
    DWORDLONG ullAvailPhys;
    DWORDLONG ullTotalPageFile;
    DWORDLONG ullAvailPageFile;
    DWORDLONG ullTotalVirtual;
    DWORDLONG ullAvailVirtual;
    DWORDLONG ullAvailExtendedVirtual;
};
static_assert(sizeof(MEMORYSTATUSEX) == 64);

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
};

// FALSE with ERROR_INVALID_PARAMETER when dwLength is not 64, with
// ERROR_NOT_SUPPORTED when the machine does not know its memory.
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);
// Windows gives no result; here the structure is zeroed (length kept) when
// the machine does not know its memory.
void GlobalMemoryStatus(MEMORYSTATUS* status);
