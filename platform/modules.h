// Libraries loaded by name. The program looks up operating-system functions
// that older Windows versions lack at run time and skips what is missing;
// here the "system libraries" are tables of our own functions
// (internal/libraries.h). Library names compare without case, with or
// without a path and a ".dll" suffix.
#pragma once

#include "platform/win_types.h"

HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
// null: the program itself.
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

} // namespace vexa::platform
