// Kernel objects the program waits on: mutexes (named ones are shared by
// every process of the object namespace, see object_namespace.h), thread
// handles, and the functions that wait for and close them.
#pragma once

#include "platform/win_types.h"

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;

// Creates a mutex, or opens the existing one of that name (last error 183).
// A named mutex is recursive for its owning thread and shared across
// processes; when its owner ends without releasing it, the next waiter gets
// WAIT_ABANDONED and owns it. The security descriptor is accepted and not
// applied: the object namespace itself is private to its owner.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
// Opens an existing named mutex; null with ERROR_FILE_NOT_FOUND when there is none.
HANDLE OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);

// Waits for a mutex (ownership) or a thread (its end).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
