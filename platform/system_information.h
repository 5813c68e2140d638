// ntdll's system-information query, as far as the program uses it: the
// times of every logical processor (class 8), which the processor load is
// computed from. The program finds the function by name in "ntdll.dll".
// The answers come from the current machine (Machine::processorTimes): on
// the host the processor lines of /proc/stat, on a simulated machine its
// manifest's load figure (idle without one).
#pragma once

#include "platform/win_types.h"

using NTSTATUS = LONG;

constexpr NTSTATUS STATUS_SUCCESS = 0;
constexpr NTSTATUS STATUS_UNSUCCESSFUL = static_cast<NTSTATUS>(0xC0000001);
constexpr NTSTATUS STATUS_INVALID_INFO_CLASS = static_cast<NTSTATUS>(0xC0000003);
constexpr NTSTATUS STATUS_INFO_LENGTH_MISMATCH = static_cast<NTSTATUS>(0xC0000004);
constexpr NTSTATUS STATUS_ACCESS_VIOLATION = static_cast<NTSTATUS>(0xC0000005);

// The information classes answered.
constexpr ULONG SystemProcessorPerformanceInformation = 8;

// One record per logical processor, in 100 ns units; the kernel time
// includes the idle time. The DPC and interrupt figures are not known here
// and are 0.
struct SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION {
    LARGE_INTEGER IdleTime;
    LARGE_INTEGER KernelTime;
    LARGE_INTEGER UserTime;
    LARGE_INTEGER DpcTime;
    LARGE_INTEGER InterruptTime;
    ULONG InterruptCount;
};
static_assert(sizeof(SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION) == 48);

// Class 8 fills one record per logical processor, as many as the buffer
// holds, and stores the bytes written in `returnLength` (when given). A
// buffer smaller than one record gives STATUS_INFO_LENGTH_MISMATCH with the
// length all records need; a null buffer STATUS_ACCESS_VIOLATION; another
// class STATUS_INVALID_INFO_CLASS; a machine that cannot tell its times
// STATUS_UNSUCCESSFUL.
NTSTATUS NtQuerySystemInformation(ULONG infoClass, PVOID information, ULONG length, ULONG* returnLength);
