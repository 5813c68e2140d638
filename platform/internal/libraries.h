// The system libraries this platform offers to LoadLibraryA, each a table
// of exported functions defined beside their implementation.
#pragma once

#include <cstdint>
#include <span>

#include "platform/win_types.h"

namespace vexa::platform {

struct LibraryExport {
    const char* name;
    FARPROC function;
    // The first Windows NT version that has the function (major << 8 |
    // minor, 0x0601 for Windows 7); 0: every version. Identities of older
    // versions do not find it.
    uint16_t sinceNtVersion = 0;
};

template <typename F>
FARPROC exported(F* function) {
    return reinterpret_cast<FARPROC>(function);
}

std::span<const LibraryExport> advapi32Exports();
std::span<const LibraryExport> kernel32Exports();
std::span<const LibraryExport> ntdllExports();
std::span<const LibraryExport> setupapiExports();
std::span<const LibraryExport> user32Exports();
std::span<const LibraryExport> wininetExports();

// A vendor library that a machine may have installed in the system folder,
// simulated in the process (LoadLibraryExW of its system-folder path).
struct SimulatedLibrary {
    const char* name;  // lower case, with ".dll"
    std::span<const LibraryExport> (*exports)();
    bool (*installed)();  // whether the current machine has it
    // The CheckSum and TimeDateStamp of its image now (they change when the
    // machine replaces the image).
    void (*identity)(uint32_t& checkSum, uint32_t& timeDateStamp);
};

// The NVIDIA driver library (nvapi_library.cpp).
extern const SimulatedLibrary nvapiLibrary;
// The AMD display library under its two file names (adl_library.cpp).
extern const SimulatedLibrary adlLibrary;
extern const SimulatedLibrary adlLibrary32;

} // namespace vexa::platform
