#include "sdk/nvapi/nvapi_loader.h"

#include <mutex>

#include "platform/modules.h"
#include "platform/threads.h"
#include "sdk/nvapi/secure_load.h"

NvapiLoaderState g_NvapiLoader;

namespace {

constexpr const char* kLibraryName = "nvapi.dll";
constexpr const char* kQueryInterfaceName = "nvapi_QueryInterface";
// An unload in progress is waited out in steps of 100 ms, at most ten.
constexpr DWORD kUnloadWaitStepMs = 100;
constexpr int kUnloadWaitSteps = 10;

// Serialises the loading, resolving and freeing of the library.
std::mutex& loadLock() {
    static std::mutex lock;
    return lock;
}

NvapiLibrarySlot& slotOf(LibraryIndex index) { return g_NvapiLoader.Slots[index]; }

// Resolves a library found in or brought into the process; on success the
// slot keeps it and its identity. The identity is recorded only here, so a
// failed resolve is tried again by the next call.
NvapiStatus resolveAndKeep(HMODULE module) {
    const NvapiStatus status = NvapiResolveEntry(module, kNvapiLibrary);
    if (status != kNvapiOk) return status;
    slotOf(kNvapiLibrary).Module = module;
    NvapiRecordModuleIdentity(module, kNvapiLibrary);
    return kNvapiJustResolved;
}

template <typename F>
F answer(NvapiQueryInterfaceFunction query, uint32_t id) {
    return reinterpret_cast<F>(query(id));
}

} // namespace

NvapiStatus NvapiEnsureLoaded(HMODULE* module) {
    NvapiLibrarySlot& slot = slotOf(kNvapiLibrary);
    for (int waits = 0; slot.Unloading;) {
        Sleep(kUnloadWaitStepMs);
        if (++waits >= kUnloadWaitSteps) return kNvapiError;
    }
    ++slot.CallsInFlight;
    HMODULE found = GetModuleHandleA(kLibraryName);
    if (!found) {
        std::lock_guard guard(loadLock());
        found = GetModuleHandleA(kLibraryName);
        if (!found) {
            HMODULE loaded = SecureLoadSystemLibraryExA(kLibraryName, 0);
            if (!loaded) {
                --slot.CallsInFlight;
                return kNvapiLibraryNotFound;
            }
            const NvapiStatus status = resolveAndKeep(loaded);
            if (status != kNvapiJustResolved) {
                --slot.CallsInFlight;
                FreeLibrary(loaded);
                return status;
            }
            if (module) *module = loaded;
            return status;
        }
    }
    if (module) *module = found;
    // The library is in the process: the same image, once resolved, is
    // used as it is; a first use or another image is resolved (again).
    if (slot.QueryInterface && !NvapiModuleIdentityChanged(found, kNvapiLibrary)) return kNvapiOk;
    const NvapiStatus status = resolveAndKeep(found);
    if (status != kNvapiJustResolved) --slot.CallsInFlight;
    return status;
}

NvapiStatus NvapiResolveEntry(HMODULE module, LibraryIndex index) {
    NvapiLibrarySlot& slot = slotOf(index);
    slot.QueryInterface = vexa::platform::lookup<NvapiQueryInterfaceFunction>(module, kQueryInterfaceName);
    if (!slot.QueryInterface) return kNvapiError;
    const auto initialize = answer<NvapiStatus (*)()>(slot.QueryInterface, kNvapiInitializeId);
    if (!initialize) {
        slot.QueryInterface = nullptr;
        return kNvapiError;
    }
    if (const NvapiStatus status = initialize(); status != kNvapiOk) {
        slot.QueryInterface = nullptr;
        return status;
    }
    g_NvapiLoader.PreCallHook = answer<NvapiPreCallHook>(slot.QueryInterface, kNvapiPreCallHookId);
    g_NvapiLoader.PostCallHook = answer<NvapiPostCallHook>(slot.QueryInterface, kNvapiPostCallHookId);
    // A pre hook alone would mark calls that nobody closes: neither is kept.
    if (g_NvapiLoader.PreCallHook && !g_NvapiLoader.PostCallHook) g_NvapiLoader.PreCallHook = nullptr;
    ++slot.Generation;
    return kNvapiOk;
}

NvapiStatus NvAPI_Initialize() {
    NvapiStatus status = NvapiEnsureLoaded(nullptr);
    if (status == kNvapiJustResolved) status = kNvapiOk;
    if (status == kNvapiOk) --slotOf(kNvapiLibrary).CallsInFlight;
    return status;
}

NvapiStatus NvAPI_Unload() {
    NvapiLibrarySlot& slot = slotOf(kNvapiLibrary);
    slot.Unloading = 1;
    const auto finish = [&slot](NvapiStatus status) {
        slot.Unloading = 0;
        return status;
    };
    if (!slot.Module || !slot.QueryInterface) return finish(kNvapiNotLoaded);
    if (slot.CallsInFlight) return finish(kNvapiError);
    const auto notify = answer<NvapiStatus (*)()>(slot.QueryInterface, kNvapiUnloadId);
    if (!notify) return finish(kNvapiNoInterface);
    if (notify() != kNvapiOk) return finish(kNvapiError);
    {
        std::lock_guard guard(loadLock());
        slot.QueryInterface = nullptr;
        FreeLibrary(slot.Module);
        slot.Module = nullptr;
        g_NvapiLoader.PreCallHook = nullptr;
        g_NvapiLoader.PostCallHook = nullptr;
    }
    return finish(kNvapiOk);
}
