// Loading of system libraries by bare file name from the system folder
// only, so that a planted copy of a library in the current or the
// program's folder is never picked up. Failures give null with the reason
// in the thread's last error (GetLastError): ERROR_BAD_ARGUMENTS (160) for a
// name with a path separator, the loader's error otherwise; the last error
// is 0 when a load starts.
#pragma once

#include <optional>
#include <string>

#include "platform/win_types.h"

// The bits of the LoadLibraryExW flags that would widen the search
// (LOAD_WITH_ALTERED_SEARCH_PATH and the LOAD_LIBRARY_SEARCH_* bits); the
// system-folder loads clear them.
constexpr DWORD kSearchWideningLoadFlags = 0x1F08;

HMODULE SecureLoadSystemLibraryExA(const char* name, DWORD flags);
HMODULE SecureLoadSystemLibraryExW(const wchar_t* name, DWORD flags);

// The system folder's path with the name appended (one backslash between
// them); none for a null name or when the folder cannot be asked.
std::optional<std::wstring> BuildSystemDirectoryPath(const wchar_t* name);
// Widens an ASCII name byte for byte; none for null.
std::optional<std::wstring> AnsiToWideLocalAlloc(const char* name);
// Whether the name holds a '\' or a '/'; false for null.
bool HasPathSeparator(const wchar_t* name);
