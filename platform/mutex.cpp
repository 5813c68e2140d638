// Mutexes with the behaviour Windows gives them: owned by a thread,
// recursive, waited on with a time-out, and "abandoned" when the owner ends
// without releasing (the next waiter then owns it and is told so).
//
// A named mutex is a robust, process-shared, recursive pthread mutex in a
// small file of the object namespace, mapped by every process that opens
// it. Each open handle holds a shared flock on the file, so the object lives
// as long as some process has it open: whoever opens it while nobody holds
// it (an exclusive flock succeeds) starts a fresh object, exactly as Windows
// creates a new mutex once the last handle of the old one was closed.
// Creation and the last close run under the namespace's guard lock.
//
// The block also records which thread owns the mutex and how often it took
// it, so that a release by any other thread fails with ERROR_NOT_OWNER, as
// on Windows, without touching the pthread mutex.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "platform/internal/handles.h"
#include "platform/internal/namespace_guard.h"
#include "platform/object_namespace.h"
#include "platform/sync.h"
#include "platform/testing.h"

namespace vexa::platform {

namespace {

constexpr uint32_t kMutexMagic = 0x58544D56;  // "VMTX"

std::atomic<unsigned> unownedReleases{0};

struct MutexBlock {
    uint32_t magic;
    uint32_t reserved;
    pthread_mutex_t mutex;
    // The owning thread's id (0: none), read by any thread of any process
    // and written by the owner only, hence atomic. The depth is touched by
    // the owner only.
    pid_t owner;
    uint32_t depth;
};

// ThreadSanitizer does not see a pthread_mutex_clocklock of this C library
// (its runtime has no interceptor for it), so a timed wait tells it about
// the lock itself; otherwise the matching release looks like one of a
// mutex nobody locked.
int clockLock(pthread_mutex_t* mutex, const timespec& deadline) {
#if defined(__SANITIZE_THREAD__)
    __tsan_mutex_pre_lock(mutex, __tsan_mutex_try_lock);
    const int result = pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
    const bool locked = result == 0 || result == EOWNERDEAD;
    __tsan_mutex_post_lock(mutex, __tsan_mutex_try_lock | (locked ? 0 : __tsan_mutex_try_lock_failed), 0);
    return result;
#else
    return pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
#endif
}

bool initialiseMutex(pthread_mutex_t* mutex, bool shared) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    if (shared) pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    const bool ok = pthread_mutex_init(mutex, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    return ok;
}

class MutexObject final : public KernelObject {
public:
    // An unnamed mutex private to the process.
    static std::shared_ptr<MutexObject> createPrivate() {
        auto object = std::shared_ptr<MutexObject>(new MutexObject);
        object->block_ = new MutexBlock{};
        if (!initialiseMutex(&object->block_->mutex, false)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        object->block_->magic = kMutexMagic;
        return object;
    }

    // Opens the named mutex, creating it when `create` is set and nobody
    // has it open. `existed` tells whether an existing object was opened.
    static std::shared_ptr<MutexObject> openNamed(const std::string& name, bool create,
                                                  bool& existed) {
        std::string reason;
        if (objectNamespace(&reason).empty()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        NamespaceGuard guard;
        if (!guard.held()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        const std::string path = objectPath("mutex", name);
        const int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT : 0);
        const int fd = open(path.c_str(), flags, 0600);
        if (fd < 0) {
            SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : errorFromErrno(errno));
            return nullptr;
        }
        auto object = std::shared_ptr<MutexObject>(new MutexObject);
        object->fd_ = fd;
        object->path_ = path;

        // Nobody else holds the file: the previous object (if any) is gone.
        const bool alone = flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (alone && !create) {
            // A leftover file of a closed mutex: there is no such object.
            unlink(path.c_str());
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        if (alone && ftruncate(fd, sizeof(MutexBlock)) != 0) {
            SetLastError(errorFromErrno(errno));
            return nullptr;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(MutexBlock))) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        void* map = mmap(nullptr, sizeof(MutexBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) {
            SetLastError(errorFromErrno(errno));
            return nullptr;
        }
        object->block_ = static_cast<MutexBlock*>(map);
        object->mapped_ = true;
        if (alone) {
            std::memset(object->block_, 0, sizeof(MutexBlock));
            if (!initialiseMutex(&object->block_->mutex, true)) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            __atomic_store_n(&object->block_->magic, kMutexMagic, __ATOMIC_RELEASE);
        } else if (__atomic_load_n(&object->block_->magic, __ATOMIC_ACQUIRE) != kMutexMagic) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        // From here on the handle keeps the object alive.
        flock(fd, LOCK_SH);
        existed = !alone;
        return object;
    }

    ~MutexObject() override {
        if (!mapped_) {
            if (block_) {
                pthread_mutex_destroy(&block_->mutex);
                delete block_;
            }
            if (fd_ >= 0) close(fd_);
            return;
        }
        NamespaceGuard guard;
        munmap(block_, sizeof(MutexBlock));
        // The last handle anywhere removes the object.
        if (guard.held() && flock(fd_, LOCK_EX | LOCK_NB) == 0) unlink(path_.c_str());
        close(fd_);
    }

    // An owned mutex is taken again at once; a free or abandoned one is
    // taken by the first attempt, so that only a mutex another thread holds
    // is waited for.
    DWORD wait(DWORD milliseconds) override {
        pthread_mutex_t* mutex = &block_->mutex;
        int result = pthread_mutex_trylock(mutex);
        if (result == EBUSY && milliseconds == INFINITE) {
            result = pthread_mutex_lock(mutex);
        } else if (result == EBUSY && milliseconds != 0) {
            timespec deadline {};
            clock_gettime(CLOCK_MONOTONIC, &deadline);
            deadline.tv_sec += milliseconds / 1000;
            deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
            if (deadline.tv_nsec >= 1000000000L) {
                deadline.tv_sec += 1;
                deadline.tv_nsec -= 1000000000L;
            }
            result = clockLock(mutex, deadline);
        }
        switch (result) {
        case 0:
            noteOwner(false);
            return WAIT_OBJECT_0;
        case EOWNERDEAD:
            pthread_mutex_consistent(mutex);
            noteOwner(true);
            return WAIT_ABANDONED;
        case EBUSY:
        case ETIMEDOUT: return WAIT_TIMEOUT;
        default:
            SetLastError(errorFromErrno(result));
            return WAIT_FAILED;
        }
    }

    bool release() {
        if (__atomic_load_n(&block_->owner, __ATOMIC_RELAXED) != gettid()) return notOwner();
        const uint32_t depth = block_->depth;
        if (depth <= 1) {
            block_->depth = 0;
            __atomic_store_n(&block_->owner, 0, __ATOMIC_RELAXED);
        } else {
            block_->depth = depth - 1;
        }
        return pthread_mutex_unlock(&block_->mutex) == 0 || notOwner();
    }

private:
    MutexObject() = default;

    // Called by the thread that just took the mutex. Taking it from a
    // thread or process that ended while owning it starts a new count.
    void noteOwner(bool abandoned) {
        const pid_t self = gettid();
        if (!abandoned && __atomic_load_n(&block_->owner, __ATOMIC_RELAXED) == self) {
            ++block_->depth;
            return;
        }
        block_->depth = 1;
        __atomic_store_n(&block_->owner, self, __ATOMIC_RELAXED);
    }

    static bool notOwner() {
        ++unownedReleases;
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }

    MutexBlock* block_ = nullptr;
    bool mapped_ = false;
    int fd_ = -1;
    std::string path_;
};

} // namespace

unsigned testing::unownedMutexReleases() { return unownedReleases; }

} // namespace vexa::platform

using vexa::platform::MutexObject;

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    std::shared_ptr<MutexObject> object;
    bool existed = false;
    if (name && *name) {
        if (std::strlen(name) > MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return nullptr;
        }
        object = MutexObject::openNamed(name, true, existed);
    } else {
        object = MutexObject::createPrivate();
    }
    if (!object) return nullptr;
    // Windows grants initial ownership only to the creator of a new object.
    if (initialOwner && !existed) object->wait(INFINITE);
    HANDLE handle = vexa::platform::registerHandle(object);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE OpenMutexA(DWORD, BOOL, LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool existed = false;
    auto object = MutexObject::openNamed(name, false, existed);
    if (!object) return nullptr;
    SetLastError(ERROR_SUCCESS);
    return vexa::platform::registerHandle(object);
}

BOOL ReleaseMutex(HANDLE mutex) {
    auto object = vexa::platform::lookupHandleAs<MutexObject>(mutex);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->release() ? TRUE : FALSE;
}
