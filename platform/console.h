// The console: standard handles, attaching to the parent's console and
// console output.
#pragma once

#include "platform/win_types.h"

constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

HANDLE GetStdHandle(DWORD which);
BOOL WriteConsoleA(HANDLE console, const void* buffer, DWORD length, LPDWORD written,
                   LPVOID reserved);

// The console of the parent process.
constexpr DWORD ATTACH_PARENT_PROCESS = static_cast<DWORD>(-1);

// A process here always shares its parent's terminal, if any, through its
// standard streams: attaching to the parent's console succeeds exactly when
// standard output is open, and then GetStdHandle(STD_OUTPUT_HANDLE) writes
// to it. Any other process id fails with ERROR_INVALID_PARAMETER; a closed
// standard output with ERROR_INVALID_HANDLE.
BOOL AttachConsole(DWORD processId);
