// Libraries loaded by name. The program looks up operating-system functions
// that older Windows versions lack at run time and skips what is missing;
// here the "system libraries" are tables of our own functions
// (internal/libraries.h). Library names compare without case, with or
// without a path and a ".dll" suffix.
//
// LoadLibraryExW loads a library by its path: in the system folder
// (GetSystemDirectoryW) it finds the system libraries above and the vendor
// libraries the current machine has installed there, simulated in the
// process (the NVIDIA driver library, platform/nvapi_library.cpp); any
// other path names a real shared object, loaded with dlopen. Loaded
// libraries are counted: each load needs its FreeLibrary.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win_types.h"

constexpr DWORD ERROR_BAD_ARGUMENTS = 160;

// LoadLibraryExW flags.
constexpr DWORD DONT_RESOLVE_DLL_REFERENCES = 0x00000001;
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;
constexpr DWORD LOAD_WITH_ALTERED_SEARCH_PATH = 0x00000008;
constexpr DWORD LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR = 0x00000100;
constexpr DWORD LOAD_LIBRARY_SEARCH_APPLICATION_DIR = 0x00000200;
constexpr DWORD LOAD_LIBRARY_SEARCH_USER_DIRS = 0x00000400;
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
constexpr DWORD LOAD_LIBRARY_SEARCH_DEFAULT_DIRS = 0x00001000;

HMODULE LoadLibraryA(LPCSTR fileName);
// `file` must be null. A name without a folder is looked up as by
// LoadLibraryA. The flags do not change where a library is found.
HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// Gives back one load of a loaded library; the library leaves the process
// with its last load.
BOOL FreeLibrary(HMODULE module);
// null: the program itself. A library loaded by path is found by its file
// name while it is loaded.
HMODULE GetModuleHandleA(LPCSTR moduleName);
// The path of the program (module null or the program's handle). Returns the
// length copied; a path that does not fit is cut and ERROR_INSUFFICIENT_BUFFER set.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

namespace vexa::platform {

// Typed lookup: GetProcAddress cast to the function type.
template <typename F>
F lookup(HMODULE module, const char* name) {
    return reinterpret_cast<F>(GetProcAddress(module, name));
}

// The first bytes of a loaded library's image as Windows maps it, where a
// module handle points: the DOS header ("MZ", e_lfanew at 0x3C) and the NT
// headers at e_lfanew (the file header's TimeDateStamp, the optional
// header's CheckSum). A simulated library carries the identity its machine
// gives it at the moment of the call; a shared object, which has no such
// headers, the CheckSum 0 and its file's modification time as
// TimeDateStamp. Empty for the system libraries, the program and a handle
// that is not loaded.
std::vector<uint8_t> imageHeaders(HMODULE module);

} // namespace vexa::platform
