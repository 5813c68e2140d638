// The query layer's calls into the SPD domain, which the query layer owns
// itself (it is not one of the root's interfaces).
#include "app/domain_steps.h"
#include "sdk/chipset/module_info.h"
#include "sdk/chipset/spd_interface.h"

namespace domain_steps {

CSPDInterface* CreateSPDInterface() { return new CSPDInterface; }

void DeleteSPDInterface(CSPDInterface* spd) { delete spd; }

void LimitSPDSlots(CSPDInterface* spd, int slots) {
    if (spd) spd->m_iSlotCount = slots;
}

void ScanAndDecodeModules(CSPDInterface* spd, uint32_t boardHash, void (*progress)()) {
    if (!spd) return;
    spd->m_iBoardHash = static_cast<int>(boardHash);
    if (spd->Scan(progress)) spd->DecodeModules(progress);
}

std::vector<int> ModuleSizesMB(CSPDInterface* spd) {
    std::vector<int> sizes;
    if (!spd) return sizes;
    for (int i = 0; i < spd->m_iModuleCount && i < CSPDInterface::kMaxModules; ++i)
        sizes.push_back(spd->m_pModules[i].m_iSize);
    return sizes;
}

void WriteSPDReport(CSPDInterface* spd, CReportGenerator* report) {
    if (spd) spd->WriteReport(report);
}

void DumpSPDRegisters(CSPDInterface* spd, CReportGenerator* report) {
    if (spd) spd->DumpRegisters(report);
}

} // namespace domain_steps
