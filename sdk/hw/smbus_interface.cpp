#include "sdk/hw/smbus_interface.h"

#include "platform/threads.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/command.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/smbus_discovery.h"
#include "sdk/hw/smbus_controller.h"
#include "sdk/hw/smbus_device.h"
#include "sdk/hw/smbus_multiplexer.h"

namespace {

template <typename T>
void DeleteList(CTList<T>*& list) {
    if (!list) return;
    list->DeleteAll();
    delete list;
    list = nullptr;
}

// Whether a device of the root's list keeps a pointer to the SMBus device:
// a memory module's thermal sensor, or a child of a composite device.
bool HeldByAnotherDevice(const CSMBusDevice* device) {
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* other = it.GetFirst(); other; other = it.GetNext()) {
        if ((other->m_dwKind & DEVICE_MEMORY_MODULE) &&
            static_cast<CMemoryModule*>(other)->m_pThermalSensorDevice == device)
            return true;
        if (!(other->m_dwKind & DEVICE_COMPOSITE)) continue;
        CTListIterator<CDevice> children(static_cast<CCompositeDevice*>(other)->m_pChildren);
        for (CDevice* child = children.GetFirst(); child; child = children.GetNext())
            if (child == device) return true;
    }
    return false;
}

} // namespace

CSMBusInterface::CSMBusInterface()
    : CInterface(INTERFACE_SMBUS), m_pMultiplexers(new CTList<CMultiplexer>), m_pCommands(new CTList<CCommand>) {}

CSMBusInterface::~CSMBusInterface() {
    DeleteList(m_pMultiplexers);
    DeleteList(m_pCommands);
    delete m_pConfigSpace;
    delete m_pConfigPorts;
}

int CSMBusInterface::Init() {
    if (!GetSDK()->m_pPCI) return 0;
    EnableHiddenControllers();
    CreateHostControllers();
    CreateMemoryControllerEngines();
    CreateBoardMultiplexers();
    return 1;
}

void CSMBusInterface::Close() {
    if (CPCIInterface* pci = GetSDK()->m_pPCI) {
        for (auto saved = m_SavedConfig.rbegin(); saved != m_SavedConfig.rend(); ++saved)
            pci->WriteConfig(saved->bus, saved->device, saved->function, int32_t(saved->reg), saved->value);
    }
    m_SavedConfig.clear();
    CTListIterator<CCommand> it(m_pCommands);
    for (CCommand* command = it.GetFirst(); command; command = it.GetNext()) command->Restore();
}

void CSMBusInterface::WriteConfigAndRemember(const CPCIDevice& function, uint32_t reg, uint32_t value) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    const uint8_t bus = function.m_byBus, device = function.m_byDevice, fn = function.m_byFunction;
    bool known = false;
    for (const SavedConfig& saved : m_SavedConfig)
        known = known || (saved.bus == bus && saved.device == device && saved.function == fn && saved.reg == reg);
    if (!known) {
        uint32_t old = 0xFFFFFFFF;
        // The status word of the command dword is write-one-to-clear: its
        // restore writes zeros there.
        if (pci->ReadConfig(bus, device, fn, int32_t(reg), &old))
            m_SavedConfig.push_back(
                {bus, device, fn, reg, reg == smbus_discovery::kCommandRegister ? old & 0xFFFF : old});
    }
    pci->WriteConfig(bus, device, fn, int32_t(reg), value);
}

void CSMBusInterface::AddController(CSMBusRegisterSpace* controller, uint32_t controllerId) {
    controller->m_dwControllerId = controllerId;
    GetSDK()->m_pRegisterSpaces->AddTail(controller);
}

CLPCRegisterSpace* CSMBusInterface::SuperIOConfigSpace() {
    constexpr uint32_t kConfigPort = 0x2E;
    if (CRegisterSpace* space = GetSDK()->FindRegisterSpace(0, kConfigPort, REGSPACE_LPC))
        return static_cast<CLPCRegisterSpace*>(space);
    if (!m_pConfigSpace) {
        m_pConfigPorts = new CPortIOSpace(kConfigPort, 0xFFFFFFFF);
        m_pConfigSpace = new CLPCRegisterSpace(m_pConfigPorts, 0, 1);
    }
    return m_pConfigSpace;
}

// ---- Lookups ----

int CSMBusInterface::GetControllers(uint32_t controllerId, CTList<CRegisterSpace>* list) {
    if (list) list->RemoveAll();
    int count = 0;
    CTListIterator<CRegisterSpace> it(GetSDK()->m_pRegisterSpaces);
    for (CRegisterSpace* space = it.GetFirst(); space; space = it.GetNext()) {
        if (space->GetClass() != REGSPACE_SMBUS ||
            static_cast<CSMBusRegisterSpace*>(space)->m_dwControllerId != controllerId)
            continue;
        ++count;
        if (list) list->AddTail(space);
    }
    return count;
}

CSMBusDevice* CSMBusInterface::FindDevice(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel,
                                          uint8_t slave) {
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        if (!(device->m_dwKind & DEVICE_SMBUS)) continue;
        auto* smbus = static_cast<CSMBusDevice*>(device);
        if (smbus->m_pController != controller || smbus->m_bySlaveAddress != slave) continue;
        if (!multiplexer || (smbus->m_pMultiplexer == multiplexer && smbus->m_byChannel == channel)) return smbus;
    }
    return nullptr;
}

// ---- Probes ----

CSMBusDevice* CSMBusInterface::Answered(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel,
                                        uint8_t slave) {
    if (CSMBusDevice* known = FindDevice(controller, multiplexer, channel, slave)) return known;
    auto* device = new CSMBusDevice;
    device->m_pController = controller;
    device->m_pMultiplexer = multiplexer;
    device->m_byChannel = multiplexer ? channel : 0;
    device->m_bySlaveAddress = slave;
    GetSDK()->m_pDevices->AddTail(device);
    return device;
}

// A device that others still point at stays: deleting it would leave them
// a dangling pointer. It fails its reads until its address answers again.
void CSMBusInterface::Silent(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel,
                             uint8_t slave) {
    CSMBusDevice* device = FindDevice(controller, multiplexer, channel, slave);
    if (!device || HeldByAnotherDevice(device)) return;
    if (GetSDK()->RemoveDevice(device)) delete device;
}

bool CSMBusInterface::ProbeKey(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel,
                               uint8_t slave, uint8_t reg, bool word, CTList<CDevice>* list) {
    uint8_t low = 0, high = 0;
    const int answered =
        word ? controller->ReadWordData(slave, reg, &low, &high) : controller->ReadByteData(slave, reg, &low);
    if (!answered) {
        Silent(controller, multiplexer, channel, slave);
        return false;
    }
    CSMBusDevice* device = Answered(controller, multiplexer, channel, slave);
    if (list) list->AddTail(device);
    return true;
}

int CSMBusInterface::ProbeOnController(CSMBusRegisterSpace* controller, uint8_t slave, CTList<CDevice>* list) {
    if (list) list->RemoveAll();
    if (!controller) return 0;
    if (!m_pMultiplexers->GetCount()) return ProbeKey(controller, nullptr, 0, slave, 0, false, list) ? 1 : 0;
    int count = 0;
    CTListIterator<CMultiplexer> it(m_pMultiplexers);
    for (CMultiplexer* multiplexer = it.GetFirst(); multiplexer; multiplexer = it.GetNext()) {
        for (uint8_t channel = 0; channel < multiplexer->m_byChannelCount; ++channel) {
            // A channel that could not be switched to tells nothing about its devices.
            if (!multiplexer->Select(channel)) continue;
            if (ProbeKey(controller, multiplexer, channel, slave, 0, false, list)) ++count;
            multiplexer->Restore();
        }
    }
    return count;
}

void CSMBusInterface::ProbeController(CSMBusRegisterSpace* controller, uint8_t slave, uint8_t reg, bool word,
                                      bool allChannels, CTList<CDevice>* list, int& count) {
    if (!m_pMultiplexers->GetCount()) {
        if (ProbeKey(controller, nullptr, 0, slave, reg, word, list)) ++count;
        return;
    }
    CTListIterator<CMultiplexer> it(m_pMultiplexers);
    for (CMultiplexer* multiplexer = it.GetFirst(); multiplexer; multiplexer = it.GetNext()) {
        for (uint8_t channel = 0; channel < multiplexer->m_byChannelCount; ++channel) {
            if (!multiplexer->Select(channel)) continue;
            Sleep(kChannelSettleMs);
            if (!ProbeKey(controller, multiplexer, channel, slave, reg, word, list)) continue;
            ++count;
            if (!allChannels) {
                multiplexer->Restore();
                return;
            }
        }
        multiplexer->Restore();
    }
}

int CSMBusInterface::ProbeAddress(uint8_t slave, CTList<CDevice>* list, uint8_t reg, int word, int allChannels) {
    if (list) list->RemoveAll();
    int count = 0;
    CTList<CRegisterSpace> controllers;
    GetSDK()->GetRegisterSpaces(REGSPACE_SMBUS, &controllers);
    CTListIterator<CRegisterSpace> it(&controllers);
    for (CRegisterSpace* space = it.GetFirst(); space; space = it.GetNext())
        ProbeController(static_cast<CSMBusRegisterSpace*>(space), slave, reg, word != 0, allChannels != 0, list, count);
    return count;
}

int CSMBusInterface::ProbeAddressOn(uint8_t slave, CSMBusRegisterSpace* controller, CTList<CDevice>* list, uint8_t reg,
                                    int word, int allChannels) {
    if (list) list->RemoveAll();
    int count = 0;
    if (controller) ProbeController(controller, slave, reg, word != 0, allChannels != 0, list, count);
    return count;
}
