#include "sdk/hw/pci_capability.h"

#include "sdk/core/report_generator.h"
#include "sdk/hw/pci_caps_agp.h"
#include "sdk/hw/pci_caps_basic.h"
#include "sdk/hw/pci_caps_express.h"
#include "sdk/hw/pci_caps_hypertransport.h"
#include "sdk/hw/pci_device.h"

void CPCICapability::Dump(CReportGenerator* report) {
    if (!report) return;
    if (m_pszLabel) report->PrintField("\tCaps class", "\t\t", "%s", m_pszLabel);
    else report->PrintField("\tCaps class", "\t\t", "0x%X", m_dwID);
    report->PrintField("\tCaps offset", "\t\t", "0x%X", m_dwOffset);
}

uint32_t CPCICapability::Dword(CPCIDevice* device, uint32_t at) const {
    uint32_t value = 0xFFFFFFFF;
    if (device) device->ReadConfigDword(int32_t(m_dwOffset + at), &value);
    return value;
}

CPCICapability* CreatePCICapability(uint32_t id) {
    switch (id) {
    case 0x01: return new CPCICaps_PM;
    case 0x02: return new CPCICaps_AGP;
    case 0x03: return new CPCICaps_VPD;
    case 0x04: return new CPCICaps_SlotID;
    case 0x05: return new CPCICaps_MSI;
    case 0x06: return new CPCICaps_CHSWP;
    case 0x07: return new CPCICaps_PCIX;
    case 0x08: return new CPCICaps_HT;
    case 0x09: return new CPCICaps_VD;
    case 0x0A: return new CPCICaps_DBG;
    case 0x0D: return new CPCICaps_SVID;
    case 0x0E: return new CPCICaps_AGP8X;
    case 0x0F: return new CPCICaps_SD;
    case 0x10: return new CPCICaps_PCIE;
    case 0x11: return new CPCICaps_MSIX;
    default: return new CPCICapability(id);
    }
}

CPCICapability* CreatePCIExtendedCapability(uint32_t id) {
    switch (id) {
    case 0x0001: return new CPCICaps_AdvError;
    case 0x0002: return new CPCICaps_VChannel;
    case 0x0003: return new CPCICaps_SerialNumber;
    case 0x0004: return new CPCICaps_PowerBudgeting;
    case 0x0005: return new CPCICaps_RootLinkDecl;
    case 0x000B: return new CPCICaps_VendorSpecific;
    default: return new CPCICapability(id);
    }
}
