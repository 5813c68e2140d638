// Standard capabilities with a little to decode: power management (its
// version), vendor dependent (its size) and subsystem vendor (the IDs a
// bridge announces for itself).
#pragma once

#include "sdk/hw/pci_capability.h"

class CPCICaps_PM : public CPCICapability {
public:
    CPCICaps_PM() : CPCICapability(0x01, 8, "Power Management") {}
    // Bits 2:0 of the word at +2: 1 -> 1.0, 2 -> 1.1, 3 -> 1.2; any other
    // value sets only the minor version.
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    uint8_t m_byVersionMajor = 0xFF;
    uint8_t m_byVersionMinor = 0xFF;
};

class CPCICaps_VD : public CPCICapability {
public:
    CPCICaps_VD() : CPCICapability(0x09, -1, "Vendor Dependant") {}
    // The size is the byte at +2.
    void Parse(CPCIDevice* device) override;
};

class CPCICaps_SVID : public CPCICapability {
public:
    CPCICaps_SVID() : CPCICapability(0x0D, 8, "Subsystem Vendor") {}
    // The dword at +4: vendor in bits 15:0, subsystem in 31:16.
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    uint16_t m_wSubSystemID = 0xFFFF;
    uint16_t m_wSubVendorID = 0xFFFF;
};
