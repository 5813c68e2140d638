// The batteries of the current machine as Windows' battery class offers
// them: the battery interface set (device_interfaces.h) lists one device
// path per battery, CreateFileA opens it and DeviceIoControl answers the
// three battery requests below with the class driver's documented
// structures. A battery that went away since the set was made fails every
// request with ERROR_FILE_NOT_FOUND.
#pragma once

#include "platform/guid.h"
#include "platform/win_types.h"

extern const GUID GUID_DEVCLASS_BATTERY;

constexpr DWORD IOCTL_BATTERY_QUERY_TAG = 0x294040;
constexpr DWORD IOCTL_BATTERY_QUERY_INFORMATION = 0x294044;
constexpr DWORD IOCTL_BATTERY_QUERY_STATUS = 0x29404C;

// Capabilities of BATTERY_INFORMATION.
constexpr ULONG BATTERY_SYSTEM_BATTERY = 0x80000000;
constexpr ULONG BATTERY_CAPACITY_RELATIVE = 0x40000000;
constexpr ULONG BATTERY_IS_SHORT_TERM = 0x20000000;
// A capacity, voltage or rate the battery does not know.
constexpr ULONG BATTERY_UNKNOWN_VALUE = 0xFFFFFFFF;

enum BATTERY_QUERY_INFORMATION_LEVEL : DWORD { BatteryInformation = 0 };

#pragma pack(push, 4)
struct BATTERY_QUERY_INFORMATION {
    ULONG BatteryTag;
    BATTERY_QUERY_INFORMATION_LEVEL InformationLevel;
    ULONG AtRate;
};

struct BATTERY_INFORMATION {
    ULONG Capabilities;
    UCHAR Technology;
    UCHAR Reserved[3];
    UCHAR Chemistry[4];
    ULONG DesignedCapacity;     // mWh, or percent with BATTERY_CAPACITY_RELATIVE
    ULONG FullChargedCapacity;  // likewise
    ULONG DefaultAlert1;
    ULONG DefaultAlert2;
    ULONG CriticalBias;
    ULONG CycleCount;
};

struct BATTERY_WAIT_STATUS {
    ULONG BatteryTag;
    ULONG Timeout;
    ULONG PowerState;
    ULONG LowCapacity;
    ULONG HighCapacity;
};

struct BATTERY_STATUS {
    ULONG PowerState;
    ULONG Capacity;  // mWh, or percent with BATTERY_CAPACITY_RELATIVE
    ULONG Voltage;   // mV
    LONG Rate;       // mW, negative while discharging
};
#pragma pack(pop)

static_assert(sizeof(BATTERY_QUERY_INFORMATION) == 12);
static_assert(sizeof(BATTERY_INFORMATION) == 36);
static_assert(sizeof(BATTERY_WAIT_STATUS) == 20);
static_assert(sizeof(BATTERY_STATUS) == 16);
