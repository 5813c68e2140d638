#include "platform/internal/handles.h"

#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "platform/sync.h"

namespace vexa::platform {

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;  // handle values are never reused
};

HandleTable& table() {
    static HandleTable* instance = new HandleTable;  // outlives every static destructor
    return *instance;
}

} // namespace

DWORD KernelObject::wait(DWORD) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

HANDLE registerHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& t = table();
    std::lock_guard guard(t.lock);
    const uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle) {
    HandleTable& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool closeHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;  // destroyed outside the table lock
    HandleTable& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return false;
    object = std::move(it->second);
    t.objects.erase(it);
    return true;
}

DWORD errorFromErrno(int error) {
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ELOOP:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case EIO: return ERROR_GEN_FAILURE;
    case ENOSPC: return 112;  // ERROR_DISK_FULL
    default: return ERROR_GEN_FAILURE;
    }
}

} // namespace vexa::platform

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

BOOL CloseHandle(HANDLE handle) {
    if (handle == vexa::platform::kCurrentThreadHandle ||
        handle == vexa::platform::kCurrentProcessHandle)
        return TRUE;
    if (!vexa::platform::closeHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = vexa::platform::lookupHandle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->wait(milliseconds);
}
