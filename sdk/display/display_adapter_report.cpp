// The adapter's report block.
#include "sdk/display/display_adapter.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/display/pll.h"
#include "sdk/hw/pci_device.h"

namespace {

void DumpTechnology(float technology, CReportGenerator* report) {
    if (!(technology > 0)) return;
    if (technology < 0.1f)
        report->PrintField("\tTechnology", "\t\t", "%d nm", int(float(technology * 1000.0f)));
    else
        report->PrintField("\tTechnology", "\t\t", "%1.2f um", double(technology));
}

void DumpMemory(const CDisplayAdapter& a, CReportGenerator* report) {
    if (a.MemorySize != -1) {
        if (a.MemorySize > 1024 && a.MemorySize % 1024 == 0)
            report->PrintField("\tMemory size", "\t\t", "%d GB", a.MemorySize / 1024);
        else
            report->PrintField("\tMemory size", "\t\t", "%d MB", a.MemorySize);
    }
    if (a.MemoryType != 0xFFFFFFFF) {
        static constexpr struct {
            uint32_t code;
            const char* name;
        } kTypes[] = {{1, "DDR"}, {2, "DDR2"}, {3, "DDR3"}, {0x30, "GDDR3"}, {0x40, "GDDR4"}, {0x50, "GDDR5"}};
        const char* name = nullptr;
        for (const auto& type : kTypes)
            if (type.code == a.MemoryType) name = type.name;
        if (name)
            report->PrintField("\tMemory type", "\t\t", "%s", name);
        else
            report->PrintField("\tMemory type", "\t\t", "0x%X", a.MemoryType);
    }
    if (a.MemoryBusWidth != -1) report->PrintField("\tMemory bus width", "\t", "%d bits", a.MemoryBusWidth);
}

void DumpPCIFunction(CPCIDevice* pci, CReportGenerator* report) {
    report->PrintField("\tPCI device", "\t\t", "bus %d (0x%X), device %d (0x%X), function %d (0x%X)", pci->m_byBus,
                       pci->m_byBus, pci->m_byDevice, pci->m_byDevice, pci->m_byFunction, pci->m_byFunction);
    report->PrintField("\tVendor ID", "\t\t", "0x%04X (0x%04X)", pci->GetVendorID(),
                       unsigned(pci->GetSubVendorID() & 0xFFFF));
    report->PrintField("\tModel ID", "\t\t", "0x%04X (0x%04X)", pci->GetDeviceID(),
                       unsigned(pci->GetSubSystemID() & 0xFFFF));
}

} // namespace

void CDisplayAdapter::Dump(CReportGenerator* report) {
    char label[512];
    FormatString(label, sizeof label, "Display adapter %d", Index);
    report->PrintField(label, "\t", "%s", "");
    if (DisplayName[0]) report->PrintField("\tDisplay name", "\t\t", "%s", DisplayName);
    if (Name[0]) report->PrintField("\tName", "\t\t\t", "%s", Name);
    if (BoardVendor[0]) report->PrintField("\tBoard Manufacturer", "\t", "%s", BoardVendor);
    if (Revision != -1) report->PrintField("\tRevision", "\t\t", "%X", Revision);
    if (Codename[0]) report->PrintField("\tCodename", "\t\t", "%s", Codename);
    DumpTechnology(Technology, report);
    DumpMemory(*this, report);
    CTListIterator<CDevice> children(m_pChildren);
    for (CDevice* child = children.GetFirst(); child; child = children.GetNext())
        if (child->m_dwKind & DEVICE_PCI) DumpPCIFunction(static_cast<CPCIDevice*>(child), report);
    for (int32_t level = 0; level < PerfLevelCount && level < kMaxPerfLevels; ++level) {
        if (PerfLevelName[level][0])
            report->PrintField("\tPerformance Level", "\t", "%s", PerfLevelName[level]);
        else
            report->PrintField("\tPerformance Level", "\t", "%d", level);
        static constexpr const char* kLabels[] = {"\t\tCore clock", "\t\tShader clock", "\t\tMemory clock"};
        CPLL* const generators[] = {CorePLL[level], ShaderPLL[level], MemoryPLL[level]};
        for (int i = 0; i < 3; ++i)
            if (generators[i]) report->PrintField(kLabels[i], "\t", "%.1f MHz", double(generators[i]->Frequency));
    }
}
