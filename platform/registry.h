// Opening keys of the registry below HKEY_LOCAL_MACHINE. Which keys exist
// is the current machine's Windows identity (WindowsIdentity::registryKeys,
// each listed key's parents included); those keys offer no values. The
// device keys setupapi opens (SetupDiOpenDevRegKey) hold binary values,
// which RegQueryValueExA reads.
//
// Below HKEY_CLASSES_ROOT the web browser's registration is answered from
// the desktop (internal/browser_command.h): ".htm" of class "htmlfile",
// and "htmlfile\shell\open\command" and "http\shell\open\command"
// whose default value is the browser's command line with the placeholder
// "%1" for the address. Without a browser these keys do not exist.
#pragma once

#include "platform/win_types.h"

struct RegistryKeyRecord;
using HKEY = RegistryKeyRecord*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t(0x80000000));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t(0x80000002));

constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;

// ERROR_SUCCESS with a key to close, ERROR_FILE_NOT_FOUND for a key that
// does not exist, ERROR_INVALID_HANDLE for a parent that is not an open key
// or a root key. Key names compare without case.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, DWORD desiredAccess, HKEY* result);
LONG RegCloseKey(HKEY key);
// The value `name` (compared without case; null or empty: the default
// value) of an open key: its type (REG_BINARY for a device key's values,
// REG_SZ, terminator included, for the browser registration's default
// values), and its bytes when `data` is given. Without `data` the size
// needed goes to `size`; with a buffer smaller than the value,
// ERROR_MORE_DATA and the size needed. ERROR_FILE_NOT_FOUND for a value
// the key does not hold.
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
