// Devices of kernel drivers and the requests sent to them. A device path
// "\\.\<name>" opened with CreateFileA reaches the stand-in driver of a
// running kernel-driver service of that name (Windows NT) or a stand-in VxD
// file "<name>.vxd" in the current or temporary folder (Windows 9x);
// DeviceIoControl hands it a request, which it serves from the current
// machine.
//
// A stand-in driver image is a small text file: its first line is
// "vexa stand-in driver" and its second "build: vxd", "build: x86",
// "build: x64" or "build: ia64". A kernel-driver service starts only from an
// image of the build that fits the running Windows.
#pragma once

#include "platform/win_types.h"

BOOL DeviceIoControl(HANDLE device, DWORD controlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                     LPVOID overlapped);

constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
