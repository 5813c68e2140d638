#include "sdk/hw/pci_header.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint32_t kPortBARMask = 0xFFFFFFFC;
constexpr uint32_t kMemoryBARMask = 0xFFFFFFF0;
constexpr uint32_t kBARSpaceSize = 0xFFFFFFFF;  // unknown: nothing sizes the BARs

bool IsPortBAR(uint32_t bar) { return bar & 1; }

} // namespace

void CPCIHeader::AddBARSpace(uint32_t bar) {
    if ((bar & kPortBARMask) == 0) return;
    BRENIKSDK* sdk = GetSDK();
    const uint32_t type = IsPortBAR(bar) ? IOSPACE_PORT : IOSPACE_MEMORY;
    const uint32_t base = bar & (IsPortBAR(bar) ? kPortBARMask : kMemoryBARMask);
    if (sdk->FindIOSpace(0, base, type)) return;
    if (IsPortBAR(bar)) sdk->m_pIOSpaces->AddTail(new CPortIOSpace(base, kBARSpaceSize));
    else sdk->m_pIOSpaces->AddTail(new CMemoryIOSpace(0, base, kBARSpaceSize));
}

void CPCIHeader::DumpBAR(CReportGenerator* report, int index, uint32_t bar) {
    if ((bar & kPortBARMask) == 0) return;
    char label[64];
    FormatString(label, sizeof label, IsPortBAR(bar) ? "\tAddress %d (port)" : "\tAddress %d (memory)", index);
    report->PrintField(label, "\t", "0x%08X", bar & (IsPortBAR(bar) ? kPortBARMask : kMemoryBARMask));
}

// ---- Layout 0: an ordinary function ----

void CPCIHeaderType0::Parse(CPCIDevice* device) {
    const CPCIConfigDwords config(device, 0x10, 0x3C);
    for (int i = 0; i < kBARCount; ++i) {
        m_dwBAR[i] = config.Dword(0x10 + 4 * i);
        AddBARSpace(m_dwBAR[i]);
    }
    m_dwCardBusCIS = config.Dword(0x28);
    m_wSubVendorID = config.Word(0x2C);
    m_wSubSystemID = config.Word(0x2E);
    m_dwExpansionROM = config.Dword(0x30);
    m_byCapabilitiesPointer = config.Byte(0x34);
    for (uint32_t i = 0; i < 7; ++i) m_byReserved[i] = config.Byte(0x35 + i);
    m_byInterruptLine = config.Byte(0x3C);
    m_byInterruptPin = config.Byte(0x3D);
    m_byMinGrant = config.Byte(0x3E);
    m_byMaxLatency = config.Byte(0x3F);
}

void CPCIHeaderType0::Dump(CReportGenerator* report) {
    if (!report) return;
    for (int i = 0; i < kBARCount; ++i) DumpBAR(report, i, m_dwBAR[i]);
    report->PrintField("\tSubvendor ID", "\t\t", "0x%04X", m_wSubVendorID);
    report->PrintField("\tSubsystem ID", "\t\t", "0x%04X", m_wSubSystemID);
    report->PrintField("\tInt. Line", "\t\t", "0x%02X", m_byInterruptLine);
    report->PrintField("\tInt. Pin", "\t\t", "0x%02X", m_byInterruptPin);
}

// ---- Layout 1: a PCI-to-PCI bridge ----

void CPCIHeaderType1::Parse(CPCIDevice* device) {
    const CPCIConfigDwords config(device, 0x10, 0x3C);
    for (int i = 0; i < kBARCount; ++i) {
        m_dwBAR[i] = config.Dword(0x10 + 4 * i);
        AddBARSpace(m_dwBAR[i]);
    }
    m_byPrimaryBus = config.Byte(0x18);
    m_bySecondaryBus = config.Byte(0x19);
    m_bySubordinateBus = config.Byte(0x1A);
    m_bySecondaryLatency = config.Byte(0x1B);
    m_byIOBase = config.Byte(0x1C);
    m_byIOLimit = config.Byte(0x1D);
    m_wSecondaryStatus = config.Word(0x1E);
    m_wMemoryBase = config.Word(0x20);
    m_wMemoryLimit = config.Word(0x22);
    m_wPrefetchableBase = config.Word(0x24);
    m_wPrefetchableLimit = config.Word(0x26);
    m_dwPrefetchableBaseUpper = config.Dword(0x28);
    m_dwPrefetchableLimitUpper = config.Dword(0x2C);
    m_wIOBaseUpper = config.Word(0x30);
    m_wIOLimitUpper = config.Word(0x32);
    m_byCapabilitiesPointer = config.Byte(0x34);
    for (uint32_t i = 0; i < 3; ++i) m_byReserved[i] = config.Byte(0x35 + i);
    m_dwExpansionROM = config.Dword(0x38);
    m_byInterruptLine = config.Byte(0x3C);
    m_byInterruptPin = config.Byte(0x3D);
    m_wBridgeControl = config.Word(0x3E);
}

void CPCIHeaderType1::Dump(CReportGenerator* report) {
    if (!report) return;
    for (int i = 0; i < kBARCount; ++i) DumpBAR(report, i, m_dwBAR[i]);
    report->PrintField("\tPrimary bus", "\t\t", "0x%02X", m_byPrimaryBus);
    report->PrintField("\tSecondary bus", "\t\t", "0x%02X", m_bySecondaryBus);
    report->PrintField("\tInt. Line", "\t\t", "0x%02X", m_byInterruptLine);
    report->PrintField("\tInt. Pin", "\t\t", "0x%02X", m_byInterruptPin);
}

// ---- Layout 2: a CardBus bridge ----

void CPCIHeaderType2::Parse(CPCIDevice* device) {
    const CPCIConfigDwords config(device, 0x10, 0x44);
    m_dwSocketBase = config.Dword(0x10);
    AddBARSpace(m_dwSocketBase);
    m_byCapabilitiesPointer = config.Byte(0x14);
    m_byReserved = config.Byte(0x15);
    m_wSecondaryStatus = config.Word(0x16);
    m_byPCIBus = config.Byte(0x18);
    m_byCardBusBus = config.Byte(0x19);
    m_bySubordinateBus = config.Byte(0x1A);
    m_byCardBusLatency = config.Byte(0x1B);
    m_dwMemoryBase0 = config.Dword(0x1C);
    m_dwMemoryLimit0 = config.Dword(0x20);
    m_dwMemoryBase1 = config.Dword(0x24);
    m_dwMemoryLimit1 = config.Dword(0x28);
    uint16_t* const ioHalves[] = {m_wIOBase0, m_wIOLimit0, m_wIOBase1, m_wIOLimit1};
    for (uint32_t i = 0; i < 4; ++i) {
        ioHalves[i][0] = config.Word(0x2C + 4 * i);
        ioHalves[i][1] = config.Word(0x2E + 4 * i);
    }
    m_byInterruptLine = config.Byte(0x3C);
    m_byInterruptPin = config.Byte(0x3D);
    m_wBridgeControl = config.Word(0x3E);
    m_wSubVendorID = config.Word(0x40);
    m_wSubSystemID = config.Word(0x42);
    m_dwLegacyBase = config.Dword(0x44);
}
