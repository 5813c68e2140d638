#include "platform/modules.h"

#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/internal/libraries.h"
#include "platform/testing.h"
#include "platform/text.h"

namespace vexa::platform {
struct LoadedImage;
}

struct ModuleRecord {
    const char* name;  // lower case, with ".dll"; null for the program itself
    std::span<const vexa::platform::LibraryExport> (*exports)();
    vexa::platform::LoadedImage* image;  // a library loaded by path; null for the ones above
};

namespace vexa::platform {

// A library LoadLibraryExW loaded from a path: a simulated vendor library
// or a shared object. Kept for the life of the process, so that a handle
// never dangles; a library freed to zero loads is reused by the next load
// of its path.
struct LoadedImage {
    std::string key;   // the file name, lower case
    std::string path;  // the native path it was loaded from
    const SimulatedLibrary* simulated = nullptr;
    void* shared = nullptr;  // dlopen's handle of a shared object
    uint32_t timeDateStamp = 0;  // a shared object's modification time
    unsigned loads = 0;
    ModuleRecord record{};
};

namespace {

ModuleRecord program{nullptr, nullptr, nullptr};
ModuleRecord libraries[] = {
    {"advapi32.dll", advapi32Exports, nullptr},
    {"kernel32.dll", kernel32Exports, nullptr},
    {"ntdll.dll", ntdllExports, nullptr},
    {"setupapi.dll", setupapiExports, nullptr},
    {"user32.dll", user32Exports, nullptr},
    {"wininet.dll", wininetExports, nullptr},
};
const SimulatedLibrary* const vendorLibraries[] = {&nvapiLibrary, &adlLibrary, &adlLibrary32};

std::mutex loadedLock;
std::list<LoadedImage> loadedImages;

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

ModuleRecord* systemLibrary(const std::string& key) {
    for (ModuleRecord& library : libraries) {
        if (key == library.name && !isHidden(key)) return &library;
    }
    return nullptr;
}

std::string systemFolder() {
    char folder[4096];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    return length > 0 && length < sizeof folder ? std::string(folder, length) : std::string();
}

// Another user's file, or one that others may change, is no library this
// process runs.
DWORD checkSharedObject(const std::string& path, uint32_t& timeDateStamp) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return ERROR_MOD_NOT_FOUND;
    if (!S_ISREG(status.st_mode)) return ERROR_BAD_EXE_FORMAT;
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) || (status.st_uid != 0 && status.st_uid != geteuid()))
        return ERROR_ACCESS_DENIED;
    timeDateStamp = uint32_t(status.st_mtime);
    return ERROR_SUCCESS;
}

// Counts one more load of the image at `path`, loading it when it is not
// loaded. Called under loadedLock.
HMODULE loadImage(const std::string& path, const std::string& key, const SimulatedLibrary* simulated) {
    LoadedImage* image = nullptr;
    for (LoadedImage& candidate : loadedImages)
        if (candidate.path == path) image = &candidate;
    if (image && image->loads > 0) {
        ++image->loads;
        return &image->record;
    }
    uint32_t timeDateStamp = 0;
    void* shared = nullptr;
    if (!simulated) {
        if (const DWORD error = checkSharedObject(path, timeDateStamp)) {
            SetLastError(error);
            return nullptr;
        }
        shared = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!shared) {
            SetLastError(ERROR_BAD_EXE_FORMAT);
            return nullptr;
        }
    }
    if (!image) image = &loadedImages.emplace_back();
    image->key = key;
    image->path = path;
    image->simulated = simulated;
    image->shared = shared;
    image->timeDateStamp = timeDateStamp;
    image->loads = 1;
    image->record = ModuleRecord{image->key.c_str(), simulated ? simulated->exports : nullptr, image};
    return &image->record;
}

LoadedImage* loadedImage(HMODULE module) {
    return module && module->image && module->image->loads > 0 ? module->image : nullptr;
}

// The DOS header and the NT headers of a 64-bit DLL with that identity.
std::vector<uint8_t> peHeaders(uint32_t checkSum, uint32_t timeDateStamp) {
    constexpr size_t kNtHeaders = 0x80, kFileHeader = kNtHeaders + 4, kOptionalHeader = kFileHeader + 20;
    std::vector<uint8_t> headers(0x200, 0);
    const auto put = [&headers](size_t offset, uint32_t value, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) headers[offset + i] = uint8_t(value >> (8 * i));
    };
    put(0, 'M' | 'Z' << 8, 2);
    put(0x3C, kNtHeaders, 4);                       // e_lfanew
    put(kNtHeaders, 'P' | 'E' << 8, 4);             // "PE\0\0"
    put(kFileHeader, 0x8664, 2);                    // Machine: x64
    put(kFileHeader + 4, timeDateStamp, 4);         // TimeDateStamp
    put(kFileHeader + 16, 0xF0, 2);                 // SizeOfOptionalHeader
    put(kFileHeader + 18, 0x2022, 2);               // Characteristics: executable DLL
    put(kOptionalHeader, 0x20B, 2);                 // Magic: PE32+
    put(kOptionalHeader + 64, checkSum, 4);         // CheckSum
    return headers;
}

} // namespace

std::vector<uint8_t> imageHeaders(HMODULE module) {
    std::lock_guard guard(loadedLock);
    const LoadedImage* image = loadedImage(module);
    if (!image) return {};
    uint32_t checkSum = 0, timeDateStamp = image->timeDateStamp;
    if (image->simulated) image->simulated->identity(checkSum, timeDateStamp);
    return peHeaders(checkSum, timeDateStamp);
}

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
    if (ModuleRecord* library = systemLibrary(libraryKey(fileName))) return library;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD /*flags*/) {
    if (!fileName || !*fileName || file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = toNarrow(fileName);
    if (name.find_first_of("\\/") == std::string::npos) return LoadLibraryA(name.c_str());
    const std::string path = nativePath(name.c_str());
    const std::string key = libraryKey(path.c_str());
    const std::string folder = systemFolder();
    const bool inSystemFolder = !folder.empty() && path.size() > folder.size() && path[folder.size()] == '/' &&
                                path.compare(0, folder.size(), folder) == 0 &&
                                path.find('/', folder.size() + 1) == std::string::npos;
    const SimulatedLibrary* simulated = nullptr;
    if (inSystemFolder) {
        if (ModuleRecord* library = systemLibrary(key)) return library;
        for (const SimulatedLibrary* vendor : vendorLibraries)
            if (key == vendor->name && vendor->installed() && !isHidden(key)) simulated = vendor;
    }
    std::lock_guard guard(loadedLock);
    return loadImage(path, key, simulated);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    // Lookups by ordinal (a small integer in place of the name) are not offered.
    if (module && module->image && reinterpret_cast<uintptr_t>(procName) >= 0x10000) {
        std::lock_guard guard(loadedLock);
        const LoadedImage* image = loadedImage(module);
        if (!image) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        if (image->shared) {
            if (void* symbol = dlsym(image->shared, procName)) return reinterpret_cast<FARPROC>(symbol);
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
    }
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
    if (!module->image) return TRUE;
    std::lock_guard guard(loadedLock);
    LoadedImage* image = loadedImage(module);
    if (!image) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--image->loads == 0 && image->shared) {
        dlclose(image->shared);
        image->shared = nullptr;
    }
    return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return &program;
    const std::string key = libraryKey(moduleName);
    {
        std::lock_guard guard(loadedLock);
        for (LoadedImage& image : loadedImages)
            if (image.loads > 0 && image.key == key) return &image.record;
    }
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
