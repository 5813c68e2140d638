// The Windows display devices (user32's EnumDisplayDevicesA, fetched by
// name and refused on Windows NT 4 and older), walked in order.
#pragma once

#include <cstdint>

#include "platform/display_devices.h"

namespace display_devices_detail {
using Visitor = bool (*)(void* context, const DISPLAY_DEVICEA& device);
bool Walk(Visitor visit, void* context);
} // namespace display_devices_detail

// Calls `visit` with each device until it returns false or the devices
// end; false when the enumeration function cannot be had.
template <typename Visit>
bool ForEachDisplayDevice(Visit visit) {
    return display_devices_detail::Walk(
        [](void* context, const DISPLAY_DEVICEA& device) { return (*static_cast<Visit*>(context))(device); },
        &visit);
}

// The PCI ids of a device id text: "VEN_%X" and "DEV_%X" at their first
// occurrence; an absent part leaves its id untouched.
void ParseDisplayDeviceIDs(const char* deviceId, uint16_t* vendor, uint16_t* device);
