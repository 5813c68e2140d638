// The report bodies: which domains appear, in which order, under which
// titles, and which of each domain's dumps is used. The caller frames the
// document; the domains write their own sections.
#include "app/domain_steps.h"
#include "app/local_info_parser.h"
#include "app/report_lines.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/hw/kmdriver.h"

namespace {

constexpr uint32_t kReportDriverLockTimeoutMs = 2000;

// A section: its title, what `write` writes and a blank line; nothing when
// the domain is absent.
template <typename Domain, typename Write>
void WriteSection(CReportGenerator* report, const wchar_t* title, Domain* domain, Write write) {
    if (!domain) return;
    report->PrintTitleW(title);
    write(domain);
    report->PrintBlankLine();
}

} // namespace

// A report holds the library lock for its whole run; the refresher and the
// window's timer skip their work meanwhile. The driver lock is tried too,
// and the sections are written whether or not it was obtained.
template <typename Body>
void CLocalInfoParser::WithReportLocks(Body body) {
    uint32_t status = 0;
    if (!m_pSDK || !m_pSDK->Lock(&status, INFINITE)) return;
    uint32_t driverError = 0;
    const bool driverLocked = m_pDriver && m_pDriver->bLockDriverHandle(&driverError, kReportDriverLockTimeoutMs);
    body();
    if (driverLocked) m_pDriver->UnlockDriverHandle();
    m_pSDK->Unlock();
}

// The mask is written to the processor's registers through the driver, so
// it needs the locks a report takes: without the driver lock the driver's
// device is closed and the write would fail.
int CLocalInfoParser::SetCoreEnableMask(int P, int mask) {
    int applied = 0;
    WithReportLocks([&] {
        if (CProcessor* processor = m_pCPU ? m_pCPU->GetProcessor(P) : nullptr)
            applied = static_cast<int>(processor->SetCoreEnableMask(static_cast<uint32_t>(mask)));
    });
    return applied;
}

void CLocalInfoParser::WriteMainboardLine(CReportGenerator* report) {
    char manufacturer[domain_steps::kDomainTextBytes], product[domain_steps::kDomainTextBytes];
    if (!m_pDMI || !domain_steps::BaseboardNames(m_pDMI, manufacturer, product) || !product[0]) return;
    wchar_t line[kInfoTextChars];
    FormatMainboardModel(product, line);
    report->PrintFieldW(L"Mainboard Model", L"\t\t", L"%s", line);
    report->PrintBlankLine();
}

void CLocalInfoParser::WriteAdapterCountLine(CReportGenerator* report) {
    report->PrintField("Number of adapters", "\t\t", "%d", GetDisplayAdapterCount());
    report->PrintBlankLine();
}

void CLocalInfoParser::WriteSoftwareLines(CReportGenerator* report) {
    char name[domain_steps::kDomainTextBytes], build[domain_steps::kDomainTextBytes],
        directX[domain_steps::kDomainTextBytes];
    domain_steps::SoftwareTexts(m_pSoftware, name, build, directX);
    wchar_t line[kInfoTextChars];
    FormatWindowsVersion(name, build, line);
    report->PrintFieldW(L"Windows Version", L"\t\t\t", L"%s", line);
    if (directX[0]) report->PrintFieldW(L"DirectX Version", L"\t\t\t", L"%hs", directX);
}

void CLocalInfoParser::WriteProcessorSection(CReportGenerator* report, Detail detail) {
    WriteSection(report, L"프로세서", m_pCPU, [&](CCPUInterface* cpu) {
        domain_steps::DumpProcessors(cpu, report);
        if (detail == Detail::Full) domain_steps::DumpProcessorThreads(cpu, report);
    });
}

void CLocalInfoParser::WriteChipsetSection(CReportGenerator* report, Detail detail) {
    WriteSection(report, L"칩셋", m_pChipset, [&](CChipsetInterface* chipset) {
        domain_steps::WriteChipsetReport(chipset, report);
        if (detail == Detail::Full) domain_steps::DumpMCHBAR(chipset, report);
    });
}

void CLocalInfoParser::WriteSPDSection(CReportGenerator* report, Detail detail) {
    WriteSection(report, L"Memory SPD", m_pSPD, [&](CSPDInterface* spd) {
        domain_steps::WriteSPDReport(spd, report);
        if (detail == Detail::Full) domain_steps::DumpSPDRegisters(spd, report);
    });
}

void CLocalInfoParser::WriteMonitorSection(CReportGenerator* report, Detail detail) {
    WriteSection(report, L"모니터링", m_pHardwareMonitor, [&](CHardwareMonitorInterface* monitor) {
        WriteMainboardLine(report);
        domain_steps::DumpHardwareMonitor(monitor, report, detail == Detail::Full);
    });
}

void CLocalInfoParser::WritePCISection(CReportGenerator* report, Detail detail) {
    WriteSection(report, L"PCI Devices", m_pPCI, [&](CPCIInterface* pci) {
        if (detail == Detail::Full) domain_steps::RefreshAndDumpPCI(pci, report);
        else domain_steps::DumpPCIShort(pci, report);
    });
}

void CLocalInfoParser::WriteDMISection(CReportGenerator* report) {
    WriteSection(report, L"DMI", m_pDMI, [&](CDMIInterface* dmi) { domain_steps::WriteDMIReport(dmi, report); });
}

void CLocalInfoParser::WriteStorageSection(CReportGenerator* report) {
    WriteSection(report, L"저장소", m_pStorage,
                 [&](CStorageInterface* storage) { domain_steps::DumpStorage(storage, report); });
}

void CLocalInfoParser::WriteDisplaySection(CReportGenerator* report) {
    WriteSection(report, L"그래픽", m_pDisplay, [&](CDisplayInterface* display) {
        WriteAdapterCountLine(report);
        domain_steps::DumpDisplay(display, report);
    });
}

void CLocalInfoParser::WriteSoftwareSection(CReportGenerator* report) {
    WriteSection(report, L"소프트웨어", m_pSoftware, [&](CSoftwareInterface*) { WriteSoftwareLines(report); });
}

void CLocalInfoParser::WriteReport(CReportGenerator* report) {
    WithReportLocks([&] {
        WriteProcessorSection(report, Detail::Full);
        WriteChipsetSection(report, Detail::Full);
        WriteSPDSection(report, Detail::Full);
        // The monitoring title, with the mainboard line, even without monitors.
        report->PrintTitleW(L"모니터링");
        WriteMainboardLine(report);
        if (m_pHardwareMonitor) {
            domain_steps::DumpHardwareMonitor(m_pHardwareMonitor, report, true);
            report->PrintBlankLine();
        }
        WritePCISection(report, Detail::Full);
        WriteDMISection(report);
        WriteStorageSection(report);
        WriteDisplaySection(report);
        WriteSoftwareSection(report);
        if (m_pACPI) domain_steps::DumpACPI(m_pACPI, report);  // with its own title
    });
}

void CLocalInfoParser::WriteShortReport(CReportGenerator* report) {
    WithReportLocks([&] {
        WriteProcessorSection(report, Detail::Brief);
        WriteChipsetSection(report, Detail::Brief);
        WriteSPDSection(report, Detail::Brief);
        WriteMonitorSection(report, Detail::Brief);
        WritePCISection(report, Detail::Brief);
        WriteDMISection(report);
        WriteDisplaySection(report);
        WriteSoftwareSection(report);
    });
}

void CLocalInfoParser::WriteConsoleReport(CReportGenerator* report) { WriteShortReport(report); }

void CLocalInfoParser::WriteHTMLReport(CReportGenerator* report) { WriteShortReport(report); }

// The full report without storage and ACPI, its monitor section only when
// there are monitors.
void CLocalInfoParser::WriteDumpReport(CReportGenerator* report) {
    WithReportLocks([&] {
        WriteProcessorSection(report, Detail::Full);
        WriteChipsetSection(report, Detail::Full);
        WriteSPDSection(report, Detail::Full);
        WriteMonitorSection(report, Detail::Full);
        WritePCISection(report, Detail::Full);
        WriteDMISection(report);
        WriteDisplaySection(report);
        WriteSoftwareSection(report);
    });
}

// The domains' brief dumps without titles and blank lines.
void CLocalInfoParser::WriteSummaryReport(CReportGenerator* report) {
    WithReportLocks([&] {
        if (m_pCPU) domain_steps::DumpProcessors(m_pCPU, report);
        if (m_pChipset) domain_steps::WriteChipsetReport(m_pChipset, report);
        if (m_pSPD) domain_steps::WriteSPDReport(m_pSPD, report);
        if (m_pHardwareMonitor) domain_steps::DumpHardwareMonitor(m_pHardwareMonitor, report, false);
        if (m_pDMI) domain_steps::WriteDMIReport(m_pDMI, report);
        if (m_pDisplay) domain_steps::DumpDisplayAdapters(m_pDisplay, report);
        if (m_pSoftware) WriteSoftwareLines(report);
    });
}
