#include "platform/modules.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/internal/libraries.h"
#include "platform/testing.h"

struct ModuleRecord {
    const char* name;  // lower case, with ".dll"; null for the program itself
    std::span<const vexa::platform::LibraryExport> (*exports)();
};

namespace vexa::platform {
namespace {

ModuleRecord program{nullptr, nullptr};
ModuleRecord libraries[] = {
    {"advapi32.dll", advapi32Exports},
    {"kernel32.dll", kernel32Exports},
    {"ntdll.dll", ntdllExports},
    {"setupapi.dll", setupapiExports},
    {"user32.dll", user32Exports},
    {"wininet.dll", wininetExports},
};

std::mutex hiddenLock;
std::set<std::string> hiddenLibraries;
std::set<std::pair<std::string, std::string>> hiddenExports;

// "C:\Windows\System32\ADVAPI32" -> "advapi32.dll".
std::string libraryKey(const char* fileName) {
    std::string name = fileName;
    const auto separator = name.find_last_of("\\/");
    if (separator != std::string::npos) name.erase(0, separator + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!name.empty() && name.back() == '.') name.pop_back();  // "name." means no extension
    else if (name.find('.') == std::string::npos) name += ".dll";
    return name;
}

bool isHidden(const std::string& library, const std::string& function = {}) {
    std::lock_guard guard(hiddenLock);
    if (hiddenLibraries.count(library)) return true;
    return !function.empty() && hiddenExports.count({library, function});
}

// Whether the identity's Windows has a function that came with a version.
bool presentInThisWindows(const LibraryExport& entry) {
    if (entry.sinceNtVersion == 0) return true;
    const machine::WindowsIdentity identity = testing::windowsIdentity();
    const uint32_t version = identity.majorVersion << 8 | std::min(identity.minorVersion, 0xFFu);
    return identity.platformId == 2 && version >= entry.sinceNtVersion;
}

} // namespace

namespace testing {

void hideLibrary(const std::string& library) {
    std::lock_guard guard(hiddenLock);
    hiddenLibraries.insert(libraryKey(library.c_str()));
}

void hideExport(const std::string& library, const std::string& function) {
    std::lock_guard guard(hiddenLock);
    hiddenExports.insert({libraryKey(library.c_str()), function});
}

void restoreLibraries() {
    std::lock_guard guard(hiddenLock);
    hiddenLibraries.clear();
    hiddenExports.clear();
}

} // namespace testing
} // namespace vexa::platform

using namespace vexa::platform;

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string key = libraryKey(fileName);
    for (ModuleRecord& library : libraries) {
        if (key == library.name && !isHidden(key)) return &library;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    // Lookups by ordinal (a small integer in place of the name) are not offered.
    if (!module || !module->exports || reinterpret_cast<uintptr_t>(procName) < 0x10000) {
        SetLastError(module ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    for (const LibraryExport& entry : module->exports()) {
        if (std::strcmp(entry.name, procName) == 0 && !isHidden(module->name, procName) &&
            presentInThisWindows(entry))
            return entry.function;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return &program;
    const std::string key = libraryKey(moduleName);
    for (ModuleRecord& library : libraries) {
        if (key == library.name) return &library;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module && module != &program) {
        SetLastError(ERROR_MOD_NOT_FOUND);  // system libraries have no file here
        return 0;
    }
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    path[length] = '\0';
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (static_cast<DWORD>(length) >= size) {
        std::memcpy(fileName, path, size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path, static_cast<size_t>(length) + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(length);
}
