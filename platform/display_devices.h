// The display devices of user32 (EnumDisplayDevicesA, loaded by name): one
// per display device the current machine lists, in its order.
#pragma once

#include "platform/win_types.h"

struct DISPLAY_DEVICEA {
    DWORD cb;  // sizeof(DISPLAY_DEVICEA), 424
    CHAR DeviceName[32];
    CHAR DeviceString[128];
    DWORD StateFlags;
    CHAR DeviceID[128];
    CHAR DeviceKey[128];
};
static_assert(sizeof(DISPLAY_DEVICEA) == 424);

// The display device `index` (a null `device` names the adapters; any other
// name has no monitors here). FALSE past the last one or for a record whose
// cb is too small. Texts longer than their fields are cut.
BOOL EnumDisplayDevicesA(LPCSTR device, DWORD index, DISPLAY_DEVICEA* record, DWORD flags);
using PFN_EnumDisplayDevicesA = decltype(&EnumDisplayDevicesA);
