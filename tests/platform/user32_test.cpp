// Registered window messages and device notifications.
#include "platform/user32.h"

#include <gtest/gtest.h>

#include "platform/modules.h"

namespace {

TEST(RegisteredMessages, OneNumberPerNameWithoutCase) {
    const UINT close = RegisterWindowMessageW(L"VEXA_CLOSE_APP");
    EXPECT_GE(close, 0xC000u);
    EXPECT_LE(close, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageW(L"vexa_close_app"), close);
    const UINT other = RegisterWindowMessageW(L"ANOTHER_MESSAGE");
    EXPECT_NE(other, close);
    EXPECT_GE(other, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}

TEST(DeviceNotifications, RegisteredByInterfaceClassUntilUnregistered) {
    HMODULE user32 = LoadLibraryA("user32.dll");
    ASSERT_TRUE(user32);
    const auto registerNotification =
        vexa::platform::lookup<decltype(&RegisterDeviceNotificationW)>(user32, "RegisterDeviceNotificationW");
    ASSERT_TRUE(registerNotification);
    FreeLibrary(user32);

    const GUID display = {0x5B45201D, 0xF2F2, 0x4F3B, {0x85, 0xBB, 0x30, 0xFF, 0x1F, 0x95, 0x35, 0x99}};
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = display;
    int window = 0;
    HDEVNOTIFY handle = registerNotification(&window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_TRUE(handle);
    const auto registered = vexa::platform::testing::deviceNotifications();
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].recipient, &window);
    EXPECT_TRUE(IsEqualGUID(registered[0].interfaceClass, display));

    filter.dbcc_devicetype = 2;  // volumes: not offered
    EXPECT_EQ(RegisterDeviceNotificationW(&window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_TRUE(UnregisterDeviceNotification(handle));
    EXPECT_FALSE(UnregisterDeviceNotification(handle));
    EXPECT_TRUE(vexa::platform::testing::deviceNotifications().empty());
}

} // namespace
