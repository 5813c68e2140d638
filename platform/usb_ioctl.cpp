#include "platform/usb_ioctl.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "machine/machine.h"
#include "platform/internal/control_device.h"
#include "platform/internal/per_machine.h"
#include "platform/text.h"

namespace vexa::platform {
namespace {

using machine::UsbDevice;

constexpr char kControllerPrefix[] = "\\\\.\\HCD";
constexpr char kHubPrefix[] = "\\\\.\\";
constexpr char kHubInterfaceClass[] = "#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
constexpr size_t kMaxControllerDigits = 3;
constexpr UCHAR kHubDescriptorType = 0x29;
constexpr UCHAR kHubDescriptorLength = 9;
constexpr size_t kConnectionHeader = offsetof(USB_NODE_CONNECTION_INFORMATION, PipeList);
constexpr size_t kRootNameHeader = offsetof(USB_ROOT_HUB_NAME, RootHubName);
constexpr size_t kNodeNameHeader = offsetof(USB_NODE_CONNECTION_NAME, NodeName);
static_assert(kNodeNameHeader == offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName));

bool sameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Where a hub is: its controller and the ports leading to it from the root
// hub (none for the root hub).
struct HubPlace {
    size_t controller = 0;
    std::vector<unsigned> ports;
};

std::string hubName(const HubPlace& place, const UsbDevice& hub) {
    if (place.ports.empty()) return "USB#ROOT_HUB#" + std::to_string(place.controller) + kHubInterfaceClass;
    char ids[32];
    std::snprintf(ids, sizeof ids, "USB#VID_%04X&PID_%04X#", hub.vendorId, hub.productId);
    std::string name = ids + std::to_string(place.controller) + "&";
    for (size_t i = 0; i < place.ports.size(); ++i) name += (i ? "." : "") + std::to_string(place.ports[i]);
    return name + kHubInterfaceClass;
}

const UsbDevice* onPort(const UsbDevice& hub, unsigned port) {
    for (const UsbDevice& device : hub.children)
        if (device.port == port) return &device;
    return nullptr;
}

// The hub at `place` in the machine's current tree; null when it is gone.
const UsbDevice* findHub(const std::vector<machine::UsbController>& controllers, const HubPlace& place) {
    if (place.controller >= controllers.size()) return nullptr;
    const UsbDevice* hub = &controllers[place.controller].rootHub;
    for (unsigned port : place.ports) {
        hub = onPort(*hub, port);
        if (!hub) return nullptr;
    }
    return hub->hub ? hub : nullptr;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The current machine's USB tree with its hubs by name (in lower case, as
// names are matched without regard to case).
struct UsbView {
    std::vector<machine::UsbController> controllers;
    std::unordered_map<std::string, HubPlace> hubs;
};

void indexHubs(const UsbDevice& hub, HubPlace& place, UsbView& view) {
    if (hub.hub) view.hubs.try_emplace(lowerCase(hubName(place, hub)), place);
    for (const UsbDevice& device : hub.children) {
        if (!device.hub) continue;
        place.ports.push_back(device.port);
        indexHubs(device, place, view);
        place.ports.pop_back();
    }
}

UsbView buildView(const machine::Machine& machine) {
    UsbView view;
    view.controllers = machine.usbControllers();
    for (size_t i = 0; i < view.controllers.size(); ++i) {
        HubPlace place{i, {}};
        indexHubs(view.controllers[i].rootHub, place, view);
    }
    return view;
}

std::shared_ptr<const UsbView> usbView() {
    static PerMachine<UsbView> view(&buildView);
    return view.get();
}

// A name structure: its header (ActualLength last in it), then the wide
// name with its terminator; only ActualLength when the whole does not fit.
DWORD writeName(const std::string& name, size_t header, uint8_t* out, DWORD outSize, DWORD& returned) {
    const std::wstring wide = toWide(name);
    const size_t actual = header + (wide.size() + 1) * sizeof(WCHAR);
    const size_t lengthField = header - sizeof(ULONG);
    if (!out || outSize < header) return ERROR_INSUFFICIENT_BUFFER;
    const auto actualLength = ULONG(actual);
    std::memcpy(out + lengthField, &actualLength, sizeof actualLength);
    if (outSize < actual) {
        returned = DWORD(header);
        return ERROR_SUCCESS;
    }
    std::memcpy(out + header, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    returned = DWORD(actual);
    return ERROR_SUCCESS;
}

class ControllerDevice final : public ControlDevice {
public:
    explicit ControllerDevice(size_t controller) : controller_(controller) {}

    DWORD control(DWORD code, const uint8_t*, DWORD, uint8_t* out, DWORD outSize, DWORD& returned) override {
        if (code != IOCTL_USB_GET_ROOT_HUB_NAME) return ERROR_INVALID_FUNCTION;
        const auto view = usbView();
        const std::vector<machine::UsbController>& controllers = view->controllers;
        if (controller_ >= controllers.size()) return ERROR_DEVICE_NOT_CONNECTED;
        const HubPlace place{controller_, {}};
        return writeName(hubName(place, controllers[controller_].rootHub), kRootNameHeader, out, outSize, returned);
    }

private:
    static constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
    size_t controller_;
};

class HubDevice final : public ControlDevice {
public:
    explicit HubDevice(HubPlace place) : place_(std::move(place)) {}

    DWORD control(DWORD code, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize,
                  DWORD& returned) override {
        const auto view = usbView();
        const UsbDevice* hub = findHub(view->controllers, place_);
        if (!hub) return ERROR_NOT_READY;
        if (code == IOCTL_USB_GET_NODE_INFORMATION) return nodeInformation(*hub, out, outSize, returned);
        if (code != IOCTL_USB_GET_NODE_CONNECTION_INFORMATION && code != IOCTL_USB_GET_NODE_CONNECTION_NAME &&
            code != IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME)
            return ERROR_INVALID_FUNCTION;
        ULONG port = 0;
        if (!in || inSize < sizeof port || !out || outSize < sizeof port) return ERROR_INVALID_PARAMETER;
        std::memcpy(&port, in, sizeof port);
        if (port == 0 || port > hub->portCount) return ERROR_INVALID_PARAMETER;
        std::memmove(out, in, sizeof port);  // ConnectionIndex comes back as it went
        const UsbDevice* device = onPort(*hub, unsigned(port));
        if (code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION)
            return connectionInformation(device, out, outSize, returned);
        if (!device) return ERROR_INVALID_PARAMETER;
        if (code == IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME)
            return writeName(device->driverKey, kNodeNameHeader, out, outSize, returned);
        HubPlace below = place_;
        below.ports.push_back(device->port);
        return writeName(device->hub ? hubName(below, *device) : std::string(), kNodeNameHeader, out, outSize,
                         returned);
    }

private:
    static DWORD nodeInformation(const UsbDevice& hub, uint8_t* out, DWORD outSize, DWORD& returned) {
        USB_NODE_INFORMATION information {};
        if (!out || outSize < sizeof information) return ERROR_INSUFFICIENT_BUFFER;
        information.u.HubInformation.HubDescriptor.bDescriptorLength = kHubDescriptorLength;
        information.u.HubInformation.HubDescriptor.bDescriptorType = kHubDescriptorType;
        information.u.HubInformation.HubDescriptor.bNumberOfPorts = UCHAR(std::min(hub.portCount, 255u));
        std::memcpy(out, &information, sizeof information);
        returned = sizeof information;
        return ERROR_SUCCESS;
    }

    static DWORD connectionInformation(const UsbDevice* device, uint8_t* out, DWORD outSize, DWORD& returned) {
        if (outSize < kConnectionHeader) return ERROR_INSUFFICIENT_BUFFER;
        USB_NODE_CONNECTION_INFORMATION information {};
        std::memcpy(&information.ConnectionIndex, out, sizeof information.ConnectionIndex);
        if (device) {
            USB_DEVICE_DESCRIPTOR& descriptor = information.DeviceDescriptor;
            descriptor.bLength = sizeof descriptor;
            descriptor.bDescriptorType = 1;
            descriptor.bcdUSB = 0x0200;
            descriptor.bDeviceClass = device->deviceClass;
            descriptor.bDeviceSubClass = device->deviceSubClass;
            descriptor.idVendor = device->vendorId;
            descriptor.idProduct = device->productId;
            descriptor.bNumConfigurations = 1;
            information.CurrentConfigurationValue = 1;
            information.DeviceIsHub = device->hub ? 1 : 0;
            information.DeviceAddress = USHORT(device->port + 1);
            information.ConnectionStatus = DeviceConnected;
        }
        std::memcpy(out, &information, kConnectionHeader);
        returned = DWORD(kConnectionHeader);
        return ERROR_SUCCESS;
    }

    HubPlace place_;
};

bool hasPrefix(const std::string& text, const char* prefix) {
    const size_t length = std::strlen(prefix);
    return text.size() >= length && sameNoCase(text.substr(0, length), prefix);
}

HANDLE notFound() {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool openUsbDevice(const std::string& path, HANDLE& handle) {
    if (hasPrefix(path, kControllerPrefix)) {
        const std::string number = path.substr(sizeof kControllerPrefix - 1);
        const bool digits = !number.empty() && number.size() <= kMaxControllerDigits &&
                            std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        const size_t controller = digits ? std::stoul(number) : 0;
        if (!digits || controller >= usbView()->controllers.size()) {
            handle = notFound();
            return true;
        }
        SetLastError(ERROR_SUCCESS);
        handle = registerHandle(std::make_shared<ControllerDevice>(controller));
        return true;
    }
    if (!hasPrefix(path, "\\\\.\\USB#")) return false;
    const std::string name = path.substr(sizeof kHubPrefix - 1);
    const auto view = usbView();
    const auto found = view->hubs.find(lowerCase(name));
    if (found == view->hubs.end()) {
        handle = notFound();
        return true;
    }
    SetLastError(ERROR_SUCCESS);
    handle = registerHandle(std::make_shared<HubDevice>(found->second));
    return true;
}

} // namespace vexa::platform
