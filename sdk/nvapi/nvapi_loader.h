// The loader of the NVIDIA driver library "nvapi.dll". The library exports
// one function, nvapi_QueryInterface, which maps a 32-bit interface id to
// the address of its implementation. The loader loads the library on
// demand from the system folder only (secure_load.h), resolves that export,
// runs the library's initialiser, keeps the two trace hooks the library may
// offer, notices when the image in the process has been replaced, counts
// the calls in flight and unloads the library on request. The interface
// stubs (nvapi_stubs.h) call it before every call.
//
// Nothing here is locked but the loading itself: callers hold the library
// lock, so no two threads use the client at once.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// The result of every function of the client and of the library.
using NvapiStatus = int32_t;

constexpr NvapiStatus kNvapiOk = 0;
// The library or its initialiser failed, an unload is still running after
// the waits, or calls are in flight during an unload.
constexpr NvapiStatus kNvapiError = -1;
// "nvapi.dll" cannot be loaded from the system folder.
constexpr NvapiStatus kNvapiLibraryNotFound = -2;
// The installed library does not implement the interface id.
constexpr NvapiStatus kNvapiNoInterface = -3;
// An unload was asked while the library is not loaded.
constexpr NvapiStatus kNvapiNotLoaded = -4;
// Inside the client only: the library has just been resolved (anew).
constexpr NvapiStatus kNvapiJustResolved = -14;

// Interface ids with a special role.
constexpr uint32_t kNvapiInitializeId = 0x0150E828;
constexpr uint32_t kNvapiPreCallHookId = 0x33C7358C;
constexpr uint32_t kNvapiPostCallHookId = 0x593E8644;
constexpr uint32_t kNvapiUnloadId = 0xD22BDD7E;

enum LibraryIndex : uint32_t { kNvapiLibrary = 0 };

using NvapiQueryInterfaceFunction = void* (*)(uint32_t id);
struct NvapiTraceContext {
    uint32_t Words[2];
};
using NvapiPreCallHook = void (*)(uint32_t id, NvapiTraceContext* context);
using NvapiPostCallHook = void (*)(uint32_t id, uint32_t word0, uint32_t word1, NvapiStatus result);

struct NvapiLibrarySlot {
    HMODULE Module = nullptr;  // set only after a successful resolve
    NvapiQueryInterfaceFunction QueryInterface = nullptr;
    uint8_t Unloading = 0;
    // The identity of the image last resolved: the CheckSum of its optional
    // header and the TimeDateStamp of its file header.
    uint32_t CheckSum = 0, TimeDateStamp = 0;
    uint32_t CallsInFlight = 0;
    // Raised by every successful resolve; the stubs drop pointers they
    // cached under another generation.
    uint32_t Generation = 0;
};

struct NvapiLoaderState {
    NvapiLibrarySlot Slots[1];
    NvapiPreCallHook PreCallHook = nullptr;
    NvapiPostCallHook PostCallHook = nullptr;
};

// The process's loader state.
extern NvapiLoaderState g_NvapiLoader;

// Makes sure "nvapi.dll" is loaded and resolved and counts one call in
// flight. On kNvapiOk and kNvapiJustResolved the caller owns that count and
// gives it back when its call is over; on any other result nothing is
// counted. `*module` receives the library's handle.
NvapiStatus NvapiEnsureLoaded(HMODULE* module);
// Looks up the query function, runs the initialiser and takes the hooks.
NvapiStatus NvapiResolveEntry(HMODULE module, LibraryIndex index);
void NvapiRecordModuleIdentity(HMODULE module, LibraryIndex index);
// Whether the image differs from the one last resolved: by its CheckSum,
// or by its TimeDateStamp when its CheckSum is 0.
bool NvapiModuleIdentityChanged(HMODULE module, LibraryIndex index);

// kNvapiOk when the library is loaded and initialised (also when it already
// was), else the loader's status.
NvapiStatus NvAPI_Initialize();
// Tells the library and unloads it; kNvapiError while calls are in flight.
NvapiStatus NvAPI_Unload();
