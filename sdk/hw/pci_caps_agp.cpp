#include "sdk/hw/pci_caps_agp.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"

namespace {

// Status and command register bits.
constexpr uint32_t kRateMask = 0x7;
constexpr uint32_t kMode3 = 1u << 3;  // status: AGP 3.0 signalling
constexpr uint32_t kFastWrite = 1u << 4;
constexpr uint32_t k4GB = 1u << 5;
constexpr uint32_t kAGPEnable = 1u << 8;  // command
constexpr uint32_t kSideband = 1u << 9;

bool Bit(uint32_t value, uint32_t mask) { return (value & mask) != 0; }

// The highest rate the status's rate bits offer; -1 for none.
int32_t MaxRate(uint32_t status, bool mode3) {
    int32_t rate = -1;
    if (mode3) {
        if (status & 1) rate = 4;
        if (status & 2) rate = 8;
    } else {
        if (status & 1) rate = 1;
        if (status & 2) rate = 2;
        if (status & 4) rate = 4;
    }
    return rate;
}

// The rate the command's rate field selects; -1 for a code that selects none.
int32_t CurrentRate(uint32_t command, bool mode3) {
    switch (command & kRateMask) {
    case 1: return mode3 ? 4 : 1;
    case 2: return mode3 ? 8 : 2;
    case 4: return mode3 ? -1 : 4;
    default: return -1;
    }
}

} // namespace

void CPCICaps_AGP::Parse(CPCIDevice* device) {
    if (!HasOffset()) return;
    m_byVersion = Byte(device, 2);
    const uint32_t status = Byte(device, 4) | uint32_t(Byte(device, 5)) << 8 | uint32_t(Byte(device, 7)) << 24;
    const uint32_t command = Byte(device, 8) | uint32_t(Byte(device, 9)) << 8 | uint32_t(Byte(device, 0x0B)) << 24;
    const bool mode3 = Bit(status, kMode3);
    m_iMaxRate = MaxRate(status, mode3);
    m_iCurrentRate = CurrentRate(command, mode3);
    m_iMaxRequestQueue = int32_t(status >> 24) + 1;
    m_iRequestQueue = int32_t(command >> 24) + 1;
    m_FastWrite.m_bSupported = Bit(status, kFastWrite);
    m_FastWrite.m_bEnabled = Bit(command, kFastWrite);
    m_4GBAddressing.m_bSupported = Bit(status, k4GB);
    m_4GBAddressing.m_bEnabled = Bit(command, k4GB);
    m_SidebandAddressing.m_bSupported = Bit(status, kSideband);
    m_SidebandAddressing.m_bEnabled = Bit(command, kSideband);
    if ((m_byVersion >> 4) == 3) m_AGP3Mode.m_bSupported = mode3;
    if (mode3) m_AGP3Mode.m_bEnabled = Bit(command, kAGPEnable);
    m_bAGPEnabled = Bit(command, kAGPEnable);
}

void CPCICaps_AGP::Dump(CReportGenerator* report) {
    if (!report) return;
    CPCICapability::Dump(report);
    report->PrintField("\tCaps version", "\t\t", "%d.%d", m_byVersion >> 4, m_byVersion & 0xF);
    report->PrintField("\tCaps status", "\t\t", "%s", m_bAGPEnabled ? "enabled" : "disabled");
    if (IsValid(m_iCurrentRate))
        report->PrintField("\tTransfer rate", "\t\t", "%dx (max %dx)", m_iCurrentRate, m_iMaxRate);
    else
        report->PrintField("\tMax transfer", "\t\t", "%dx", m_iMaxRate);
    report->PrintField("\tQueue length", "\t\t", "%d (max %d)", m_iRequestQueue, m_iMaxRequestQueue);
}
