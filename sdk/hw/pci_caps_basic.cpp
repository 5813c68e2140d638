#include "sdk/hw/pci_caps_basic.h"

#include "sdk/core/report_generator.h"

void CPCICaps_PM::Parse(CPCIDevice* device) {
    if (!HasOffset()) return;
    const uint8_t version = Word(device, 2) & 7;
    switch (version) {
    case 1: m_byVersionMajor = 1, m_byVersionMinor = 0; break;
    case 2: m_byVersionMajor = 1, m_byVersionMinor = 1; break;
    case 3: m_byVersionMajor = 1, m_byVersionMinor = 2; break;
    default: m_byVersionMinor = version; break;
    }
}

void CPCICaps_PM::Dump(CReportGenerator* report) {
    if (!report) return;
    CPCICapability::Dump(report);
    if (m_byVersionMajor != 0xFF && m_byVersionMinor != 0xFF)
        report->PrintField("\tCaps version", "\t\t", "%d.%d", m_byVersionMajor, m_byVersionMinor);
}

void CPCICaps_VD::Parse(CPCIDevice* device) {
    if (HasOffset()) m_iSize = Byte(device, 2);
}

void CPCICaps_SVID::Parse(CPCIDevice* device) {
    if (!HasOffset()) return;
    const uint32_t ids = Dword(device, 4);
    m_wSubVendorID = uint16_t(ids);
    m_wSubSystemID = uint16_t(ids >> 16);
}

void CPCICaps_SVID::Dump(CReportGenerator* report) {
    if (!report) return;
    CPCICapability::Dump(report);
    report->PrintField("\tSubVendor ID", "\t\t", "0x%04X", m_wSubVendorID);
    report->PrintField("\tSubSystem ID", "\t\t", "0x%04X", m_wSubSystemID);
}
