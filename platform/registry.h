// Opening keys of the registry below HKEY_LOCAL_MACHINE. Which keys exist
// is the current machine's Windows identity (WindowsIdentity::registryKeys,
// each listed key's parents included); values are not offered.
#pragma once

#include "platform/win_types.h"

struct RegistryKeyRecord;
using HKEY = RegistryKeyRecord*;

inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t(0x80000002));

constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_READ = 0x20019;

// ERROR_SUCCESS with a key to close, ERROR_FILE_NOT_FOUND for a key that
// does not exist, ERROR_INVALID_HANDLE for a parent that is not an open key
// or HKEY_LOCAL_MACHINE. Key names compare without case.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, DWORD desiredAccess, HKEY* result);
LONG RegCloseKey(HKEY key);
