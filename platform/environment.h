// The process's surroundings: computer name, current and system folders,
// local time.
#pragma once

#include "platform/win_types.h"

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

// The host name, cut to 15 characters and upper-cased as NetBIOS names are.
// `size` holds the buffer size in, the length (or the size needed) out.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);
// The length written, or the size needed with the terminator when the
// buffer is too small.
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
// Folders standing in for the Windows and system folders: a root-only
// folder of the object namespace.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
// The same folder in wide text; `buffer` may be null with `size` 0 to ask
// for the size needed.
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
void GetLocalTime(SYSTEMTIME* time);
