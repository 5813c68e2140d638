// The platform probes of the sources that are no sensor chips: the FB-DIMM
// memory buffers, ACPI, the batteries, the USB liquid cooler and the display
// adapters, and the drives' temperature sensors. Each decides from PCI ids,
// the interfaces present and Windows' device enumeration whether its source
// exists, creates the monitor (and its device where it needs one) and
// appends it to the list.
#include <vector>

#include "platform/battery_ioctl.h"
#include "platform/device_interfaces.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/sync.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/monitor/acpi_monitor.h"
#include "sdk/system/acpi_interface.h"
#include "sdk/system/drive.h"
#include "sdk/system/storage_interface.h"
#include "sdk/monitor/battery_monitor.h"
#include "sdk/monitor/display_api_monitor.h"
#include "sdk/monitor/fbdimm_monitor.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/monitor/usb_cooler_monitor.h"

namespace {

constexpr uint16_t kIntel = 0x8086;
// The FB-DIMM memory controllers at 00:10.0 and their AMB window registers.
constexpr uint16_t kFBDIMMControllers[] = {0x4030, 0x25F0, 0x360C};
constexpr uint16_t kEightSlotController = 0x360C;
constexpr uint16_t kTwoChannelHostBridges[] = {0x25D0, 0x25D4};
constexpr int32_t kAMBEnable = 0x50, kAMBBaseLow = 0x48, kAMBBaseHigh = 0x4C;
constexpr uint32_t kAMBChannelStride = 0x8000, kAMBSlotStride = 0x800;

constexpr uint32_t kMaxBatteryInterfaces = 100;
constexpr size_t kMaxBatteryPath = 511;

template <typename Id, size_t N>
bool OneOf(Id id, const Id (&ids)[N]) {
    for (Id candidate : ids)
        if (candidate == id) return true;
    return false;
}

uint32_t ConfigDword(CPCIDevice* device, int32_t reg) {
    uint32_t value = 0xFFFFFFFF;
    device->ReadConfigDword(reg, &value);
    return value;
}

// The setupapi functions the battery enumeration needs, loaded by name.
struct SetupApi {
    HMODULE library = nullptr;
    PFN_SetupDiGetClassDevsA getClassDevs = nullptr;
    PFN_SetupDiEnumDeviceInterfaces enumInterfaces = nullptr;
    PFN_SetupDiGetDeviceInterfaceDetailA getDetail = nullptr;
    PFN_SetupDiDestroyDeviceInfoList destroyList = nullptr;

    SetupApi() : library(LoadLibraryA("setupapi.dll")) {
        if (!library) return;
        using vexa::platform::lookup;
        getClassDevs = lookup<PFN_SetupDiGetClassDevsA>(library, "SetupDiGetClassDevsA");
        enumInterfaces = lookup<PFN_SetupDiEnumDeviceInterfaces>(library, "SetupDiEnumDeviceInterfaces");
        getDetail = lookup<PFN_SetupDiGetDeviceInterfaceDetailA>(library, "SetupDiGetDeviceInterfaceDetailA");
        destroyList = lookup<PFN_SetupDiDestroyDeviceInfoList>(library, "SetupDiDestroyDeviceInfoList");
    }
    ~SetupApi() {
        if (library) FreeLibrary(library);
    }
    SetupApi(const SetupApi&) = delete;
    SetupApi& operator=(const SetupApi&) = delete;

    bool usable() const { return getClassDevs && enumInterfaces && getDetail && destroyList; }

    // The device path of interface `index`; false with the error set when
    // there is none.
    bool DevicePath(HDEVINFO set, DWORD index, std::string* path) const {
        SP_DEVICE_INTERFACE_DATA data {};
        data.cbSize = sizeof data;
        if (!enumInterfaces(set, nullptr, &GUID_DEVCLASS_BATTERY, index, &data)) return false;
        DWORD size = 0;
        getDetail(set, &data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return false;
        std::vector<char> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!getDetail(set, &data, detail, size, nullptr, nullptr)) return false;
        path->assign(detail->DevicePath);
        return true;
    }
};

// Whether the device at `path` is a system battery that reports absolute
// capacities and is no short-term battery (a UPS).
bool IsSystemBattery(const std::string& path) {
    HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    uint32_t tag = 0;
    BATTERY_INFORMATION information {};
    const bool accepted = ReadBatteryInformation(device, &tag, &information) &&
                          (information.Capabilities & BATTERY_SYSTEM_BATTERY) &&
                          !(information.Capabilities & (BATTERY_CAPACITY_RELATIVE | BATTERY_IS_SHORT_TERM));
    CloseHandle(device);
    return accepted;
}

} // namespace

int CHardwareMonitorInterface::ProbeFBDIMM() {
    BRENIKSDK* sdk = GetSDK();
    if (CPCIInterface* pci = sdk->m_pPCI) {
        CPCIDevice* controller = pci->FindDevice(0, 0x10, 0);
        const uint16_t id = controller ? controller->GetDeviceID() : 0;
        if (controller && controller->GetVendorID() == kIntel && OneOf(id, kFBDIMMControllers)) {
            uint32_t channels = 2;
            const uint32_t slots = id == kEightSlotController ? 8 : 4;
            if (CPCIDevice* hostBridge = pci->FindDevice(0, 0, 0))
                if (!OneOf(hostBridge->GetDeviceID(), kTwoChannelHostBridges)) channels = 4;
            const uint32_t baseLow = ConfigDword(controller, kAMBBaseLow) & 0xFFFE0000;
            const uint32_t baseHigh = ConfigDword(controller, kAMBBaseHigh) & 0xFF;
            if (ConfigDword(controller, kAMBEnable) != 0 && (baseLow || baseHigh)) {
                CIOSpace* window = sdk->FindIOSpace(baseHigh, baseLow, IOSPACE_MEMORY);
                if (!window) {
                    window = new CMemoryIOSpace(baseHigh, baseLow, 0xFFFFFFFF);
                    sdk->m_pIOSpaces->AddTail(window);
                }
                for (uint32_t channel = 0; channel < channels; ++channel)
                    for (uint32_t slot = 0; slot < slots; ++slot) {
                        uint32_t presence = 0xFFFFFFFF;
                        window->ReadDword(channel * kAMBChannelStride + slot * kAMBSlotStride, &presence);
                        if (presence != 0xFFFFFFFF)
                            m_pMonitors->AddTail(new CMemoryModuleHardwareMonitor("FB-DIMM", window, channel, slot));
                    }
            }
        }
    }
    // Thermal sensors the memory modules carry already.
    CTListIterator<CDevice> it(sdk->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        if (!(device->m_dwKind & DEVICE_MEMORY_MODULE)) continue;
        CTemperatureSensor* sensor = static_cast<CMemoryModule*>(device)->m_pThermalSensor;
        if (!sensor) continue;
        auto* monitor = new CMemoryModuleHardwareMonitor("DIMM", nullptr, 0, 0);
        monitor->m_pTemperature = sensor;
        monitor->AddToLists(sensor);
        m_pMonitors->AddTail(monitor);
    }
    return 1;
}

int CHardwareMonitorInterface::ProbeACPIMonitor() {
    auto* acpi = static_cast<CACPIInterface*>(GetSDK()->FindInterface(INTERFACE_ACPI));
    if (!acpi) return 0;
    auto* monitor = new CACPIHardwareMonitor(acpi);
    monitor->SetOwnerDevice(GetSDK()->m_pMainboard);
    if (monitor->CreateSensors()) m_pMonitors->AddTail(monitor);
    else delete monitor;
    return 1;
}

int CHardwareMonitorInterface::ProbeBatteries() {
    const SetupApi setupapi;
    if (!setupapi.usable()) return 0;
    HDEVINFO set = setupapi.getClassDevs(&GUID_DEVCLASS_BATTERY, nullptr, nullptr,
                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return 0;
    int accepted = 0;
    for (DWORD index = 0; index < kMaxBatteryInterfaces; ++index) {
        std::string path;
        if (!setupapi.DevicePath(set, index, &path)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
            continue;
        }
        if (path.size() > kMaxBatteryPath || !IsSystemBattery(path)) continue;
        auto* monitor = new RemovableBatteryHardwareMonitor("Battery", path.c_str());
        auto* battery = new CBattery("Battery");
        monitor->SetOwnerDevice(battery);
        m_pMonitors->AddTail(monitor);
        GetSDK()->m_pDevices->AddTail(battery);
        ++accepted;
    }
    setupapi.destroyList(set);
    return accepted > 0 ? 1 : 0;
}

int CHardwareMonitorInterface::ProbeUSBCooler() {
    auto* monitor = new Asetek_CC_HardwareMonitor;
    auto* cooler = new CWaterCooler("Asetek CC");
    monitor->SetOwnerDevice(cooler);
    if (monitor->CreateSensors()) {
        m_pMonitors->AddTail(monitor);
        GetSDK()->m_pDevices->AddTail(cooler);
    } else {
        delete monitor;  // frees the library it may have loaded
        delete cooler;
    }
    return 1;
}

int CHardwareMonitorInterface::ProbeDisplayAPIs() {
    auto* display = static_cast<CDisplayInterface*>(GetSDK()->FindInterface(INTERFACE_DISPLAY));
    if (!display) return 0;
    CTListIterator<CDevice> adapters(display->Adapters);
    for (CDevice* device = adapters.GetFirst(); device; device = adapters.GetNext()) {
        auto* adapter = static_cast<CDisplayAdapter*>(device);
        CTListIterator<_stAPIEntry> entries(adapter->APIEntries);
        for (_stAPIEntry* entry = entries.GetFirst(); entry; entry = entries.GetNext()) {
            if (!entry->API) continue;
            auto* monitor = new CDisplayAPIHardwareMonitor(adapter, entry->API);
            if (monitor->CreateSensors()) m_pMonitors->AddTail(monitor);
            else delete monitor;
        }
    }
    return 1;
}

int CHardwareMonitorInterface::ProbeDevices() {
    ProbeDisplayAPIs();
    AttachDriveSensors();
    return 1;
}

// The storage domain makes a drive's temperature sensors when its SMART data
// shows them; each joins the drive's own sensor list once.
int CHardwareMonitorInterface::AttachDriveSensors() {
    auto* storage = static_cast<CStorageInterface*>(GetSDK()->FindInterface(INTERFACE_STORAGE));
    if (!storage) return 0;
    CTListIterator<CDevice> drives(storage->m_pDrives);
    for (CDevice* device = drives.GetFirst(); device; device = drives.GetNext()) {
        auto* drive = static_cast<CDrive*>(device);
        for (CTemperatureSensor* sensor : drive->m_pTemperatures)
            if (sensor && !drive->FindSensor(sensor)) drive->AddSensor(sensor);
    }
    return 1;
}
