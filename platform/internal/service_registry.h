// The service records of the object namespace, shared by every process that
// uses the namespace, and the bookkeeping of open driver devices that
// decides whether a driver can unload.
#pragma once

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace vexa::platform {

struct ServiceRecord {
    std::string name;         // as created; lookups ignore case
    std::string displayName;
    DWORD type = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::string imagePath;
    DWORD state = 1;          // SERVICE_STOPPED
    bool deletePending = false;
};

// All functions take the namespace guard themselves.
std::optional<ServiceRecord> loadService(const std::string& name);

// The path of the lock file that every open handle of a driver's device
// holds shared; a driver whose device is open cannot unload.
std::string deviceLockPath(const std::string& serviceName);

} // namespace vexa::platform
