// The report bodies' calls into the detection domains: each domain writes
// its own section. Every domain named below is not part of this build yet;
// see domain_steps.h for why these bodies do nothing.
#include "app/domain_steps.h"

namespace domain_steps {

// Wait for the chipset domain (CChipsetInterface::WriteReport, DumpMCHBAR).
void WriteChipsetReport(CChipsetInterface*, CReportGenerator*) {}
void DumpMCHBAR(CChipsetInterface*, CReportGenerator*) {}

// Wait for the SPD domain (CSPDInterface::WriteReport, DumpRegisters).
void WriteSPDReport(CSPDInterface*, CReportGenerator*) {}
void DumpSPDRegisters(CSPDInterface*, CReportGenerator*) {}

// Waits for the hardware-monitoring domain (Dump with registers, Dump2
// without).
void DumpHardwareMonitor(CHardwareMonitorInterface*, CReportGenerator*, bool) {}

// Waits for the storage domain.
void DumpStorage(CStorageInterface*, CReportGenerator*) {}

// Wait for the display domain (Dump, DumpAdapters).
void DumpDisplay(CDisplayInterface*, CReportGenerator*) {}
void DumpDisplayAdapters(CDisplayInterface*, CReportGenerator*) {}

// Waits for the software domain.
void SoftwareTexts(CSoftwareInterface*, char (&osName)[kDomainTextBytes], char (&osBuild)[kDomainTextBytes],
                   char (&directX)[kDomainTextBytes]) {
    osName[0] = osBuild[0] = directX[0] = '\0';
}

} // namespace domain_steps
