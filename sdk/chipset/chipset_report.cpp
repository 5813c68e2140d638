// The chipset report section (bridges, graphics bus, mainboard cache and
// the memory record) and the dump of the main host bridge's
// memory-controller window. The pads align the values in the text report.
#include <vector>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_capability.h"
#include "sdk/hw/pci_caps_agp.h"
#include "sdk/hw/pci_caps_express.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint32_t kMaxDumpedWindow = 4096;
constexpr uint32_t kAGPCapability = 0x02;
constexpr uint32_t kPCIExpressCapability = 0x10;
constexpr size_t kRowSize = 512;

const char* ChannelText(int channels) {
    switch (channels) {
    case 1: return "Single";
    case 2: return "Dual";
    case 3: return "Triple";
    case 4: return "Quad";
    default: return "Undefined";
    }
}

// The mode suffix of a dual-channel controller.
const char* ChannelModeText(int mode) {
    const bool amd = ((mode >> 24) & 0xFF) == (MEMORY_CHANNELS_AMD >> 24);
    switch (mode & 0xFFFFFF) {
    case 0: return amd ? ", (Unganged)" : ", (Asymmetric)";
    case 1: return amd ? ", (Ganged)" : ", (Symmetric)";
    default: return "";
    }
}

void WriteBridgeLine(CReportGenerator* report, const char* label, const char* vendor, const char* model,
                     const char* revision) {
    if (vendor[0]) report->PrintField(label, "\t\t\t", "%s %s rev. %s", vendor, model, revision);
}

void WriteGraphicsBus(CReportGenerator* report) {
    CPCICapability* capability = CChipsetInterface::FindGraphicsCapability(false);
    if (!capability) return;
    if (capability->IsID(kAGPCapability)) {
        auto* agp = static_cast<CPCICaps_AGP*>(capability);
        if (!agp->m_bAGPEnabled) return;
        report->PrintField("Graphic Interface", "\t\t", "%s", "AGP");
        report->PrintField("AGP Revision", "\t\t\t", "%d.%d", agp->m_byVersion >> 4, agp->m_byVersion & 0x0F);
        report->PrintField("AGP Transfer Rate", "\t\t", "%dx", agp->m_iCurrentRate);
        report->PrintField("AGP SBA", "\t\t\t\t", "%s, %s",
                           agp->m_SidebandAddressing.m_bSupported ? "supported" : "not supported",
                           agp->m_SidebandAddressing.m_bEnabled ? "enabled" : "not enabled");
        return;
    }
    auto* express = static_cast<CPCICaps_PCIE*>(capability);
    report->PrintField("Graphic Interface", "\t\t", "%s", "PCI-Express");
    report->PrintField("PCI-E Link Width", "\t\t", "x%d", express->m_iLinkWidth);
    report->PrintField("PCI-E Max Link Width", "\t\t", "x%d", express->m_iMaxLinkWidth);
}

// A known integer timing as "%d" (or `format`).
void WriteKnown(CReportGenerator* report, const char* label, const char* pad, int value, const char* format = "%d") {
    if (IsValid(value)) report->PrintField(label, pad, format, value);
}

void WriteMemoryRecord(CReportGenerator* report, const CMemoryInfo& m) {
    report->PrintField("Memory Type", "\t\t\t", "%s", MemoryTypeText(m.m_iMemoryType));
    if (m.m_iSize > 1024 && m.m_iSize % 1024 == 0) report->PrintField("Memory Size", "\t\t\t", "%d GBytes", m.m_iSize / 1024);
    else if (m.m_iSize > 0) report->PrintField("Memory Size", "\t\t\t", "%d MBytes", m.m_iSize);
    if (IsValid(m.m_iChannels)) {
        const char* mode = m.m_iChannels == 2 && IsValid(m.m_iChannelMode) ? ChannelModeText(m.m_iChannelMode) : "";
        report->PrintField("Channels", "\t\t\t", "%s%s", ChannelText(m.m_iChannels), mode);
    }
    if (m.m_fDRAMFrequency > 0.0f)
        report->PrintField("Memory Frequency", "\t\t", "%.1f MHz (%s)", m.m_fDRAMFrequency, m.m_szRatio);
    if (IsValid(m.m_iInterleave)) {
        if (m.m_iInterleave == 0) report->PrintField("DRAM Interleave", "\t\t\t", "%s", "none");
        else report->PrintField("DRAM Interleave", "\t\t\t", "%d-way", m.m_iInterleave);
    }
    if (m.m_fCASLatency > 0.0f) report->PrintField("CAS# latency (CL)", "\t\t", "%.1f", m.m_fCASLatency);
    WriteKnown(report, "RAS# to CAS# delay (tRCD)", "\t", m.m_iRASToCASDelay);
    WriteKnown(report, "RAS# Precharge (tRP)", "\t\t", m.m_iRASPrecharge);
    WriteKnown(report, "Cycle Time (tRAS)", "\t\t", m.m_iCycleTime);
    WriteKnown(report, "Bank Cycle Time (tRC)", "\t\t", m.m_iBankCycleTime);
    WriteKnown(report, "Row Refresh Cycle Time (tRFC)", "\t", m.m_iRowRefreshCycleTime);
    WriteKnown(report, "DRAM Idle Timer", "\t\t\t", m.m_iDRAMIdleTimer);
    WriteKnown(report, "Command Rate (CR)", "\t\t", m.m_iCommandRate, "%dT");
    WriteKnown(report, "Total CAS# (tRDRAM)", "\t\t", m.m_iTotalCAS);
    WriteKnown(report, "Row To Column delay (tRCD)", "\t", m.m_iRowToColumnDelay);
    WriteKnown(report, "tCCD", "\t\t\t\t", m.m_iTCCD);
    WriteKnown(report, "tCCD_L", "\t\t\t\t", m.m_iTCCD_L);
    WriteKnown(report, "tCCD_WR", "\t\t\t\t", m.m_iTCCD_WR);
    WriteKnown(report, "tCCD_WR_L", "\t\t\t", m.m_iTCCD_WR_L);
}

} // namespace

CPCICapability* CChipsetInterface::FindGraphicsCapability(bool agpOnly) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return nullptr;
    CTList<CDevice> displays;
    pci->FindDevicesByClass(0x03, 0x00, &displays);
    CTListIterator<CDevice> it(&displays);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        CTListIterator<CPCICapability> caps(static_cast<CPCIDevice*>(device)->m_pCapabilities);
        for (CPCICapability* capability = caps.GetFirst(); capability; capability = caps.GetNext())
            if (capability->IsID(kAGPCapability) || (!agpOnly && capability->IsID(kPCIExpressCapability)))
                return capability;
    }
    return nullptr;
}

void CChipsetInterface::WriteReport(CReportGenerator* report) {
    if (!report) return;
    if (m_pNorthBridge)
        WriteBridgeLine(report, "Northbridge", m_pNorthBridge->m_szVendor, m_pNorthBridge->m_szModel,
                        m_pNorthBridge->m_szRevision);
    if (m_pSouthBridge)
        WriteBridgeLine(report, "Southbridge", m_pSouthBridge->m_szVendor, m_pSouthBridge->m_szModel,
                        m_pSouthBridge->m_szRevision);
    WriteGraphicsBus(report);
    if (m_pBoardCache && IsValid(m_pBoardCache->m_iSize))
        report->PrintField("On Board Cache", "\t\t\t", "%d KBytes", m_pBoardCache->m_iSize);
    if (!m_pMemoryInfo) return;
    WriteMemoryRecord(report, *m_pMemoryInfo);
    if (m_pNorthBridge && IsValid(m_pNorthBridge->m_iPerformanceMode))
        report->PrintField("Performance Mode", "\t\t", "%s", m_pNorthBridge->m_iPerformanceMode ? "enabled" : "disabled");
    const float busClock = GetBusClock();
    if (IsValidFloat(m_pMemoryInfo->m_fUncoreRatio) && busClock > 0.0f)
        report->PrintField("Uncore Frequency", "\t\t", "%.1f MHz", m_pMemoryInfo->m_fUncoreRatio * busClock);
}

// A window that could not be read is shown as such, never as bytes.
void CChipsetInterface::DumpMCHBAR(CReportGenerator* report) {
    if (!report || !m_pNorthBridge || !m_pNorthBridge->m_pMCHBAR) return;
    CIOSpace* window = m_pNorthBridge->m_pMCHBAR;
    const uint32_t size = window->GetSize();
    report->PrintField("MCHBAR I/O Base address", "\t\t", "0x%X%X", window->GetBaseHigh(), window->GetBaseLow());
    report->PrintField("MCHBAR I/O Size", "\t\t\t", "%d", static_cast<int>(size));
    if (size == 0 || size > kMaxDumpedWindow) {
        report->PrintField("MCHBAR registers", "\t", "%s", "");
        return;
    }
    std::vector<uint8_t> bytes(size, 0xFF);
    CKMDriver* driver = GetSDK()->m_pDriver;
    if (!driver || !driver->ReadPhysicalMemory(window->GetBaseHigh(), window->GetBaseLow(), size, bytes.data())) {
        report->PrintField("MCHBAR registers", "\t", "%s", "n.a.");
        return;
    }
    report->PrintField("MCHBAR registers", "\t", "%s", "");
    char row[kRowSize] = {};
    for (int column = 0; column < 16; ++column) AppendFormat(row, sizeof row, "%02X ", column);
    report->PrintField("\t", "\t", "%s", row);
    for (uint32_t offset = 0; offset + 16 <= size; offset += 16) {
        row[0] = '\0';
        for (uint32_t i = 0; i < 16; ++i) AppendFormat(row, sizeof row, "%02X ", bytes[offset + i]);
        char label[32];
        FormatString(label, sizeof label, "\t%02X", offset);
        report->PrintField(label, "\t", "%s", row);
    }
}
