// The console: standard handles and console output.
#pragma once

#include "platform/win_types.h"

constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

HANDLE GetStdHandle(DWORD which);
BOOL WriteConsoleA(HANDLE console, const void* buffer, DWORD length, LPDWORD written,
                   LPVOID reserved);
