#include "app/memory_total.h"

#include <algorithm>

#include "platform/memory_status.h"
#include "platform/modules.h"

int RoundedMemoryMB(uint64_t bytes) {
    const double megabytes = static_cast<double>(bytes) / 1048576.0 + 0.95;
    if (megabytes >= 2147483646.0) return 2147483646;
    const int rounded = static_cast<int>(megabytes);
    return rounded % 2 ? rounded + 1 : rounded;
}

int OSTotalMemoryMB() {
    uint64_t total = 0;
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    const auto statusEx = kernel32 ? vexa::platform::lookup<decltype(&GlobalMemoryStatusEx)>(kernel32,
                                                                                            "GlobalMemoryStatusEx")
                                   : nullptr;
    if (statusEx) {
        MEMORYSTATUSEX status {};
        status.dwLength = sizeof status;
        if (statusEx(&status)) total = status.ullTotalPhys;
    } else {
        MEMORYSTATUS status {};
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        total = status.dwTotalPhys;
    }
    if (kernel32) FreeLibrary(kernel32);
    return total ? RoundedMemoryMB(total) : -1;
}

int ScanMemoryTotalMB(const std::vector<int>& moduleSizesMB, int osTotalMB) {
    long long modules = 0;
    for (int size : moduleSizesMB)
        if (size > 0) modules += size;
    return static_cast<int>(std::max<long long>(std::min<long long>(modules, 0x7FFFFFFF), osTotalMB));
}
