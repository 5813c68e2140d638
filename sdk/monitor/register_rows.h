// The register tables of the monitoring reports: a header row with the
// column numbers 00-0F, then one row of sixteen registers per line,
// labelled with the row's first register; "ER" stands for a register that
// could not be read.
#pragma once

#include <cstdint>
#include <functional>

class CReportGenerator;

void PrintRegisterRows(CReportGenerator* report, uint32_t registers,
                       const std::function<bool(uint32_t reg, uint8_t* value)>& read);
// One row only: the sixteen registers from `base`, labelled with `base`.
void PrintRegisterRow(CReportGenerator* report, uint32_t base,
                      const std::function<bool(uint32_t reg, uint8_t* value)>& read);
