#include "platform/device_interfaces.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/battery_ioctl.h"
#include "platform/internal/handles.h"

const GUID GUID_DEVINTERFACE_DISK = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

namespace {

class InterfaceSet final : public vexa::platform::KernelObject {
public:
    GUID interfaceClass {};
    std::vector<std::string> paths;  // taken when the set was made
};

constexpr size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

} // namespace

HDEVINFO vexa::platform::openDeviceInterfaceSet(const void* interfaceClass) {
    if (!interfaceClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<InterfaceSet>();
    std::memcpy(&set->interfaceClass, interfaceClass, sizeof(GUID));
    if (set->interfaceClass == GUID_DEVINTERFACE_DISK)
        for (const machine::DiskDrive& drive : machine::current().diskDrives())
            set->paths.push_back(drive.interfacePath);
    if (set->interfaceClass == GUID_DEVCLASS_BATTERY)
        for (const machine::BatteryFacts& battery : machine::current().batteries())
            set->paths.push_back(battery.interfacePath);
    return registerHandle(set);
}

bool vexa::platform::isDeviceInterfaceSet(HDEVINFO set) { return lookupHandleAs<InterfaceSet>(set) != nullptr; }

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO handle, SP_DEVINFO_DATA* device, const GUID* interfaceClass, DWORD index,
                                 SP_DEVICE_INTERFACE_DATA* data) {
    auto set = vexa::platform::lookupHandleAs<InterfaceSet>(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (device || !interfaceClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!(*interfaceClass == set->interfaceClass) || index >= set->paths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->InterfaceClassGuid = set->interfaceClass;
    data->Flags = 0x1;  // SPINT_ACTIVE
    data->Reserved = index + 1;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO handle, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize,
                                      DWORD* requiredSize, SP_DEVINFO_DATA*) {
    auto set = vexa::platform::lookupHandleAs<InterfaceSet>(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
        data->Reserved > set->paths.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& path = set->paths[data->Reserved - 1];
    const auto needed = DWORD(kPathOffset + path.size() + 1);
    if (requiredSize) *requiredSize = needed;
    if (!detail || detailSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(reinterpret_cast<char*>(detail) + kPathOffset, path.c_str(), path.size() + 1);
    return TRUE;
}
