// The process's handle table. A handle is an opaque number that refers to a
// kernel object (mutex, thread, file, console); the objects are shared, so a
// thread waiting on an object keeps it alive while another closes the handle.
#pragma once

#include <memory>

#include "platform/win_types.h"

namespace vexa::platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Waits for the object; objects that cannot be waited on fail with
    // ERROR_INVALID_HANDLE.
    virtual DWORD wait(DWORD milliseconds);
};

HANDLE registerHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
bool closeHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(lookupHandle(handle));
}

// Pseudo-handles of the calling thread and process.
inline HANDLE const kCurrentProcessHandle = reinterpret_cast<HANDLE>(intptr_t(-1));
inline HANDLE const kCurrentThreadHandle = reinterpret_cast<HANDLE>(intptr_t(-2));

// The Windows error number for a C library errno.
DWORD errorFromErrno(int error);

} // namespace vexa::platform
