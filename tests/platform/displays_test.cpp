// The machine's displays as Windows shows them: the monitor class of
// setupapi with each monitor's EDID in its device key, read by
// RegQueryValueExA; user32's display devices; the image's edid/ folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/device_tree.h"
#include "platform/display_devices.h"
#include "platform/modules.h"
#include "tests/support/image_dir.h"

namespace {

// setupapi's functions, fetched by name as the program fetches them.
struct SetupApi {
    SetupApi() : library(LoadLibraryA("setupapi.dll")) {}
    ~SetupApi() { FreeLibrary(library); }
    template <typename F>
    F get(const char* name) const {
        return reinterpret_cast<F>(GetProcAddress(library, name));
    }
    HMODULE library;
};

HDEVINFO OpenMonitors(const SetupApi& api) {
    return api.get<PFN_SetupDiGetClassDevsA>("SetupDiGetClassDevsA")(&GUID_DEVCLASS_MONITOR, nullptr, nullptr,
                                                                     DIGCF_PRESENT);
}

std::vector<std::string> MonitorEdids(const SetupApi& api, HDEVINFO set) {
    const auto SetupDiEnumDeviceInfo = api.get<PFN_SetupDiEnumDeviceInfo>("SetupDiEnumDeviceInfo");
    const auto SetupDiOpenDevRegKey = api.get<PFN_SetupDiOpenDevRegKey>("SetupDiOpenDevRegKey");
    std::vector<std::string> edids;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        EXPECT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
        DWORD size = 0, type = 0;
        EXPECT_EQ(RegQueryValueExA(key, "edid", nullptr, &type, nullptr, &size), LONG(ERROR_SUCCESS));
        EXPECT_EQ(type, REG_BINARY);
        std::string bytes(size, '\0');
        if (size > 1) {
            DWORD small = size - 1;
            EXPECT_EQ(RegQueryValueExA(key, "EDID", nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &small),
                      LONG(ERROR_MORE_DATA));
            EXPECT_EQ(small, size);
        }
        EXPECT_EQ(RegQueryValueExA(key, "EDID", nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size),
                  LONG(ERROR_SUCCESS));
        EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, &size), LONG(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(RegCloseKey(key), LONG(ERROR_SUCCESS));
        edids.push_back(bytes);
    }
    return edids;
}

TEST(Displays, MonitorsInTheOrderOfTheirNumbers) {
    vexa::test::ImageDir image;
    image.write("edid/10.bin", "ten");
    image.write("edid/2.bin", "two");
    image.write("machine.json", R"({"displays": [
        {"name": "\\\\.\\DISPLAY1", "description": "A name longer than nothing", "device_id": "PCI\\VEN_10DE&DEV_0A65"},
        {"name": "\\\\.\\DISPLAY2"}]})");
    vexa::machine::ScopedMachine machine(image.load());

    SetupApi api;
    HDEVINFO set = OpenMonitors(api);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(MonitorEdids(api, set), (std::vector<std::string>{"two", "ten"}));
    EXPECT_TRUE(api.get<PFN_SetupDiDestroyDeviceInfoList>("SetupDiDestroyDeviceInfoList")(set));

    DISPLAY_DEVICEA device{};
    device.cb = sizeof device;
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
    EXPECT_STREQ(device.DeviceName, "\\\\.\\DISPLAY1");
    EXPECT_STREQ(device.DeviceString, "A name longer than nothing");
    EXPECT_STREQ(device.DeviceID, "PCI\\VEN_10DE&DEV_0A65");
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 1, &device, 0));
    EXPECT_STREQ(device.DeviceID, "");
    EXPECT_FALSE(EnumDisplayDevicesA(nullptr, 2, &device, 0));
    device.cb = 100;
    EXPECT_FALSE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
}

TEST(Displays, OnlyMonitorsHaveDeviceKeys) {
    vexa::test::ImageDir image;
    image.write("machine.json", "{}");
    vexa::machine::ScopedMachine machine(image.load());
    SetupApi api;
    HDEVINFO set = OpenMonitors(api);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    EXPECT_FALSE(api.get<PFN_SetupDiEnumDeviceInfo>("SetupDiEnumDeviceInfo")(set, 0, &device));
    device.DevInst = 1;  // the set's root, no monitor
    EXPECT_EQ(api.get<PFN_SetupDiOpenDevRegKey>("SetupDiOpenDevRegKey")(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                                                        KEY_QUERY_VALUE),
              reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_TRUE(api.get<PFN_SetupDiDestroyDeviceInfoList>("SetupDiDestroyDeviceInfoList")(set));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "EDID", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_FILE_NOT_FOUND));
}

TEST(Displays, ImagesRefuseOtherNamesInTheEdidFolder) {
    vexa::test::ImageDir image;
    image.write("edid/monitor.bin", "x");
    EXPECT_NE(image.loadError().find("edid/monitor.bin: expected a file named <number>.bin"), std::string::npos)
        << image.loadError();
    vexa::test::ImageDir badManifest;
    badManifest.write("machine.json", R"({"displays": [{"name": 3}]})");
    EXPECT_NE(badManifest.loadError().find("displays[0].name"), std::string::npos) << badManifest.loadError();
}

} // namespace
