// The monitors: the "EDID" value of every present monitor device's
// hardware key, found through setupapi (loaded by name).
#include <vector>

#include "platform/device_tree.h"
#include "platform/modules.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/edid.h"

namespace {

using PFN_RegQueryValueExA = LONG (*)(HKEY, LPCSTR, DWORD*, DWORD*, BYTE*, DWORD*);

struct SetupApi {
    PFN_SetupDiGetClassDevsA getClassDevs;
    PFN_SetupDiEnumDeviceInfo enumDeviceInfo;
    PFN_SetupDiGetDeviceRegistryPropertyA getRegistryProperty;
    PFN_SetupDiOpenDevRegKey openDevRegKey;
    PFN_SetupDiDestroyDeviceInfoList destroyList;
};

bool Resolve(HMODULE library, SetupApi& api) {
    api.getClassDevs = reinterpret_cast<PFN_SetupDiGetClassDevsA>(GetProcAddress(library, "SetupDiGetClassDevsA"));
    api.enumDeviceInfo =
        reinterpret_cast<PFN_SetupDiEnumDeviceInfo>(GetProcAddress(library, "SetupDiEnumDeviceInfo"));
    api.getRegistryProperty = reinterpret_cast<PFN_SetupDiGetDeviceRegistryPropertyA>(
        GetProcAddress(library, "SetupDiGetDeviceRegistryPropertyA"));
    api.openDevRegKey = reinterpret_cast<PFN_SetupDiOpenDevRegKey>(GetProcAddress(library, "SetupDiOpenDevRegKey"));
    api.destroyList =
        reinterpret_cast<PFN_SetupDiDestroyDeviceInfoList>(GetProcAddress(library, "SetupDiDestroyDeviceInfoList"));
    return api.getClassDevs && api.enumDeviceInfo && api.getRegistryProperty && api.openDevRegKey &&
           api.destroyList;
}

// The "EDID" value of a monitor's key; false when it has none. An empty
// value holds no block and counts as none.
bool ReadEDIDValue(HKEY key, std::vector<uint8_t>& bytes) {
    DWORD size = 0;
    if (RegQueryValueExA(key, "EDID", nullptr, nullptr, nullptr, &size) != LONG(ERROR_SUCCESS) || size == 0)
        return false;
    bytes.assign(size, 0);
    if (RegQueryValueExA(key, "EDID", nullptr, nullptr, bytes.data(), &size) != LONG(ERROR_SUCCESS)) return false;
    bytes.resize(size);
    return size > 0;
}

} // namespace

int CDisplayInterface::ReadMonitors() {
    HMODULE library = LoadLibraryA("setupapi.dll");
    if (!library) return 0;
    SetupApi api{};
    HDEVINFO set = INVALID_HANDLE_VALUE;
    if (Resolve(library, api)) set = api.getClassDevs(&GUID_DEVCLASS_MONITOR, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE || !set) {
        FreeLibrary(library);
        return 0;
    }
    bool decoded = false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; api.enumDeviceInfo(set, index, &device); ++index) {
        HKEY key = api.openDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE) || !key) continue;
        std::vector<uint8_t> bytes;
        if (ReadEDIDValue(key, bytes)) {
            auto* record = new _EDID_INFOS{};
            ParseEDID(bytes.data(), bytes.size(), record);
            Monitors->AddTail(record);
            decoded = true;
        }
        RegCloseKey(key);
    }
    api.destroyList(set);
    FreeLibrary(library);
    return decoded ? 1 : 0;
}
