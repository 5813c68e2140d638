// Devices other than kernel-driver devices that CreateFileA opens and
// DeviceIoControl sends requests to: the disks ("\\.\PhysicalDriveN" and
// their interface paths, storage_ioctl.cpp) and the USB host controllers and
// hubs ("\\.\HCDn", "\\.\USB#...", usb_ioctl.cpp), all answered from the
// current machine.
#pragma once

#include <string>

#include "platform/internal/handles.h"

namespace vexa::platform {

class ControlDevice : public KernelObject {
public:
    // Serves one request: ERROR_SUCCESS with `returned` bytes of `out`
    // filled, or the error of the failure. `in` and `out` may be the same
    // buffer.
    virtual DWORD control(DWORD code, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize,
                          DWORD& returned) = 0;
};

// True when `path` names a device of these kinds, with the handle, or
// INVALID_HANDLE_VALUE and the last error set when there is no such device;
// false for any other path.
bool openSystemDevice(const char* path, HANDLE& handle);
// DeviceIoControl's work for such a device.
BOOL serveControlRequest(ControlDevice& device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                         LPDWORD returned);

// The two families; each returns false when the name is not one of its own.
bool openDiskDevice(const std::string& path, HANDLE& handle);
bool openUsbDevice(const std::string& path, HANDLE& handle);
// The batteries' interface paths (battery_ioctl.cpp).
bool openBatteryDevice(const std::string& path, HANDLE& handle);

} // namespace vexa::platform
