// Window-system registrations of the user32 shape: message numbers
// registered by name, and device notifications. The program's windows are
// Qt widgets; a window handle here is only the identity the caller gives.
//
// The device-notification functions are exports of the library
// "user32.dll" (LoadLibraryA), which older Windows versions lack.
#pragma once

#include <vector>

#include "platform/guid.h"
#include "platform/message_box.h"
#include "platform/win_types.h"

using HDEVNOTIFY = void*;

constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr DWORD DBT_DEVTYP_DEVICEINTERFACE = 5;
constexpr DWORD DEVICE_NOTIFY_WINDOW_HANDLE = 0;

struct DEV_BROADCAST_DEVICEINTERFACE_W {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    wchar_t dbcc_name[1];
};

// A number from 0xC000 to 0xFFFF, the same for the same name (compared
// without case) for the life of the process; 0 for an empty name or when
// the range is used up.
UINT RegisterWindowMessageW(LPCWSTR name);

// Registers `recipient` for the arrival and removal of devices of the
// filter's interface class; null with ERROR_INVALID_PARAMETER for another
// filter kind or a window recipient that is null. Nothing here reports
// device changes, so no WM_DEVICECHANGE follows.
HDEVNOTIFY RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD flags);
BOOL UnregisterDeviceNotification(HDEVNOTIFY handle);

namespace vexa::platform::testing {

struct DeviceNotificationRecord {
    HANDLE recipient;
    GUID interfaceClass;
};

// The registrations in force, oldest first.
std::vector<DeviceNotificationRecord> deviceNotifications();

} // namespace vexa::platform::testing
