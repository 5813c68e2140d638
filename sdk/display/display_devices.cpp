#include "sdk/display/display_devices.h"

#include <cstdio>
#include <cstring>

#include "platform/modules.h"
#include "sdk/core/helpers.h"

bool display_devices_detail::Walk(Visitor visit, void* context) {
    HMODULE user32 = LoadLibraryA("user32.dll");
    if (!user32) return false;
    const auto enumerate = reinterpret_cast<PFN_EnumDisplayDevicesA>(GetProcAddress(user32, "EnumDisplayDevicesA"));
    const bool usable = enumerate && !IsOldNT();
    if (usable) {
        DISPLAY_DEVICEA device;
        for (DWORD index = 0;; ++index) {
            std::memset(&device, 0, sizeof device);
            device.cb = sizeof device;
            if (enumerate(nullptr, index, &device, 0) != 1) break;
            // The texts end inside their fields whatever the provider wrote.
            device.DeviceName[sizeof device.DeviceName - 1] = '\0';
            device.DeviceString[sizeof device.DeviceString - 1] = '\0';
            device.DeviceID[sizeof device.DeviceID - 1] = '\0';
            if (!visit(context, device)) break;
        }
    }
    FreeLibrary(user32);
    return usable;
}

void ParseDisplayDeviceIDs(const char* deviceId, uint16_t* vendor, uint16_t* device) {
    unsigned value = 0;
    if (const char* part = std::strstr(deviceId, "VEN_"); part && std::sscanf(part, "VEN_%X", &value) == 1)
        *vendor = uint16_t(value);
    if (const char* part = std::strstr(deviceId, "DEV_"); part && std::sscanf(part, "DEV_%X", &value) == 1)
        *device = uint16_t(value);
}
