#include <algorithm>

#include "platform/internal/control_device.h"

namespace vexa::platform {

bool openSystemDevice(const char* path, HANDLE& handle) {
    if (!path) return false;
    const std::string name = path;
    return openDiskDevice(name, handle) || openUsbDevice(name, handle) || openBatteryDevice(name, handle);
}

BOOL serveControlRequest(ControlDevice& device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                         LPDWORD returned) {
    DWORD written = 0;
    const DWORD error = device.control(code, static_cast<const uint8_t*>(in), in ? inSize : 0,
                                       static_cast<uint8_t*>(out), out ? outSize : 0, written);
    if (returned) *returned = error == ERROR_SUCCESS ? std::min(written, out ? outSize : 0) : 0;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

} // namespace vexa::platform
