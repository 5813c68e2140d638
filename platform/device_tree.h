// The configuration manager's device tree (setupapi), loaded by name. It
// walks the device tree the current machine describes; a machine without one
// (the Linux host) has no root node to locate.
#pragma once

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
constexpr ULONG REG_SZ = 1;

using PFN_CM_Locate_DevNodeA = CONFIGRET (*)(DEVINST* devInst, const char* deviceId, ULONG flags);
using PFN_CM_Get_Child = CONFIGRET (*)(DEVINST* child, DEVINST devInst, ULONG flags);
using PFN_CM_Get_Sibling = CONFIGRET (*)(DEVINST* sibling, DEVINST devInst, ULONG flags);
using PFN_CM_Get_Parent = CONFIGRET (*)(DEVINST* parent, DEVINST devInst, ULONG flags);
using PFN_CM_Get_DevNode_Registry_PropertyA = CONFIGRET (*)(DEVINST devInst, ULONG property,
                                                            ULONG* regDataType, PVOID buffer,
                                                            ULONG* length, ULONG flags);
