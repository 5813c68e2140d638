#include "platform/user32.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/display_devices.h"
#include "platform/internal/handles.h"
#include "platform/internal/libraries.h"

namespace vexa::platform {
namespace {

constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;
constexpr size_t kMaxMessageNameChars = 255;

// Function statics: messages are registered during static initialisation
// of other files.
struct RegisteredMessages {
    std::mutex lock;
    std::map<std::wstring, UINT> numbers;
};
RegisteredMessages& registeredMessages() {
    static RegisteredMessages messages;
    return messages;
}

class DeviceNotification final : public KernelObject {
public:
    explicit DeviceNotification(testing::DeviceNotificationRecord record) : record(record) {}
    const testing::DeviceNotificationRecord record;
};

std::mutex notificationsLock;
std::vector<HANDLE> notifications;  // in registration order

} // namespace

std::span<const LibraryExport> user32Exports() {
    static const LibraryExport exports[] = {
        {"EnumDisplayDevicesA", exported(EnumDisplayDevicesA)},
        {"RegisterDeviceNotificationW", exported(RegisterDeviceNotificationW), 0x0500},
        {"UnregisterDeviceNotification", exported(UnregisterDeviceNotification), 0x0500},
    };
    return exports;
}

namespace testing {

std::vector<DeviceNotificationRecord> deviceNotifications() {
    std::lock_guard guard(notificationsLock);
    std::vector<DeviceNotificationRecord> records;
    for (HANDLE handle : notifications)
        if (auto notification = lookupHandleAs<DeviceNotification>(handle)) records.push_back(notification->record);
    return records;
}

} // namespace testing
} // namespace vexa::platform

UINT RegisterWindowMessageW(LPCWSTR name) {
    using namespace vexa::platform;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring key(name, wcsnlen(name, kMaxMessageNameChars));
    std::transform(key.begin(), key.end(), key.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
    RegisteredMessages& messages = registeredMessages();
    std::lock_guard guard(messages.lock);
    if (auto found = messages.numbers.find(key); found != messages.numbers.end()) return found->second;
    const UINT next = kFirstRegisteredMessage + UINT(messages.numbers.size());
    if (next > kLastRegisteredMessage) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    messages.numbers.emplace(std::move(key), next);
    return next;
}

HDEVNOTIFY RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD flags) {
    using namespace vexa::platform;
    const auto* broadcast = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(filter);
    if (!broadcast || !recipient || flags != DEVICE_NOTIFY_WINDOW_HANDLE ||
        broadcast->dbcc_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) ||
        broadcast->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = registerHandle(
        std::make_shared<DeviceNotification>(testing::DeviceNotificationRecord{recipient, broadcast->dbcc_classguid}));
    std::lock_guard guard(notificationsLock);
    notifications.push_back(handle);
    return handle;
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY handle) {
    using namespace vexa::platform;
    if (!lookupHandleAs<DeviceNotification>(handle) || !closeHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard guard(notificationsLock);
    notifications.erase(std::remove(notifications.begin(), notifications.end(), handle), notifications.end());
    return TRUE;
}
