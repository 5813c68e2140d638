// The query layer's calls into the chipset domain.
#include "app/domain_steps.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"

namespace domain_steps {

void SetChipsetMemorySize(CChipsetInterface* chipset, int totalMB) {
    if (chipset && chipset->m_pMemoryInfo) chipset->m_pMemoryInfo->m_iSize = totalMB;
}

void RefreshChipset(CChipsetInterface* chipset) {
    if (chipset) chipset->Refresh();
}

void WriteChipsetReport(CChipsetInterface* chipset, CReportGenerator* report) {
    if (chipset) chipset->WriteReport(report);
}

void DumpMCHBAR(CChipsetInterface* chipset, CReportGenerator* report) {
    if (chipset) chipset->DumpMCHBAR(report);
}

} // namespace domain_steps
