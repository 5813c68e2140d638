// The shell: opening a file, or a web address, with the program the
// desktop associates with it. Here that is xdg-open, started only when a
// display is present (DISPLAY or WAYLAND_DISPLAY set) and never waited for;
// without a display nothing is started and the call reports that no program
// is associated.
//
// WinExec starts a command line (the program and its arguments, split as
// Windows splits them: blanks separate, quotation marks group) the same
// way: only with a display present, never waited for.
//
// Tests install an opener and a program starter that see every request and
// choose the result, and the browser the registry names (registry.h).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/win_types.h"

using INT_PTR = intptr_t;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

constexpr UINT ERROR_BAD_FORMAT = 11;

// Results of 32 and less are errors.
constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr INT_PTR SE_ERR_OOM = 8;
constexpr INT_PTR SE_ERR_NOASSOC = 31;
// The result of a request that started its program.
constexpr INT_PTR kShellExecuteStarted = 42;

// Only the verb "open" (or none) is known; `parameters` and `directory` are
// not supported and must be null or empty. `file` is a path or an address
// beginning with "http://", "https://" or "mailto:"; a path that does not
// exist gives SE_ERR_FNF.
INT_PTR ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                      LPCWSTR directory, int showCommand);

// Greater than 31 when the program started; ERROR_FILE_NOT_FOUND when it
// could not (or no display is present), ERROR_BAD_FORMAT for an empty
// command line.
UINT WinExec(LPCSTR commandLine, UINT showCommand);

namespace vexa::platform {

// '"C:\a b\x.exe" -new  "u"' gives C:\a b\x.exe, -new and u.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// True when a window system is there to show things on.
bool displayPresent();

namespace testing {

struct ShellRequest {
    std::wstring verb;
    std::wstring file;
    int showCommand = 0;
};

// Replaces the opener until cleared with an empty function: it sees each
// request and returns the result. No program is started meanwhile.
void setShellOpener(std::function<INT_PTR(const ShellRequest&)> opener);

// Replaces WinExec's starting of programs until cleared with an empty
// function: it sees the command line's arguments and returns the result.
void setProgramStarter(std::function<UINT(const std::vector<std::string>& arguments)> starter);

// Replaces the browser command the registry answers (see registry.h):
// a command, or nullopt inside for no browser; nullopt outside gives back
// the desktop's.
void setBrowserCommand(std::optional<std::optional<std::string>> command);

} // namespace testing
} // namespace vexa::platform
