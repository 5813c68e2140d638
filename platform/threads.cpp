// Threads with Windows behaviour: created running or suspended, waited on
// through their handle, with an exit code, a priority and a processor
// affinity. The affinity decides which logical processor of the current
// machine the thread's CPUID, RDTSC and MSR accesses reach: on the host the
// thread is really pinned, on a simulated machine the mask is remembered.
#include "platform/threads.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "machine/clock.h"
#include "machine/machine.h"
#include "platform/internal/handles.h"
#include "platform/internal/thread_state.h"
#include "platform/processor_groups.h"

namespace vexa::platform {

namespace {

std::atomic<uint64_t> processAffinity{0};  // 0: every processor
std::atomic<DWORD> nextThreadId{0x1000};

// The processors of the first group, which the process and the threads
// without an affinity of their own run in.
uint64_t allProcessors() { return processorGroupMask(0); }

pid_t nativeThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

} // namespace

class ThreadObject final : public KernelObject {
public:
    DWORD wait(DWORD milliseconds) override {
        std::unique_lock lock(mutex_);
        auto finished = [this] { return finished_; };
        if (milliseconds == INFINITE) {
            done_.wait(lock, finished);
            return WAIT_OBJECT_0;
        }
        return done_.wait_for(lock, std::chrono::milliseconds(milliseconds), finished)
                   ? WAIT_OBJECT_0
                   : WAIT_TIMEOUT;
    }

    // Where the thread's own affinity puts it on the machine.
    vexa::machine::ProcessorAffinity placement() const { return {processorGroupFirst(group_), affinity_}; }

    std::mutex mutex_;
    std::condition_variable resumed_;
    std::condition_variable done_;
    LPTHREAD_START_ROUTINE start_ = nullptr;
    LPVOID parameter_ = nullptr;
    DWORD id_ = 0;
    pid_t nativeId_ = 0;     // known once the thread runs
    uint64_t affinity_ = 0;  // 0: the process's
    WORD group_ = 0;         // the processor group affinity_ speaks of
    int priority_ = THREAD_PRIORITY_NORMAL;
    int suspendCount_ = 0;
    bool finished_ = false;
    DWORD exitCode_ = STILL_ACTIVE;
    // The thread's own reference, dropped when it ends.
    std::shared_ptr<ThreadObject> self_;
};

namespace {

// The object of the calling thread; threads this layer did not create get
// one on first use.
thread_local std::shared_ptr<ThreadObject> currentThread;

ThreadObject& current() {
    if (!currentThread) {
        currentThread = std::make_shared<ThreadObject>();
        currentThread->id_ = nextThreadId.fetch_add(4);
        currentThread->nativeId_ = nativeThreadId();
    }
    return *currentThread;
}

std::shared_ptr<ThreadObject> threadFromHandle(HANDLE handle) {
    if (handle == kCurrentThreadHandle) {
        current();
        return currentThread;
    }
    return lookupHandleAs<ThreadObject>(handle);
}

void* threadMain(void* argument) {
    std::shared_ptr<ThreadObject> self = static_cast<ThreadObject*>(argument)->self_;
    currentThread = self;
    {
        std::unique_lock lock(self->mutex_);
        self->nativeId_ = nativeThreadId();
        if (self->affinity_) vexa::machine::current().pinThread(self->nativeId_, self->placement());
        self->resumed_.wait(lock, [&] { return self->suspendCount_ == 0; });
    }
    const DWORD code = self->start_(self->parameter_);
    {
        std::lock_guard lock(self->mutex_);
        self->exitCode_ = code;
        self->finished_ = true;
        self->self_.reset();
    }
    self->done_.notify_all();
    currentThread.reset();
    return nullptr;
}

} // namespace

vexa::machine::ProcessorAffinity effectiveAffinity() {
    ThreadObject& self = current();
    std::lock_guard lock(self.mutex_);
    if (self.affinity_) {
        const uint64_t mask = self.affinity_ & processorGroupMask(self.group_);
        if (mask) return {processorGroupFirst(self.group_), mask};
    }
    const uint64_t all = allProcessors();
    const uint64_t mask = processAffinity.load() & all;
    return {0, mask ? mask : all};
}

unsigned currentProcessor() {
    return vexa::machine::current().currentProcessor(effectiveAffinity());
}

} // namespace vexa::platform

using namespace vexa::platform;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->start_ = start;
    thread->parameter_ = parameter;
    thread->id_ = nextThreadId.fetch_add(4);
    thread->suspendCount_ = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;
    thread->self_ = thread;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize) pthread_attr_setstacksize(&attributes, std::max<SIZE_T>(stackSize, 65536));
    pthread_t native;
    const int result = pthread_create(&native, &attributes, threadMain, thread.get());
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        thread->self_.reset();
        SetLastError(errorFromErrno(result));
        return nullptr;
    }
    if (threadId) *threadId = thread->id_;
    return registerHandle(thread);
}

DWORD ResumeThread(HANDLE handle) {
    auto thread = threadFromHandle(handle);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    std::lock_guard lock(thread->mutex_);
    const int previous = thread->suspendCount_;
    if (previous > 0 && --thread->suspendCount_ == 0) thread->resumed_.notify_all();
    return static_cast<DWORD>(previous);
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto thread = threadFromHandle(handle);
    if (!thread || !exitCode) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(thread->mutex_);
    *exitCode = thread->exitCode_;
    return TRUE;
}

BOOL SetThreadPriority(HANDLE handle, int priority) {
    auto thread = threadFromHandle(handle);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Remembered only: real-time scheduling is not something a hardware
    // inspection tool should impose on a Linux system.
    std::lock_guard lock(thread->mutex_);
    thread->priority_ = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE handle) {
    auto thread = threadFromHandle(handle);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0x7FFFFFFF;  // THREAD_PRIORITY_ERROR_RETURN
    }
    std::lock_guard lock(thread->mutex_);
    return thread->priority_;
}

HANDLE GetCurrentThread() { return kCurrentThreadHandle; }
HANDLE GetCurrentProcess() { return kCurrentProcessHandle; }
DWORD GetCurrentThreadId() { return vexa::platform::current().id_; }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD_PTR SetThreadAffinityMask(HANDLE handle, DWORD_PTR mask) {
    auto thread = threadFromHandle(handle);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    // The mask speaks of the group the thread is in; in the first group it
    // must stay within the process's mask.
    std::lock_guard lock(thread->mutex_);
    const uint64_t all = allProcessors();
    const uint64_t process = processAffinity.load() ? processAffinity.load() : all;
    const uint64_t allowed = thread->group_ == 0 ? process : processorGroupMask(thread->group_);
    if (mask == 0 || (mask & ~allowed) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const uint64_t previous = thread->affinity_ ? thread->affinity_ : process;
    const vexa::machine::ProcessorAffinity placement{processorGroupFirst(thread->group_), mask};
    if (thread->nativeId_ && !vexa::machine::current().pinThread(thread->nativeId_, placement)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    thread->affinity_ = mask;
    return previous;
}

BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask) {
    if (process != kCurrentProcessHandle || !processMask || !systemMask) {
        SetLastError(process != kCurrentProcessHandle ? ERROR_INVALID_HANDLE
                                                      : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint64_t all = allProcessors();
    *systemMask = all;
    *processMask = processAffinity.load() ? processAffinity.load() : all;
    return TRUE;
}

BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
    if (process != kCurrentProcessHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const uint64_t all = allProcessors();
    if (mask == 0 || (mask & ~all) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The calling thread follows the process mask at once; this is how the
    // reports move themselves from processor to processor.
    ThreadObject& self = vexa::platform::current();
    std::lock_guard lock(self.mutex_);
    if (!vexa::machine::current().pinThread(self.nativeId_, {0, mask})) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    processAffinity.store(mask == all ? 0 : mask);
    self.affinity_ = 0;
    self.group_ = 0;
    return TRUE;
}

BOOL GetThreadGroupAffinity(HANDLE handle, GROUP_AFFINITY* groupAffinity) {
    auto thread = threadFromHandle(handle);
    if (!thread || !groupAffinity) {
        SetLastError(thread ? ERROR_NOACCESS : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(thread->mutex_);
    *groupAffinity = GROUP_AFFINITY{};
    groupAffinity->Group = thread->group_;
    groupAffinity->Mask = thread->affinity_ ? thread->affinity_
                                            : (processAffinity.load() ? processAffinity.load() : allProcessors());
    return TRUE;
}

BOOL SetThreadGroupAffinity(HANDLE handle, const GROUP_AFFINITY* groupAffinity,
                            GROUP_AFFINITY* previousGroupAffinity) {
    auto thread = threadFromHandle(handle);
    if (!thread || !groupAffinity) {
        SetLastError(thread ? ERROR_NOACCESS : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const uint64_t group = processorGroupMask(groupAffinity->Group);
    const bool reserved = groupAffinity->Reserved[0] || groupAffinity->Reserved[1] || groupAffinity->Reserved[2];
    if (!group || groupAffinity->Mask == 0 || (groupAffinity->Mask & ~group) != 0 || reserved) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    GROUP_AFFINITY previous {};
    GetThreadGroupAffinity(handle, &previous);
    std::lock_guard lock(thread->mutex_);
    const vexa::machine::ProcessorAffinity placement{processorGroupFirst(groupAffinity->Group), groupAffinity->Mask};
    if (thread->nativeId_ && !vexa::machine::current().pinThread(thread->nativeId_, placement)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    thread->affinity_ = groupAffinity->Mask;
    thread->group_ = groupAffinity->Group;
    if (previousGroupAffinity) *previousGroupAffinity = previous;
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    vexa::machine::clock().sleepNs(static_cast<uint64_t>(milliseconds) * 1000000ull);
}

DWORD GetTickCount() {
    return static_cast<DWORD>(vexa::machine::clock().nowNs() / 1000000ull);
}

DWORD timeGetTime() { return GetTickCount(); }

ULONGLONG GetTickCount64() { return vexa::machine::clock().nowNs() / 1000000ull; }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    count->QuadPart = static_cast<LONGLONG>(vexa::machine::clock().nowNs() / 100);
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    frequency->QuadPart = 10000000;
    return TRUE;
}
