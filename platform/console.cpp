#include "platform/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/internal/handles.h"

namespace vexa::platform {
namespace {

// A standard stream; the descriptor belongs to the process, not the handle.
class ConsoleObject final : public KernelObject {
public:
    explicit ConsoleObject(int fd) : fd_(fd) {}
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace
} // namespace vexa::platform

using namespace vexa::platform;

HANDLE GetStdHandle(DWORD which) {
    static std::mutex lock;
    static HANDLE handles[3] = {nullptr, nullptr, nullptr};
    int fd;
    switch (which) {
    case STD_INPUT_HANDLE: fd = 0; break;
    case STD_OUTPUT_HANDLE: fd = 1; break;
    case STD_ERROR_HANDLE: fd = 2; break;
    default: SetLastError(ERROR_INVALID_HANDLE); return INVALID_HANDLE_VALUE;
    }
    std::lock_guard guard(lock);
    // Windows hands out the same handle every time; a closed one is renewed.
    if (!handles[fd] || !lookupHandle(handles[fd]))
        handles[fd] = registerHandle(std::make_shared<ConsoleObject>(fd));
    return handles[fd];
}

BOOL WriteConsoleA(HANDLE console, const void* buffer, DWORD length, LPDWORD written, LPVOID) {
    auto object = lookupHandleAs<ConsoleObject>(console);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const auto* bytes = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < length) {
        const ssize_t n = ::write(object->fd(), bytes + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written) *written = done;
            SetLastError(errorFromErrno(errno));
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    return TRUE;
}

BOOL AttachConsole(DWORD processId) {
    if (processId != ATTACH_PARENT_PROCESS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (fcntl(STDOUT_FILENO, F_GETFD) == -1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
