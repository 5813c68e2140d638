// The HyperTransport capability (ID 8) of AMD and NVIDIA chipsets: its
// interface type and, for the two link interfaces (slave/primary and
// host/secondary), the revision, link widths and frequencies.
#pragma once

#include "sdk/hw/pci_capability.h"

class CPCICaps_HT : public CPCICapability {
public:
    static constexpr int32_t kSlavePrimary = 0x00;
    static constexpr int32_t kHostSecondary = 0x01;

    CPCICaps_HT() : CPCICapability(0x08, -1, "HyperTransport") {}
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    // 0 slave/primary, 1 host/secondary, else the five-bit capability type.
    int32_t m_iInterfaceType = -1;
    int32_t m_iRevisionMajor = -1;
    int32_t m_iRevisionMinor = -1;
    int32_t m_iDeviceNumber = -1;
    int32_t m_iLink0Frequency = -1;  // MHz
    int32_t m_iLink0WidthIn = -1;    // bits
    int32_t m_iLink0WidthOut = -1;
    int32_t m_iLink1Frequency = -1;
    int32_t m_iLink1WidthIn = -1;
    int32_t m_iLink1WidthOut = -1;

private:
    void DumpLink(CReportGenerator* report, int link, int32_t widthIn, int32_t widthOut, int32_t frequency);
};
