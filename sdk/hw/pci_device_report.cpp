// The report blocks of a PCI function: the full block (description,
// location, common header, typed header, capabilities), the console's
// brief form and the hex rows of the configuration snapshot.
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/hw/pci_capability.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_header.h"
#include "sdk/hw/register_space.h"

namespace {

constexpr uint32_t kRowBytes = 16;
// Rows of the extended space the dump shows, 0x100 to 0x130.
constexpr uint32_t kExtendedRowsEnd = 0x140;

void PrintLabel(CReportGenerator* report, const char* label) { report->PrintField(label, "", "%s", ""); }

// "XX " for each byte; written directly, a report of thousands of
// functions has millions of them.
void PrintRow(CReportGenerator* report, const char* label, const uint8_t* bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char row[kRowBytes * 3 + 1];
    for (uint32_t i = 0; i < kRowBytes; ++i) {
        row[i * 3] = kDigits[bytes[i] >> 4];
        row[i * 3 + 1] = kDigits[bytes[i] & 0xF];
        row[i * 3 + 2] = ' ';
    }
    row[kRowBytes * 3] = '\0';
    report->PrintField(label, "\t", "%s", row);
}

} // namespace

void CPCIDevice::DumpBrief(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("Description", "\t\t\t", "%s", m_szDescription);
    report->PrintField("Location", "\t\t\t", "bus %d (0x%02X), device %d (0x%02X), function %d (0x%02X)", m_byBus,
                       m_byBus, m_byDevice, m_byDevice, m_byFunction, m_byFunction);
    PrintLabel(report, "Common header");
    report->PrintField("\tVendor ID", "\t\t", "0x%04X", m_pCommonHeader->m_wVendorID);
    report->PrintField("\tModel ID", "\t\t", "0x%04X", m_pCommonHeader->m_wDeviceID);
    report->PrintField("\tRevision ID", "\t\t", "0x%02X", m_pCommonHeader->m_byRevisionID);
}

void CPCIDevice::Dump(CReportGenerator* report) {
    if (!report) return;
    DumpBrief(report);
    const CPCICommonHeader& header = *m_pCommonHeader;
    report->PrintField("\tPI", "\t\t\t", "0x%02X", header.m_byProgIF);
    report->PrintField("\tSubClass", "\t\t", "0x%02X", header.m_bySubClass);
    report->PrintField("\tBaseClass", "\t\t", "0x%02X", header.m_byBaseClass);
    report->PrintField("\tCache Line", "\t\t", "0x%02X", header.m_byCacheLineSize);
    report->PrintField("\tLatency", "\t\t\t", "0x%02X", header.m_byLatencyTimer);
    report->PrintField("\tHeader", "\t\t\t", "0x%02X", header.m_byHeaderType);
    if (m_pHeader) {
        PrintLabel(report, "PCI header");
        m_pHeader->Dump(report);
    }
    CTListIterator<CPCICapability> standard(m_pCapabilities);
    for (CPCICapability* capability = standard.GetFirst(); capability; capability = standard.GetNext()) {
        PrintLabel(report, "PCI capability");
        capability->Dump(report);
    }
    if (m_pExtendedCapabilities->GetCount() == 0) return;
    PrintLabel(report, "Extended capabilities");
    CTListIterator<CPCICapability> extended(m_pExtendedCapabilities);
    for (CPCICapability* capability = extended.GetFirst(); capability; capability = extended.GetNext())
        capability->Dump(report);
}

void CPCIDevice::DumpRegisters(CReportGenerator* report) {
    if (!report || m_Snapshot.empty()) return;
    report->PrintField("PCI registers", "\t", "%s", "");
    uint8_t columns[kRowBytes];
    for (uint32_t i = 0; i < kRowBytes; ++i) columns[i] = uint8_t(i);
    PrintRow(report, "\t", columns);
    char label[16];
    for (uint32_t offset = 0; offset < kConventionalSpace; offset += kRowBytes) {
        FormatString(label, sizeof label, "\t%02X", offset);
        PrintRow(report, label, &m_Snapshot[offset]);
    }
    // The extended rows only where the snapshot holds them: a snapshot
    // taken before the function moved to the PCI Express window has 256
    // bytes.
    if (!m_pRegisterSpace || m_pRegisterSpace->GetClass() != REGSPACE_PCI_EXPRESS ||
        m_Snapshot.size() < kExtendedRowsEnd)
        return;
    for (uint32_t offset = kConventionalSpace; offset < kExtendedRowsEnd; offset += kRowBytes) {
        FormatString(label, sizeof label, "\t%03X", offset);
        PrintRow(report, label, &m_Snapshot[offset]);
    }
}
