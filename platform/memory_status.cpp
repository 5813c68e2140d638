#include "platform/memory_status.h"

#include <cstring>

#include "machine/machine.h"

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status) {
    if (!status || status->dwLength != sizeof(MEMORYSTATUSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint64_t total = vexa::machine::current().totalMemoryBytes();
    if (total == 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    std::memset(status, 0, sizeof *status);
    status->dwLength = sizeof *status;
    status->ullTotalPhys = total;
    return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (!status) return;
    const DWORD length = status->dwLength;
    std::memset(status, 0, sizeof *status);
    status->dwLength = length;
    status->dwTotalPhys = static_cast<SIZE_T>(vexa::machine::current().totalMemoryBytes());
}
