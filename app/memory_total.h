// The scan's memory total: the larger of the memory modules' sizes added
// up and what the operating system reports.
#pragma once

#include <cstdint>
#include <vector>

// Bytes in MB as the operating system's figure is rounded: the integer
// part of bytes / 1048576 + 0.95, an odd result raised by one (the system
// keeps a little of the installed memory for itself).
int RoundedMemoryMB(uint64_t bytes);

// The operating system's physical memory in MB (GlobalMemoryStatusEx, looked
// up in kernel32, else GlobalMemoryStatus), rounded as above; -1 when the
// system does not tell.
int OSTotalMemoryMB();

// The sum of the module sizes that are positive, or the operating system's
// figure when that is larger.
int ScanMemoryTotalMB(const std::vector<int>& moduleSizesMB, int osTotalMB);
