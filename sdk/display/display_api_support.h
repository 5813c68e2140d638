// What the direct-register and library display APIs share: the shared
// physical-memory windows over GPU and chipset registers, and the report
// line that names an API.
#pragma once

#include <cstdint>

class CIOSpace;
class CReportGenerator;

// The memory window at `base` from the root's I/O-space list (its size set
// to `size` when `resize`), or a new one of that size appended to the list.
// Null for base 0: an unassigned BAR is never mapped.
CIOSpace* SharedMemoryWindow(uint32_t base, uint32_t size, bool resize = true);

// "API" with the API's text: the labelled line (`full`) or the console
// section title.
void DumpAPIField(CReportGenerator* report, const char* value);
void DumpAPISection(CReportGenerator* report, const char* value);
