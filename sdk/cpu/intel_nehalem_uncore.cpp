// The uncore of Nehalem and Westmere processors: the highest PCI bus number
// and the PCI Express window that MSR 0x300 reports, the uncore PCI
// functions on the package's bus (the QPI agents tell how many links there
// are), the QPI link multiplier, and the description's register section.
#include <algorithm>
#include <bit>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/express_window.h"
#include "sdk/cpu/intel_nehalem.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_pci.h"

namespace {

constexpr uint32_t kBusNumberMsr = 0x300;
constexpr uint16_t kIntel = 0x8086;
constexpr uint32_t kWindowBaseMask = 0xFFF00000;  // bits 19:0 cleared

// The uncore functions collected, in search order.
constexpr uint16_t kNodeDevices[] = {0x2C10, 0x2C1C, 0x2C91, 0x2C9C, 0x2D11, 0x2D51, 0x2D90, 0x2D94, 0x2D9C};
// The Westmere QPI agents: one, or two, links.
constexpr uint16_t kOneQPILink = 0x2D90;
constexpr uint16_t kTwoQPILinks = 0x2D94;
// The QPI physical layers whose register 0x50 holds the link multiplier;
// the first ID present counts.
constexpr uint16_t kLinkMultiplierDevices[] = {0x2C11, 0x2C91, 0x2D11, 0x2D51, 0x2D91};
constexpr int32_t kLinkMultiplierRegister = 0x50;

// The highest bus number by MSR 0x300 bits 3:1; -1 for other encodings.
int32_t MaxBusNumber(uint32_t encoding) {
    switch (encoding) {
    case 0: return 255;
    case 6: return 63;
    case 7: return 127;
    default: return -1;
    }
}

} // namespace

void Intel_Nehalem_Infos::ReadBusNumber(CCPUThread* thread) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    const MSR_Register* reg = thread->GetMSR(kBusNumberMsr);
    if (!pci || !reg || !(reg->m_dwLow & 1)) return;
    if (const int32_t bus = MaxBusNumber((reg->m_dwLow >> 1) & 7); bus != -1) m_iMaxBusNumber = bus;
    InstallExpressWindow(pci, reg->m_dwLow & kWindowBaseMask);
}

void Intel_Nehalem_Infos::FindNodeDevices(CCPUThread* thread) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    if (!m_pNodeDevices) m_pNodeDevices = new CTList<CDevice>;
    if (m_pNodeDevices->GetCount() > 0 || m_iMaxBusNumber < 0) return;
    // The package's number: the APIC id above the bits its logical
    // processors take.
    const auto logical = static_cast<uint32_t>(std::max(1, thread->m_iLogicalPerPackage));
    const int shift = std::countr_zero(std::bit_ceil(logical));
    const int32_t bus = m_iMaxBusNumber - (std::max(0, thread->m_iApicId) >> shift);
    if (bus < 0) return;
    CTList<CDevice> found;
    for (uint16_t id : kNodeDevices) {
        const int32_t count = pci->FindDevicesByID(kIntel, id, &found);
        CTListIterator<CDevice> it(&found);
        for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
            if (static_cast<CPCIDevice*>(device)->m_byBus == bus) m_pNodeDevices->AddTail(device);
        if (count > 0 && id == kOneQPILink) m_iQPILinks = 1;
        if (count > 0 && id == kTwoQPILinks) m_iQPILinks = 2;
    }
    found.RemoveAll();
}

void Intel_Nehalem_Infos::ReadLinkMultiplier(CCPUThread* thread) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    CTList<CDevice> found;
    for (uint16_t id : kLinkMultiplierDevices)
        if (pci->FindDevicesByID(kIntel, id, &found) > 0) break;
    CTListIterator<CDevice> it(&found);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        uint32_t value = 0;
        if (static_cast<CPCIDevice*>(device)->ReadConfigDword(kLinkMultiplierRegister, &value))
            thread->m_iLinkMultiplier = static_cast<int32_t>(value & 0x7F);
    }
    found.RemoveAll();
}

void Intel_Nehalem_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    char turbo[32];
    FormatString(turbo, sizeof turbo, "%s", m_Turbo.supported ? "supported" : "not supported");
    if (m_Turbo.supported) AppendFormat(turbo, sizeof turbo, ", %s", m_Turbo.enabled ? "enabled" : "disabled");
    report->PrintField("\tTurbo Mode", "\t\t", "%s", turbo);
    if (m_iMaxTurboFrequency != -1) report->PrintField("\tMax turbo frequency", "\t", "%d MHz", m_iMaxTurboFrequency);
    if (m_iMaxNonTurboRatio != -1) report->PrintField("\tMax non-turbo ratio", "\t", "%dx", m_iMaxNonTurboRatio);
    if (m_iMaxTurboRatio != -1) report->PrintField("\tMax turbo ratio", "\t\t", "%dx", m_iMaxTurboRatio);
    if (m_iMaxEfficiencyRatio != -1) report->PrintField("\tMax efficiency ratio", "\t", "%dx", m_iMaxEfficiencyRatio);
    if (m_iTDCLimit != -1) report->PrintField("\tTDC Limit", "\t\t", "%d Amps", m_iTDCLimit);
    if (m_iMaxBusNumber != -1) report->PrintFieldFormatted("\tMax bus number", "\t\t", "%d", m_iMaxBusNumber);
    if (m_iQPILinks != -1) report->PrintField("\t# of QPI Links", "\t\t", "%d", m_iQPILinks);
    if (!m_pNodeDevices) return;
    CTListIterator<CDevice> it(m_pNodeDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        const auto* pciDevice = static_cast<CPCIDevice*>(device);
        report->PrintFieldFormatted("\tAttached device", "\t\t", "PCI device at bus %d, device %d, function %d",
                                    pciDevice->m_byBus, pciDevice->m_byDevice, pciDevice->m_byFunction);
    }
}
