// The directory in which named kernel objects (mutexes) and service records
// live, shared by every process that uses the same directory. By default the
// system's (/run/vexa for root, a private folder of the user otherwise);
// VEXA_NAMESPACE points a process at another, so that tests running side by
// side never meet each other's objects. The directory is created 0700 when
// missing; an existing one must belong to the caller, not be a symbolic
// link and be closed to everyone else. It is never changed: a folder open
// to others is refused.
#pragma once

#include <string>

namespace vexa::platform {

// The namespace directory, created on first use; empty when it cannot be
// used (the reason is in `error`).
const std::string& objectNamespace(std::string* error = nullptr);
// The check objectNamespace makes of its directory, creating it 0700 when
// missing; false with the reason when it cannot be used.
bool usePrivateDirectory(const std::string& path, std::string& error);
// A file name inside the namespace for an object of the given kind and name:
// every character other than letters, digits, '_', '-' and '.' is written as
// %XX, so "Global\BRENIKSDK" is "mutex.Global%5CBRENIKSDK".
std::string objectPath(const std::string& kind, const std::string& name);

} // namespace vexa::platform
