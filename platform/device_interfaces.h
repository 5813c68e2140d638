// Device-interface sets of setupapi: SetupDiGetClassDevsA with
// DIGCF_DEVICEINTERFACE gives the interfaces of one class, which
// SetupDiEnumDeviceInterfaces and SetupDiGetDeviceInterfaceDetailA (loaded
// by name) walk. The disk class (GUID_DEVINTERFACE_DISK) has one interface
// per drive of the current machine, whose device path CreateFileA opens
// (storage_ioctl.h); the battery class (GUID_DEVCLASS_BATTERY) one per
// battery (battery_ioctl.h); every other class has none.
#pragma once

#include "platform/device_tree.h"
#include "platform/guid.h"

constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;

extern const GUID GUID_DEVINTERFACE_DISK;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;  // sizeof(SP_DEVICE_INTERFACE_DATA)
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};

struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;  // sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)
    CHAR DevicePath[1];
};

constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;

// The interface `index` of the class `interfaceClass` (required; a device
// filter is not offered); ERROR_NO_MORE_ITEMS past the last one.
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA* device, const GUID* interfaceClass, DWORD index,
                                 SP_DEVICE_INTERFACE_DATA* data);
// The interface's device path. Without a detail buffer, or with one smaller
// than needed, FALSE with ERROR_INSUFFICIENT_BUFFER and the size needed in
// `requiredSize`.
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize,
                                      DWORD* requiredSize, SP_DEVINFO_DATA* device);

using PFN_SetupDiEnumDeviceInterfaces = decltype(&SetupDiEnumDeviceInterfaces);
using PFN_SetupDiGetDeviceInterfaceDetailA = decltype(&SetupDiGetDeviceInterfaceDetailA);

namespace vexa::platform {

// SetupDiGetClassDevsA's work for DIGCF_DEVICEINTERFACE, and the test
// SetupDiDestroyDeviceInfoList makes for such a set.
HDEVINFO openDeviceInterfaceSet(const void* interfaceClass);
bool isDeviceInterfaceSet(HDEVINFO set);

} // namespace vexa::platform
