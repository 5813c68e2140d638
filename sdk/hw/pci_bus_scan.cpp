// The scan of the PCI buses: the main scan through the access mode's
// configuration space, the hidden-device passes through the ports, and the
// PCI Express window found after the first scan.
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_device_walk.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_pci.h"

#include <unordered_map>

namespace {

constexpr uint16_t kNoVendor = 0xFFFF;  // what an empty slot, or a failed read, gives

bool IsPresent(CRegisterSpace* space, uint8_t bus, uint8_t device, uint8_t function) {
    uint32_t id = 0xFFFFFFFF;
    static_cast<CPCIRegisterSpace*>(space)->ReadConfigDword(bus, device, function, 0, &id);
    return uint16_t(id) != kNoVendor;
}

// Where functions hide from the driver's view: devices 24-27 of bus 0 and
// every device of buses 0x3F, 0x7F and 0xFF (processor uncore buses).
constexpr uint8_t kHiddenBus0Devices[] = {24, 25, 26, 27};
constexpr uint8_t kHiddenBuses[] = {0x3F, 0x7F, 0xFF};
constexpr uint8_t kDevicesPerHiddenBus = 32;

uint32_t Location(uint8_t bus, uint8_t device, uint8_t function) {
    return uint32_t(bus) << 16 | uint32_t(device) << 8 | function;
}

// The functions listed before a scan, by location (the first listed at
// each, as FindDevice answers): a machine with thousands of functions
// would otherwise have the list searched for each of its 8192 slots.
std::unordered_map<uint32_t, CPCIDevice*> ListedByLocation() {
    std::unordered_map<uint32_t, CPCIDevice*> listed;
    ForEachPCIDevice([&](CPCIDevice* device) {
        listed.emplace(Location(device->m_byBus, device->m_byDevice, device->m_byFunction), device);
    });
    return listed;
}

} // namespace

CPCIDevice* CPCIInterface::AddDevice(CRegisterSpace* space, uint8_t bus, uint8_t device, uint8_t function,
                                     bool withExpress) {
    auto* found = new CPCIDevice(bus, device, function);
    found->m_pRegisterSpace = space;
    found->ReadCommonHeader();
    found->CreateHeader();
    found->ScanCapabilities();
    if (withExpress && (found->m_dwCapabilityMask & PCICAPS_PCIE)) {
        found->m_pRegisterSpace = GetExpressSpace();
        found->ScanExtendedCapabilities();
    }
    found->BuildClassDescription();
    GetSDK()->m_pDevices->AddTail(found);
    return found;
}

void CPCIInterface::RetireDevice(CPCIDevice* device) {
    if (GetSDK()->RemoveDevice(device)) m_pRetiredDevices->AddTail(device);
}

void CPCIInterface::ScanBus() {
    CRegisterSpace* space = GetConfigSpace();
    if (!space) return;
    const bool withExpress = GetExpressSpace() != nullptr;
    // A listed function that the main scan no longer sees but a
    // hidden-device pass may still find waits for that pass, so that its
    // object stays what other components hold.
    CTList<CPCIDevice> pending;
    const bool hiddenPasses = m_pPortConfigSpace != nullptr;
    const auto hiddenLocation = [](uint8_t bus, uint8_t device) {
        if (bus == 0) return device >= kHiddenBus0Devices[0] && device <= kHiddenBus0Devices[3];
        return bus == kHiddenBuses[0] || bus == kHiddenBuses[1] || bus == kHiddenBuses[2];
    };

    const std::unordered_map<uint32_t, CPCIDevice*> listedBefore = ListedByLocation();
    const int32_t slots = m_iBusCount * m_iDevicesPerBus;
    for (int32_t index = 0; index < slots; ++index) {
        const auto bus = uint8_t(index / m_iDevicesPerBus);
        const auto device = uint8_t(index % m_iDevicesPerBus);
        for (int32_t fn = 0; fn < m_iFunctionsPerDevice; ++fn) {
            const auto function = uint8_t(fn);
            // Each slot is visited once, so what this scan adds is never
            // looked for again in it.
            const auto before = listedBefore.find(Location(bus, device, function));
            CPCIDevice* listed = before == listedBefore.end() ? nullptr : before->second;
            if (!IsPresent(space, bus, device, function)) {
                if (listed && hiddenPasses && hiddenLocation(bus, device)) pending.AddTail(listed);
                else if (listed) RetireDevice(listed);
                if (function == 0) break;
                continue;
            }
            if (!listed) listed = AddDevice(space, bus, device, function, withExpress);
            if (function == 0 && !listed->IsMultiFunction()) break;
        }
    }

    if (hiddenPasses) ScanHiddenDevices(space, withExpress, pending);
    // What no pass found any more has vanished.
    CTListIterator<CPCIDevice> vanished(&pending);
    for (CPCIDevice* device = vanished.GetFirst(); device; device = vanished.GetNext()) RetireDevice(device);

    if (!withExpress) {
        DetectExpressBase();
        AttachExpressSpace();
    }
}

void CPCIInterface::ScanHiddenDevices(CRegisterSpace* mainSpace, bool withExpress, CTList<CPCIDevice>& pending) {
    for (uint8_t device : kHiddenBus0Devices) ScanHiddenDevice(0, device, mainSpace, withExpress, pending);
    for (uint8_t bus : kHiddenBuses)
        for (uint8_t device = 0; device < kDevicesPerHiddenBus; ++device)
            ScanHiddenDevice(bus, device, mainSpace, withExpress, pending);
}

void CPCIInterface::ScanHiddenDevice(uint8_t bus, uint8_t device, CRegisterSpace* mainSpace, bool withExpress,
                                     CTList<CPCIDevice>& pending) {
    for (int32_t fn = 0; fn < m_iFunctionsPerDevice; ++fn) {
        const auto function = uint8_t(fn);
        if (!IsPresent(m_pPortConfigSpace, bus, device, function)) continue;
        CPCIDevice* listed = FindDevice(bus, device, function);
        if (!listed) {
            listed = AddDevice(m_pPortConfigSpace, bus, device, function, withExpress);
        } else if (pending.GetCount()) {
            const uint32_t before = pending.GetCount();
            pending.Remove(listed);
            // Only the ports reach it now: it reads through them from here on.
            if (pending.GetCount() != before && listed->m_pRegisterSpace == mainSpace)
                listed->m_pRegisterSpace = m_pPortConfigSpace;
        }
        if (function == 0 && !listed->IsMultiFunction()) break;
    }
}
