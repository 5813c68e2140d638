// Threads, their processor affinity and priority, sleeping and the system's
// time counters. Time comes from the program's one clock (machine/clock.h);
// affinity goes through the current machine, which decides what "the
// processor a thread runs on" means.
#pragma once

#include "platform/win_types.h"
#include "platform/sync.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD STILL_ACTIVE = 0x00000103;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                    LPDWORD threadId);
// Returns the previous suspend count, or (DWORD)-1 on failure.
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
// The pseudo-handles of the calling thread and process.
HANDLE GetCurrentThread();
HANDLE GetCurrentProcess();
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

// Returns the previous affinity mask, 0 on failure (a mask naming no
// processor or a processor the machine does not have). The mask speaks of
// the processor group the thread is in (processor_groups.h); the process
// mask, of the first group.
DWORD_PTR SetThreadAffinityMask(HANDLE thread, DWORD_PTR mask);
BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask);
BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);

void Sleep(DWORD milliseconds);
DWORD GetTickCount();
// The multimedia clock: milliseconds, as the tick count.
DWORD timeGetTime();
ULONGLONG GetTickCount64();
// The performance counter runs at 10 MHz.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
