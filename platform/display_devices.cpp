#include "platform/display_devices.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "machine/machine.h"

namespace {

template <size_t N>
void copyText(CHAR (&field)[N], const std::string& text) {
    const size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

} // namespace

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD index, DISPLAY_DEVICEA* record, DWORD) {
    if (!record || record->cb < sizeof(DISPLAY_DEVICEA) || device) return FALSE;
    const auto devices = vexa::machine::current().displayDevices();
    if (index >= devices.size()) return FALSE;
    const vexa::machine::DisplayDevice& found = devices[index];
    copyText(record->DeviceName, found.name);
    copyText(record->DeviceString, found.description);
    copyText(record->DeviceID, found.deviceId);
    record->DeviceKey[0] = '\0';
    record->StateFlags = index == 0 ? 0x5 : 0x1;  // attached to the desktop; the first is the primary
    return TRUE;
}
