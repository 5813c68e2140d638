// The query layer's calls into the PCI domain.
#include "app/domain_steps.h"
#include "sdk/hw/pci_interface.h"

namespace domain_steps {

void ScanPCIBuses(CPCIInterface* pci, int maxBuses, int accessMode) {
    if (!pci) return;
    // A setting beyond what the mechanism reaches keeps the mechanism's count.
    if (maxBuses >= 1 && maxBuses <= pci->m_iMaxBusCount) pci->m_iBusCount = maxBuses;
    pci->m_iAccessMode = accessMode;
    pci->ScanBus();
}

void RefreshAndDumpPCI(CPCIInterface* pci, CReportGenerator* report) {
    if (!pci) return;
    pci->RefreshDevices();
    pci->Dump(report);
}

void DumpPCIShort(CPCIInterface* pci, CReportGenerator* report) {
    if (pci) pci->Dump2(report);
}

} // namespace domain_steps
