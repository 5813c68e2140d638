// Every action the query layer asks of a detection domain, one small
// function each: creating its helpers, scanning, refreshing, shutting
// down, writing its report sections. The scan, the refresh, the shut-down
// and the report bodies decide when a domain is asked (only when its
// pointer is not null); these functions are how. The query bodies
// (queries_*.cpp) read the model of a domain that is built directly.
//
// A domain this build does not contain yet exists only as a forward
// declaration: its creator fails, its pointer stays null and its functions
// are never reached with an object. Their bodies therefore do nothing and
// answer "nothing found"; each names the domain whose change fills it in,
// and that change completes the query layer here, in one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CACPIInterface;
class CChipsetInterface;
class CCPUInterface;
class CDisplayInterface;
class CDMIInterface;
class CHardwareMonitorInterface;
class CInterface;
class CPCIInterface;
class CReportGenerator;
class CSoftwareInterface;
class CSPDInterface;
class CStorageInterface;

namespace domain_steps {

constexpr size_t kDomainTextBytes = 512;

// ---- Scan, refresh and shut-down (domain_scan_steps.cpp) ----

// Software domain: VirtualMachineKind (0 none, 1 VMware, 2 Virtual PC).
int VirtualMachineKind(CSoftwareInterface* software);
// SMBIOS domain: manufacturer and product name of the baseboard structure
// (type 2); false when there is none.
bool BaseboardNames(CDMIInterface* dmi, char (&manufacturer)[kDomainTextBytes],
                    char (&product)[kDomainTextBytes]);
// Display domain: starts the NVIDIA driver API and enumerates its GPUs
// before the PCI bus is touched (a temporary NVAPI_DisplayAPI).
void ProbeNVIDIADriverAPI();
// PCI domain: the bus count (MaxPCIBus when not above the mechanism's
// maximum), the access mode (1 driver requests, 2 ports), then ScanBus.
void ScanPCIBuses(CPCIInterface* pci, int maxBuses, int accessMode);
// Processor domain: CPUClassCode of the package with that index; -1 when
// there is none.
int ProcessorClassCode(CCPUInterface* cpu, int package);
// SPD domain: the query layer's own SPD interface.
CSPDInterface* CreateSPDInterface();
void DeleteSPDInterface(CSPDInterface* spd);
// SPD domain: the number of module slots probed (default 8).
void LimitSPDSlots(CSPDInterface* spd, int slots);
// SPD domain: the board key, then the module scan and, when it found
// modules, their decoding, both reporting progress.
void ScanAndDecodeModules(CSPDInterface* spd, uint32_t boardHash, void (*progress)());
// SPD domain: the size in MB of every decoded module.
std::vector<int> ModuleSizesMB(CSPDInterface* spd);
// Chipset domain: the size of its memory record.
void SetChipsetMemorySize(CChipsetInterface* chipset, int totalMB);
// Storage domain: the interface the root found for its type.
CStorageInterface* AsStorageInterface(CInterface* found);
// The periodic refresh of the domains that measure.
void UpdateProcessorClocks(CCPUInterface* cpu);        // processor domain
// Processor domain, after the scan released the library lock: waits up
// to `ms` until every measurement thread has completed a measured pass.
void AwaitFirstMeasurements(CCPUInterface* cpu, uint32_t ms);
void RefreshChipset(CChipsetInterface* chipset);       // chipset domain
void RefreshDisplay(CDisplayInterface* display);       // display domain
void UpdateHardwareMonitor(CHardwareMonitorInterface* monitor);  // hardware-monitoring domain

// ---- Report sections ----

void DumpProcessors(CCPUInterface* cpu, CReportGenerator* report);
void DumpProcessorThreads(CCPUInterface* cpu, CReportGenerator* report);
void WriteChipsetReport(CChipsetInterface* chipset, CReportGenerator* report);
void DumpMCHBAR(CChipsetInterface* chipset, CReportGenerator* report);
void WriteSPDReport(CSPDInterface* spd, CReportGenerator* report);
void DumpSPDRegisters(CSPDInterface* spd, CReportGenerator* report);
// With or without the register dumps.
void DumpHardwareMonitor(CHardwareMonitorInterface* monitor, CReportGenerator* report, bool registers);
// The configuration of every device read again first.
void RefreshAndDumpPCI(CPCIInterface* pci, CReportGenerator* report);
void DumpPCIShort(CPCIInterface* pci, CReportGenerator* report);
void WriteDMIReport(CDMIInterface* dmi, CReportGenerator* report);
void DumpStorage(CStorageInterface* storage, CReportGenerator* report);
void DumpDisplay(CDisplayInterface* display, CReportGenerator* report);
void DumpDisplayAdapters(CDisplayInterface* display, CReportGenerator* report);
void DumpACPI(CACPIInterface* acpi, CReportGenerator* report);
// Software domain: the operating-system name, its second text (service
// pack and build) and the DirectX version; empty texts when unknown.
void SoftwareTexts(CSoftwareInterface* software, char (&osName)[kDomainTextBytes],
                   char (&osBuild)[kDomainTextBytes], char (&directX)[kDomainTextBytes]);

} // namespace domain_steps
