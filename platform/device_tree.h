// The configuration manager's device tree (setupapi), loaded by name. It
// walks the device tree the current machine describes; a machine without one
// (the Linux host) has no root node to locate.
#pragma once

#include <cstdint>

#include "platform/guid.h"
#include "platform/registry.h"
#include "platform/win_types.h"

using DEVINST = DWORD;
using CONFIGRET = DWORD;

constexpr CONFIGRET CR_SUCCESS = 0x00;
constexpr CONFIGRET CR_INVALID_POINTER = 0x03;
constexpr CONFIGRET CR_INVALID_DEVNODE = 0x05;
constexpr CONFIGRET CR_NO_SUCH_DEVNODE = 0x0D;
constexpr CONFIGRET CR_BUFFER_SMALL = 0x1A;
constexpr CONFIGRET CR_NO_SUCH_VALUE = 0x25;

constexpr ULONG CM_DRP_DEVICEDESC = 0x01;
constexpr ULONG CM_DRP_DRIVER = 0x0A;

using PFN_CM_Locate_DevNodeA = CONFIGRET (*)(DEVINST* devInst, const char* deviceId, ULONG flags);
using PFN_CM_Get_Child = CONFIGRET (*)(DEVINST* child, DEVINST devInst, ULONG flags);
using PFN_CM_Get_Sibling = CONFIGRET (*)(DEVINST* sibling, DEVINST devInst, ULONG flags);
using PFN_CM_Get_Parent = CONFIGRET (*)(DEVINST* parent, DEVINST devInst, ULONG flags);
using PFN_CM_Get_DevNode_Registry_PropertyA = CONFIGRET (*)(DEVINST devInst, ULONG property,
                                                            ULONG* regDataType, PVOID buffer,
                                                            ULONG* length, ULONG flags);

// Device information sets (SetupDi*), loaded by name from setupapi: the
// devices of the current machine's device tree whose enumerator property
// (SPDRP_ENUMERATOR_NAME) matches.
using HDEVINFO = void*;

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    uint8_t ClassGuid[16];
    DWORD DevInst;
    ULONG_PTR Reserved;
};

constexpr DWORD DIGCF_PRESENT = 0x2;
constexpr DWORD DIGCF_ALLCLASSES = 0x4;
constexpr DWORD SPDRP_DEVICEDESC = 0x00;
constexpr DWORD SPDRP_DRIVER = 0x09;
constexpr DWORD SPDRP_PHYSICAL_DEVICE_OBJECT_NAME = 0x0E;
constexpr DWORD SPDRP_ENUMERATOR_NAME = 0x16;

using PFN_SetupDiGetClassDevsA = HDEVINFO (*)(const void* classGuid, const char* enumerator,
                                              void* parentWindow, DWORD flags);
using PFN_SetupDiDestroyDeviceInfoList = BOOL (*)(HDEVINFO set);
using PFN_SetupDiEnumDeviceInfo = BOOL (*)(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* data);
using PFN_SetupDiGetDeviceRegistryPropertyA = BOOL (*)(HDEVINFO set, SP_DEVINFO_DATA* data,
                                                       DWORD property, DWORD* regDataType,
                                                       BYTE* buffer, DWORD bufferSize,
                                                       DWORD* requiredSize);

// The monitor setup class: its set holds one device per present monitor
// of the current machine, whose hardware key holds the value "EDID" (the
// monitor's identification block, as many bytes as the monitor gave).
extern const GUID GUID_DEVCLASS_MONITOR;
constexpr DWORD DICS_FLAG_GLOBAL = 1;
constexpr DWORD DIREG_DEV = 1;
// The hardware key (DIREG_DEV) of a member of a set; INVALID_HANDLE_VALUE
// when the device has none (only monitors have one here).
using PFN_SetupDiOpenDevRegKey = HKEY (*)(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD scope,
                                          DWORD hardwareProfile, DWORD keyType, DWORD access);
