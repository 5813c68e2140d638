// The USB host controllers and hubs of the current machine as Windows' USB
// stack offers them. CreateFileA opens "\\.\HCDn" (n: the controller's
// position in the machine's list) and "\\.\<hub name>"; DeviceIoControl
// answers:
//
// - on a controller, IOCTL_USB_GET_ROOT_HUB_NAME: the root hub's name
//   "USB#ROOT_HUB#<n>#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
// - on a hub, IOCTL_USB_GET_NODE_INFORMATION (its hub descriptor, with the
//   number of ports), IOCTL_USB_GET_NODE_CONNECTION_INFORMATION (the device
//   on port ConnectionIndex, or none), ..._DRIVERKEY_NAME (that device's
//   driver key) and ..._NAME (the name of the hub on that port,
//   "USB#VID_vvvv&PID_pppp#<n>&<port>.<port>...#{f18a0e88-...}"; empty for
//   other devices).
//
// A name request whose output holds less than the whole name fills only
// ActualLength, the size of the structure with the whole name.
// Structures follow their documented, byte-packed layouts; WCHAR is this
// platform's wchar_t.
#pragma once

#include "platform/win_types.h"

constexpr DWORD IOCTL_USB_GET_ROOT_HUB_NAME = 0x220408;
constexpr DWORD IOCTL_USB_GET_NODE_INFORMATION = 0x220408;  // on a hub
constexpr DWORD IOCTL_USB_GET_NODE_CONNECTION_INFORMATION = 0x22040C;
constexpr DWORD IOCTL_USB_GET_NODE_CONNECTION_NAME = 0x220414;
constexpr DWORD IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME = 0x220420;

#pragma pack(push, 1)
struct USB_ROOT_HUB_NAME {
    ULONG ActualLength;
    WCHAR RootHubName[1];
};

struct USB_HUB_DESCRIPTOR {
    UCHAR bDescriptorLength;
    UCHAR bDescriptorType;
    UCHAR bNumberOfPorts;
    USHORT wHubCharacteristics;
    UCHAR bPowerOnToPowerGood;
    UCHAR bHubControlCurrent;
    UCHAR bRemoveAndPowerMask[64];
};

struct USB_HUB_INFORMATION {
    USB_HUB_DESCRIPTOR HubDescriptor;
    BOOLEAN HubIsBusPowered;
};

struct USB_NODE_INFORMATION {
    DWORD NodeType;  // 0 UsbHub
    union {
        USB_HUB_INFORMATION HubInformation;
    } u;
};

struct USB_DEVICE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    USHORT idVendor;
    USHORT idProduct;
    USHORT bcdDevice;
    UCHAR iManufacturer;
    UCHAR iProduct;
    UCHAR iSerialNumber;
    UCHAR bNumConfigurations;
};

struct USB_ENDPOINT_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bEndpointAddress;
    UCHAR bmAttributes;
    USHORT wMaxPacketSize;
    UCHAR bInterval;
};

struct USB_PIPE_INFO {
    USB_ENDPOINT_DESCRIPTOR EndpointDescriptor;
    ULONG ScheduleOffset;
};

struct USB_NODE_CONNECTION_INFORMATION {
    ULONG ConnectionIndex;  // the port, from 1
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    UCHAR CurrentConfigurationValue;
    BOOLEAN LowSpeed;
    BOOLEAN DeviceIsHub;
    USHORT DeviceAddress;
    ULONG NumberOfOpenPipes;
    DWORD ConnectionStatus;  // 0 no device, 1 device connected
    USB_PIPE_INFO PipeList[1];  // NumberOfOpenPipes of them
};

struct USB_NODE_CONNECTION_NAME {
    ULONG ConnectionIndex;
    ULONG ActualLength;
    WCHAR NodeName[1];
};

struct USB_NODE_CONNECTION_DRIVERKEY_NAME {
    ULONG ConnectionIndex;
    ULONG ActualLength;
    WCHAR DriverKeyName[1];
};
#pragma pack(pop)

static_assert(sizeof(USB_NODE_INFORMATION) == 76);
static_assert(sizeof(USB_PIPE_INFO) == 11);

constexpr DWORD DeviceConnected = 1;
constexpr DWORD NoDeviceConnected = 0;
