#include "sdk/hw/pci_caps_express.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"

namespace {

const char* DeviceTypeName(uint8_t type) {
    switch (type) {
    case 0: return "PCI-E Endpoint Device";
    case 1: return "Legacy PCI-E Endpoint Device";
    case 4: return "Root Port of PCI-E Root Complex";
    case 5: return "Upstream Port of PCI-E Switch";
    case 6: return "Downstream Port of PCI-E Switch";
    case 7: return "PCI-E to PCI/PCI-X bridge";
    case 9: return "Root Complex Integrated Endpoint Device";
    default: return "Unknown";
    }
}

} // namespace

// ---- PCI Express ----

void CPCICaps_PCIE::Parse(CPCIDevice* device) {
    if (!HasOffset()) return;
    const uint16_t capabilities = Word(device, 2);
    m_byVersion = capabilities & 0xF;
    m_byDeviceType = (capabilities >> 4) & 0xF;
    if (m_byDeviceType == kRootPort || m_byDeviceType == kDownstreamPort)
        m_iSlotImplemented = (capabilities >> 8) & 1;
    const uint32_t linkCapabilities = Dword(device, 0x0C);
    m_iPortNumber = int32_t(linkCapabilities >> 24);
    m_iMaxLinkWidth = (linkCapabilities >> 4) & 0x3F;
    m_iLinkWidth = (Word(device, 0x12) >> 4) & 0x3F;
    m_iPhysicalSlot = int32_t(Dword(device, 0x14) >> 19);
    m_bPresenceDetect = (Word(device, 0x1A) >> 6) & 1;
}

void CPCICaps_PCIE::Dump(CReportGenerator* report) {
    if (!report) return;
    CPCICapability::Dump(report);
    report->PrintField("\tDevice type", "\t\t", "%s", DeviceTypeName(m_byDeviceType));
    report->PrintField("\tPort", "\t\t\t", "%d", m_iPortNumber);
    report->PrintField("\tVersion", "\t\t\t", "%d.0", m_byVersion);
    if (IsValid(m_iSlotImplemented)) {
        if (m_iSlotImplemented) {
            report->PrintField("\tPhysical slot", "\t\t", "#%d", m_iPhysicalSlot);
            report->PrintField("\tPresence detect", "\t\t", "%s", m_bPresenceDetect ? "yes" : "no");
        } else {
            report->PrintField("\tPhysical slot", "\t\t", "%s", "Integrated device");
        }
    }
    report->PrintField("\tLink width", "\t\t", "%dx (max %dx)", m_iLinkWidth, m_iMaxLinkWidth);
}

// ---- Root complex link declaration ----

void CPCICaps_RootLinkDecl::Parse(CPCIDevice* device) {
    if (!HasOffset()) return;
    const uint32_t description = Dword(device, 4);
    m_dwLinkEntries = (description >> 8) & 0xFF;
    m_dwPortNumber = description >> 24;
    m_iSize = int32_t(m_dwLinkEntries + 1) * 16;
}

void CPCICaps_RootLinkDecl::Dump(CReportGenerator* report) {
    if (!report) return;
    CPCICapability::Dump(report);
    report->PrintField("\tLink Entries #", "\t\t", "%d", m_dwLinkEntries);
    report->PrintField("\tPort Number", "\t\t", "%d", m_dwPortNumber);
}

// ---- Vendor specific ----

void CPCICaps_VendorSpecific::Parse(CPCIDevice* device) {
    if (!HasOffset()) return;
    const uint32_t header = Dword(device, 4);
    m_dwVSECID = header & 0xFFFF;
    m_iSize = int32_t(header >> 20);
}

void CPCICaps_VendorSpecific::Dump(CReportGenerator* report) {
    if (!report) return;
    CPCICapability::Dump(report);
    report->PrintField("\tVendor ID", "\t\t", "%d", m_dwVSECID);
    report->PrintField("\tSize", "\t\t\t", "%d", m_iSize);
}
