// The service control manager. Each service is a small record file of the
// object namespace ("service.<name in lower case>"), read and written under
// the namespace guard, so that every process of the namespace sees the same
// services. Only kernel-driver services are ever started: their image must
// be a stand-in driver of the build that fits the running Windows.
#include "platform/services.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/internal/namespace_guard.h"
#include "platform/internal/service_registry.h"
#include "platform/object_namespace.h"
#include "platform/sysinfo.h"
#include "platform/testing.h"

struct ServiceHandleRecord {
    bool manager;
    std::string service;  // for service handles
};

namespace vexa::platform {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string recordPath(const std::string& name) { return objectPath("service", lower(name)); }

// ---- Record files ----

std::optional<ServiceRecord> readRecord(const std::string& name) {
    std::ifstream in(recordPath(name));
    if (!in) return std::nullopt;
    ServiceRecord record;
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        auto number = [&] { return static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10)); };
        if (key == "name") record.name = value;
        else if (key == "display") record.displayName = value;
        else if (key == "type") record.type = number();
        else if (key == "start") record.startType = number();
        else if (key == "error") record.errorControl = number();
        else if (key == "path") record.imagePath = value;
        else if (key == "state") record.state = number();
        else if (key == "delete") record.deletePending = number() != 0;
    }
    if (record.name.empty()) return std::nullopt;
    return record;
}

bool writeRecord(const ServiceRecord& record) {
    std::ostringstream out;
    out << "name=" << record.name << "\ndisplay=" << record.displayName << "\ntype=" << record.type
        << "\nstart=" << record.startType << "\nerror=" << record.errorControl
        << "\npath=" << record.imagePath << "\nstate=" << record.state
        << "\ndelete=" << (record.deletePending ? 1 : 0) << "\n";
    const std::string path = recordPath(record.name);
    const std::string temporary = path + ".new";
    unlink(temporary.c_str());
    const std::string text = out.str();
    if (writeNewFile(temporary.c_str(), text.data(), text.size()) != ERROR_SUCCESS) return false;
    return rename(temporary.c_str(), path.c_str()) == 0;
}

void removeRecord(const std::string& name) { unlink(recordPath(name).c_str()); }

// Whether some handle of the driver's device is open in any process.
bool deviceInUse(const std::string& serviceName) {
    const int fd = open(deviceLockPath(serviceName).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool busy = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return busy;
}

// A driver waiting to unload goes once its device is closed everywhere; a
// stopped service marked for deletion goes then too. Returns the record as
// it stands, or nothing when it is gone.
std::optional<ServiceRecord> settle(ServiceRecord record) {
    bool changed = false;
    if (record.state == SERVICE_STOP_PENDING && !deviceInUse(record.name)) {
        record.state = SERVICE_STOPPED;
        changed = true;
    }
    if (record.state == SERVICE_STOPPED && record.deletePending) {
        removeRecord(record.name);
        return std::nullopt;
    }
    if (changed) writeRecord(record);
    return record;
}

std::optional<ServiceRecord> lookup(const std::string& name) {
    auto record = readRecord(name);
    return record ? settle(*record) : std::nullopt;
}

// ---- Handles ----

std::mutex handlesLock;
std::set<ServiceHandleRecord*> handles;

SC_HANDLE newHandle(bool manager, const std::string& service) {
    auto* handle = new ServiceHandleRecord{manager, service};
    std::lock_guard guard(handlesLock);
    handles.insert(handle);
    return handle;
}

bool isHandle(SC_HANDLE handle, bool manager) {
    std::lock_guard guard(handlesLock);
    return handles.count(handle) && handle->manager == manager;
}

template <typename T>
T fail(DWORD error, T result) {
    SetLastError(error);
    return result;
}

// ---- Driver images ----

const char* requiredBuild() {
    switch (testing::windowsIdentity().processorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return "build: x64";
    case PROCESSOR_ARCHITECTURE_IA64: return "build: ia64";
    default: return "build: x86";
    }
}

// ERROR_SUCCESS when the image is a stand-in driver that fits this Windows.
DWORD checkDriverImage(const std::string& path) {
    std::ifstream in(nativePath(path.c_str()));
    if (!in) return ERROR_FILE_NOT_FOUND;
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    if (first != "vexa stand-in driver" || second != requiredBuild()) return ERROR_BAD_EXE_FORMAT;
    return ERROR_SUCCESS;
}

void fillStatus(const ServiceRecord& record, SERVICE_STATUS* status) {
    if (!status) return;
    std::memset(status, 0, sizeof *status);
    status->dwServiceType = record.type;
    status->dwCurrentState = record.state;
    status->dwControlsAccepted = record.state == SERVICE_RUNNING ? 1 : 0;  // STOP
}

} // namespace

std::optional<ServiceRecord> loadService(const std::string& name) {
    NamespaceGuard guard;
    if (!guard.held()) return std::nullopt;
    return lookup(name);
}

std::string deviceLockPath(const std::string& serviceName) {
    return objectPath("device", lower(serviceName));
}

} // namespace vexa::platform

using namespace vexa::platform;

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR, DWORD) {
    if (testing::windowsIdentity().platformId != VER_PLATFORM_WIN32_NT)
        return fail<SC_HANDLE>(ERROR_CALL_NOT_IMPLEMENTED, nullptr);
    if (machineName && *machineName) {
        // Only this computer's own manager is reachable.
        char own[64];
        DWORD size = sizeof own;
        const char* name = machineName[0] == '\\' && machineName[1] == '\\' ? machineName + 2 : machineName;
        if (!GetComputerNameA(own, &size) || strcasecmp(own, name) != 0)
            return fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    }
    if (objectNamespace().empty()) return fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    return newHandle(true, {});
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    std::lock_guard guard(handlesLock);
    if (!handles.erase(handle)) return fail(ERROR_INVALID_HANDLE, FALSE);
    delete handle;
    return TRUE;
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName, DWORD,
                         DWORD serviceType, DWORD startType, DWORD errorControl,
                         LPCSTR binaryPathName, LPCSTR, LPDWORD, LPCSTR, LPCSTR, LPCSTR) {
    if (!isHandle(manager, true)) return fail<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if (!serviceName || !*serviceName || std::strlen(serviceName) > 256 || std::strchr(serviceName, '/') ||
        std::strchr(serviceName, '\\'))
        return fail<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    if (!binaryPathName || !*binaryPathName) return fail<SC_HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    NamespaceGuard guard;
    if (auto existing = lookup(serviceName))
        return fail<SC_HANDLE>(existing->deletePending ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS,
                               nullptr);
    ServiceRecord record;
    record.name = serviceName;
    record.displayName = displayName ? displayName : serviceName;
    record.type = serviceType;
    record.startType = startType;
    record.errorControl = errorControl;
    record.imagePath = binaryPathName;
    if (!writeRecord(record)) return fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    SetLastError(ERROR_SUCCESS);
    return newHandle(false, serviceName);
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD) {
    if (!isHandle(manager, true)) return fail<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if (!serviceName || !*serviceName) return fail<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    NamespaceGuard guard;
    if (!lookup(serviceName)) return fail<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    return newHandle(false, serviceName);
}

BOOL StartServiceA(SC_HANDLE service, DWORD, LPCSTR*) {
    if (!isHandle(service, false)) return fail(ERROR_INVALID_HANDLE, FALSE);
    NamespaceGuard guard;
    auto record = lookup(service->service);
    if (!record) return fail(ERROR_SERVICE_DOES_NOT_EXIST, FALSE);
    if (record->deletePending) return fail(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    if (record->startType == SERVICE_DISABLED) return fail(ERROR_SERVICE_DISABLED, FALSE);
    if (record->state != SERVICE_STOPPED) return fail(ERROR_SERVICE_ALREADY_RUNNING, FALSE);
    if (record->type != SERVICE_KERNEL_DRIVER) return fail(ERROR_BAD_EXE_FORMAT, FALSE);
    if (const DWORD error = checkDriverImage(record->imagePath); error != ERROR_SUCCESS)
        return fail(error, FALSE);
    record->state = SERVICE_RUNNING;
    if (!writeRecord(*record)) return fail(ERROR_ACCESS_DENIED, FALSE);
    return TRUE;
}

BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
    if (!isHandle(service, false)) return fail(ERROR_INVALID_HANDLE, FALSE);
    NamespaceGuard guard;
    auto record = lookup(service->service);
    if (!record) return fail(ERROR_SERVICE_DOES_NOT_EXIST, FALSE);
    switch (control) {
    case SERVICE_CONTROL_INTERROGATE:
        fillStatus(*record, status);
        if (record->state == SERVICE_STOPPED) return fail(ERROR_SERVICE_NOT_ACTIVE, FALSE);
        return TRUE;
    case SERVICE_CONTROL_STOP:
        if (record->state == SERVICE_STOPPED) {
            fillStatus(*record, status);
            return fail(ERROR_SERVICE_NOT_ACTIVE, FALSE);
        }
        if (deviceInUse(record->name)) {
            // The driver cannot unload while its device is open.
            const bool again = record->state == SERVICE_STOP_PENDING;
            record->state = SERVICE_STOP_PENDING;
            writeRecord(*record);
            fillStatus(*record, status);
            return again ? fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL, FALSE) : TRUE;
        }
        record->state = SERVICE_STOPPED;
        fillStatus(*record, status);
        if (record->deletePending) removeRecord(record->name);
        else writeRecord(*record);
        return TRUE;
    default:
        return fail(ERROR_INVALID_SERVICE_CONTROL, FALSE);
    }
}

BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
    if (!isHandle(service, false)) return fail(ERROR_INVALID_HANDLE, FALSE);
    if (!status) return fail(ERROR_INVALID_PARAMETER, FALSE);
    NamespaceGuard guard;
    auto record = lookup(service->service);
    if (!record) return fail(ERROR_SERVICE_DOES_NOT_EXIST, FALSE);
    fillStatus(*record, status);
    return TRUE;
}

BOOL DeleteService(SC_HANDLE service) {
    if (!isHandle(service, false)) return fail(ERROR_INVALID_HANDLE, FALSE);
    NamespaceGuard guard;
    auto record = lookup(service->service);
    if (!record) return fail(ERROR_SERVICE_DOES_NOT_EXIST, FALSE);
    if (record->deletePending) return fail(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    if (record->state == SERVICE_STOPPED) {
        removeRecord(record->name);
    } else {
        record->deletePending = true;
        writeRecord(*record);
    }
    return TRUE;
}
