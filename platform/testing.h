// Hooks with which tests make this platform behave like other Windows
// systems or take parts of it away.
#pragma once

#include <optional>
#include <string>

#include "machine/machine.h"

namespace vexa::platform::testing {

// Replaces the Windows identity the current machine reports (nullopt: the
// machine's own again).
void overrideWindowsIdentity(std::optional<machine::WindowsIdentity> identity);
machine::WindowsIdentity windowsIdentity();

// Makes LoadLibraryA fail for a library, or GetProcAddress for one of its
// functions, until restoreLibraries().
void hideLibrary(const std::string& library);
void hideExport(const std::string& library, const std::string& function);
void restoreLibraries();

// How many ReleaseMutex calls of this process failed because the calling
// thread did not own the mutex: each one is a fault of its caller.
unsigned unownedMutexReleases();

} // namespace vexa::platform::testing
