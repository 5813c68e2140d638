#include "sdk/hw/pci_interface.h"

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_device_walk.h"
#include "sdk/hw/register_space_pci.h"

namespace {

constexpr uint32_t kFirstExpressRegister = 256;
constexpr uint32_t kLastRegister = 0xFFF;

void PrintNoConfigSpace(CReportGenerator* report) { report->PrintField("PCI I/O space not found", "", "%s", ""); }

} // namespace

CPCIInterface::CPCIInterface() : CInterface(INTERFACE_PCI), m_pRetiredDevices(new CTList<CDevice>) {}

CPCIInterface::~CPCIInterface() {
    m_pRetiredDevices->DeleteAll();
    delete m_pRetiredDevices;
}

int CPCIInterface::Init() {
    m_iMechanism = DetectMechanism();
    CTList<CRegisterSpace>* spaces = GetSDK()->m_pRegisterSpaces;
    switch (m_iMechanism) {
    case 1:
        m_pConfigSpace = new CPCIRegisterSpace(nullptr);
        m_pPortConfigSpace = new CPCIRegisterSpace_2(nullptr);
        spaces->AddTail(m_pConfigSpace);
        spaces->AddTail(m_pPortConfigSpace);
        return 1;
    case 2:
        m_pConfigSpace = new CPCIRegisterSpace_3(nullptr);
        spaces->AddTail(m_pConfigSpace);
        return 1;
    default: return 0;
    }
}

int32_t CPCIInterface::DetectMechanism() {
    uint32_t id = 0xFFFFFFFF;
    CPCIRegisterSpace(nullptr).ReadConfigDword(0, 0, 0, 0, &id);
    if (id != 0xFFFFFFFF) {
        m_iDevicesPerBus = kMechanism1Devices;
        m_iFunctionsPerDevice = kFunctions;
        m_iMaxBusCount = m_iBusCount = kMechanism1Buses;
        return 1;
    }
    if (CPCIRegisterSpace_3(nullptr).ReadConfigDword(0, 0, 0, 0, &id) && id == kMechanism2HostBridge) {
        m_iDevicesPerBus = kMechanism2Devices;
        m_iFunctionsPerDevice = kFunctions;
        m_iMaxBusCount = m_iBusCount = kMechanism2Buses;
        return 2;
    }
    return 0;
}

CRegisterSpace* CPCIInterface::GetConfigSpace() {
    switch (m_iAccessMode) {
    case PCI_ACCESS_DRIVER: return m_pConfigSpace;
    case PCI_ACCESS_PORTS: return m_pPortConfigSpace;
    default: return nullptr;
    }
}

CRegisterSpace* CPCIInterface::GetExpressSpace() {
    CTListIterator<CRegisterSpace> it(GetSDK()->m_pRegisterSpaces);
    for (CRegisterSpace* space = it.GetFirst(); space; space = it.GetNext())
        if (space->GetClass() == REGSPACE_PCI_EXPRESS) return space;
    return nullptr;
}

void CPCIInterface::AttachExpressSpace() {
    CRegisterSpace* express = GetExpressSpace();
    if (!express) return;
    ForEachPCIDevice([&](CPCIDevice* device) {
        if (!(device->m_dwCapabilityMask & PCICAPS_PCIE)) return;
        device->m_pRegisterSpace = express;
        device->ScanExtendedCapabilities();
    });
}

void CPCIInterface::RefreshDevices() {
    ForEachPCIDevice([](CPCIDevice* device) { device->ReadConfigSpace(); });
}

CPCIDevice* CPCIInterface::FindDevice(uint8_t bus, uint8_t device, uint8_t function) {
    CPCIDevice* found = nullptr;
    ForEachPCIDevice([&](CPCIDevice* candidate) {
        if (!found && candidate->m_byBus == bus && candidate->m_byDevice == device &&
            candidate->m_byFunction == function)
            found = candidate;
    });
    return found;
}

int32_t CPCIInterface::FindDevicesByID(uint16_t vendor, uint16_t device, CTList<CDevice>* list) {
    if (list) list->RemoveAll();
    int32_t count = 0;
    ForEachPCIDevice([&](CPCIDevice* candidate) {
        if (candidate->GetVendorID() != vendor || candidate->GetDeviceID() != device) return;
        ++count;
        if (list) list->AddTail(candidate);
    });
    return count;
}

int32_t CPCIInterface::FindDevicesByClass(uint8_t baseClass, int32_t subClass, CTList<CDevice>* list) {
    if (list) list->RemoveAll();
    int32_t count = 0;
    ForEachPCIDevice([&](CPCIDevice* candidate) {
        const CPCICommonHeader& header = *candidate->m_pCommonHeader;
        if (header.m_byBaseClass != baseClass) return;
        if (subClass != -1 && header.m_bySubClass != uint8_t(subClass)) return;
        ++count;
        if (list) list->AddTail(candidate);
    });
    return count;
}

uint32_t CPCIInterface::ReadConfig(int32_t bus, int32_t device, int32_t function, int32_t reg, uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    if (uint32_t(reg) > kLastRegister) return 0;
    if (uint32_t(reg) >= kFirstExpressRegister) {
        auto* express = static_cast<CPCIExpressRegisterSpace*>(GetExpressSpace());
        return express ? express->ReadConfigDword(uint8_t(bus), uint32_t(device), uint32_t(function), uint32_t(reg), value)
                       : 0;
    }
    auto* space = static_cast<CPCIRegisterSpace*>(GetConfigSpace());
    return space ? space->ReadConfigDword(uint32_t(bus), uint32_t(device), uint32_t(function), uint32_t(reg), value) : 0;
}

uint32_t CPCIInterface::WriteConfig(int32_t bus, int32_t device, int32_t function, int32_t reg, uint32_t value) {
    if (uint32_t(reg) > kLastRegister) return 0;
    if (uint32_t(reg) >= kFirstExpressRegister) {
        auto* express = static_cast<CPCIExpressRegisterSpace*>(GetExpressSpace());
        return express ? express->WriteConfigDword(uint8_t(bus), uint32_t(device), uint32_t(function), uint32_t(reg), value)
                       : 0;
    }
    auto* space = static_cast<CPCIRegisterSpace*>(GetConfigSpace());
    return space ? space->WriteConfigDword(uint32_t(bus), uint32_t(device), uint32_t(function), uint32_t(reg), value)
                 : 0;
}

void CPCIInterface::Dump(CReportGenerator* report) {
    if (!report) return;
    if (!GetConfigSpace()) return PrintNoConfigSpace(report);
    ForEachPCIDevice([&](CPCIDevice* device) {
        device->Dump(report);
        device->DumpRegisters(report);
        report->PrintBlankLine();
    });
}

void CPCIInterface::Dump2(CReportGenerator* report) {
    if (!report) return;
    if (!GetConfigSpace()) return PrintNoConfigSpace(report);
    ForEachPCIDevice([&](CPCIDevice* device) {
        device->DumpBrief(report);
        report->PrintBlankLine();
    });
}
