// What the program asks about the system it runs on: the Windows version,
// the processor architecture and count, WOW64, and the two processor
// instructions it executes in user mode (CPUID and RDTSC), all answered by
// the current machine for the logical processor the calling thread runs on.
#pragma once

#include "platform/win_types.h"

struct OSVERSIONINFOA {  // 148 bytes
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};

struct OSVERSIONINFOEXA {  // 156 bytes
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Fills an OSVERSIONINFOA or OSVERSIONINFOEXA chosen by its size field;
// FALSE with ERROR_INVALID_PARAMETER for any other size.
BOOL GetVersionExA(OSVERSIONINFOA* info);

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;

void GetSystemInfo(SYSTEM_INFO* info);
void GetNativeSystemInfo(SYSTEM_INFO* info);
BOOL IsWow64Process(HANDLE process, BOOL* wow64);

// CPUID with a sub-leaf on the calling thread's logical processor:
// regs[0..3] = EAX, EBX, ECX, EDX.
void CpuidEx(int regs[4], int leaf, int subleaf);
// RDTSC on the calling thread's logical processor.
ULONGLONG ReadTimeStampCounter();
