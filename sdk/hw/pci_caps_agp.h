// The AGP capability (ID 2): the rates, queue depths and features a
// graphics bridge supports and the ones its command register enabled.
// Other parts of the program read the enabled flag, the version, the
// rates and the sideband feature for the graphics-interface lines.
#pragma once

#include "sdk/hw/pci_capability.h"

// A feature of the AGP interface: supported (status) and enabled (command).
class CPCICapsFeature {
public:
    virtual ~CPCICapsFeature() = default;

    uint32_t m_bSupported = 0;
    uint32_t m_bEnabled = 0;
};

class CPCICaps_AGP : public CPCICapability {
public:
    CPCICaps_AGP() : CPCICapability(0x02, 12, "AGP") {}
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    CPCICapsFeature m_FastWrite;
    CPCICapsFeature m_4GBAddressing;
    CPCICapsFeature m_SidebandAddressing;
    CPCICapsFeature m_AGP3Mode;
    int32_t m_iMaxRate = -1;      // 1, 2, 4 or 8 (times)
    int32_t m_iCurrentRate = -1;  // the same values
    int32_t m_iMaxRequestQueue = -1;
    int32_t m_iRequestQueue = -1;
    uint32_t m_bAGPEnabled = 0;
    uint8_t m_byVersion = 0xFF;  // bits 7:4 major, 3:0 minor
};
