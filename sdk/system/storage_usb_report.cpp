// The "USB Devices" section: every device on the ports of the USB hubs,
// walked depth first from the root hub of each host controller at the time
// the report is written.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/driver.h"
#include "platform/files.h"
#include "platform/sync.h"
#include "platform/text.h"
#include "platform/usb_ioctl.h"
#include "sdk/core/device_description.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/system/storage_interface.h"

namespace {

constexpr int kHostControllers = 10;
constexpr DWORD kLargestName = 4096;  // bytes of a name structure that are believed
constexpr size_t kConnectionBytes = 365;  // the information and room for 30 pipes
constexpr size_t kRootNameOffset = offsetof(USB_ROOT_HUB_NAME, RootHubName);
constexpr size_t kNodeNameOffset = offsetof(USB_NODE_CONNECTION_NAME, NodeName);

// The text of a wide name at `offset` of what a request returned, within
// those bytes.
std::string NameText(const std::vector<uint8_t>& buffer, size_t offset, DWORD returned) {
    const size_t end = std::min<size_t>(buffer.size(), returned);
    if (end <= offset) return {};
    std::wstring wide((end - offset) / sizeof(WCHAR), L'\0');
    std::memcpy(wide.data(), buffer.data() + offset, wide.size() * sizeof(WCHAR));
    wide.resize(std::wcslen(wide.c_str()));
    return vexa::platform::toNarrow(wide);
}

// A name request asked twice: for the length of the whole structure, then
// for the structure. The length is the last field before the name; a node
// name's structure starts with the port, the request's input.
std::string AskName(HANDLE device, DWORD code, ULONG port, size_t nameOffset) {
    std::vector<uint8_t> probe(nameOffset + sizeof(WCHAR), 0);
    if (nameOffset == kNodeNameOffset) std::memcpy(probe.data(), &port, sizeof port);
    DWORD returned = 0;
    if (!DeviceIoControl(device, code, probe.data(), DWORD(probe.size()), probe.data(), DWORD(probe.size()),
                         &returned, nullptr))
        return {};
    ULONG actual = 0;
    std::memcpy(&actual, probe.data() + nameOffset - sizeof(ULONG), sizeof actual);
    if (actual <= nameOffset || actual > kLargestName) return {};
    std::vector<uint8_t> buffer(actual, 0);
    std::memcpy(buffer.data(), probe.data(), nameOffset);
    if (!DeviceIoControl(device, code, buffer.data(), actual, buffer.data(), actual, &returned, nullptr)) return {};
    return NameText(buffer, nameOffset, returned);
}

} // namespace

void CStorageInterface::DumpUSBDevices(CReportGenerator* report) {
    report->PrintTitle("USB Devices");
    for (int controller = 0; controller < kHostControllers; ++controller) {
        char path[32];
        FormatString(path, sizeof path, "\\\\.\\HCD%d", controller);
        HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) continue;
        const std::string rootHub = AskName(handle, IOCTL_USB_GET_ROOT_HUB_NAME, 0, kRootNameOffset);
        CloseHandle(handle);
        if (!rootHub.empty()) DumpUSBHub(report, rootHub.c_str(), 0);
    }
}

void CStorageInterface::DumpUSBHub(CReportGenerator* report, const char* hubName, int depth) {
    if (depth > kMaxHubDepth) return;  // the tree comes from the devices; a loop must not hold the report
    char path[kLargestName + 8];
    std::snprintf(path, sizeof path, "\\\\.\\%s", hubName);
    HANDLE hub = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hub == INVALID_HANDLE_VALUE) return;
    USB_NODE_INFORMATION node {};
    DWORD returned = 0;
    if (!DeviceIoControl(hub, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node, &returned,
                         nullptr)) {
        CloseHandle(hub);
        return;
    }
    const unsigned ports = node.u.HubInformation.HubDescriptor.bNumberOfPorts;
    for (ULONG port = 1; port <= ports; ++port) {
        uint8_t buffer[kConnectionBytes] = {};
        std::memcpy(buffer, &port, sizeof port);
        if (!DeviceIoControl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, buffer, sizeof buffer, buffer,
                             sizeof buffer, &returned, nullptr))
            continue;
        USB_NODE_CONNECTION_INFORMATION connection {};
        std::memcpy(&connection, buffer, offsetof(USB_NODE_CONNECTION_INFORMATION, PipeList));
        if (connection.ConnectionStatus != DeviceConnected) continue;
        const std::string driverKey =
            AskName(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, port, kNodeNameOffset);
        char description[256] = {};
        if (!driverKey.empty()) GetDeviceDescriptionByDriverKey(driverKey.c_str(), description);
        const USB_DEVICE_DESCRIPTOR& device = connection.DeviceDescriptor;
        report->PrintField("USB Device", "\t\t\t",
                           "%s, class=0x%02X, subclass=0x%02X, vendor=0x%04X, product=0x%04X", description,
                           device.bDeviceClass, device.bDeviceSubClass, device.idVendor, device.idProduct);
        if (!connection.DeviceIsHub) continue;
        const std::string below = AskName(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, port, kNodeNameOffset);
        if (!below.empty()) DumpUSBHub(report, below.c_str(), depth + 1);
    }
    CloseHandle(hub);
}
