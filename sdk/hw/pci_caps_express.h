// PCI Express capabilities: the standard PCI Express capability (ID 0x10:
// device/port type, port number, link widths, slot) and two extended ones
// with something to decode, the root complex link declaration (0x0005)
// and the vendor-specific capability (0x000B). Other parts of the program
// read the maximum and negotiated link widths.
#pragma once

#include "sdk/hw/pci_capability.h"

class CPCICaps_PCIE : public CPCICapability {
public:
    static constexpr uint8_t kRootPort = 4;
    static constexpr uint8_t kDownstreamPort = 6;

    CPCICaps_PCIE() : CPCICapability(0x10, 28, "PCI Express") {}
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    int32_t m_iSlotImplemented = -1;  // root and downstream ports only
    int32_t m_iMaxLinkWidth = -1;
    int32_t m_iLinkWidth = -1;  // negotiated
    int32_t m_iPortNumber = -1;
    int32_t m_iPhysicalSlot = -1;
    uint32_t m_bPresenceDetect = 0;
    uint8_t m_byVersion = 0xFF;
    uint8_t m_byDeviceType = 0xFF;
};

class CPCICaps_RootLinkDecl : public CPCICapability {
public:
    CPCICaps_RootLinkDecl() : CPCICapability(0x0005, -1, "Root Complex Link Declaration") {}
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    uint32_t m_dwLinkEntries = 0xFFFFFFFF;
    uint32_t m_dwPortNumber = 0xFFFFFFFF;
};

class CPCICaps_VendorSpecific : public CPCICapability {
public:
    CPCICaps_VendorSpecific() : CPCICapability(0x000B, -1, "Vendor Specific") {}
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    uint32_t m_dwVSECID = 0xFFFFFFFF;
};
