// Driver devices: "\\.\<name>" opened with CreateFileA, and DeviceIoControl
// on them. On Windows NT the name is that of a running kernel-driver service;
// every open handle holds the device's lock file shared, so the service knows
// its driver cannot unload. On Windows 9x "<name>.vxd" is a stand-in VxD file
// in the current or temporary folder.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "platform/driver.h"
#include "platform/driver/standin_driver.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/internal/control_device.h"
#include "platform/internal/handles.h"
#include "platform/internal/service_registry.h"
#include "platform/services.h"
#include "platform/sysinfo.h"
#include "platform/testing.h"

namespace vexa::platform {

namespace {

class DriverDevice final : public KernelObject {
public:
    DriverDevice(driver::Flavor flavor, int lockFd) : flavor_(flavor), lockFd_(lockFd) {}
    ~DriverDevice() override {
        if (lockFd_ >= 0) close(lockFd_);  // releases the shared lock
    }
    driver::Flavor flavor() const { return flavor_; }

private:
    driver::Flavor flavor_;
    int lockFd_;
};

bool isStandInVxd(const std::string& path) {
    std::ifstream in(nativePath(path.c_str()));
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    return first == "vexa stand-in driver" && second == "build: vxd";
}

HANDLE openVxd(const std::string& name) {
    char folder[MAX_PATH];
    std::string candidates[2];
    if (GetCurrentDirectoryA(sizeof folder, folder) < sizeof folder) candidates[0] = std::string(folder) + "/" + name;
    if (GetTempPathA(sizeof folder, folder) < sizeof folder) candidates[1] = std::string(folder) + name;
    for (const auto& path : candidates) {
        if (!path.empty() && isStandInVxd(path)) {
            SetLastError(ERROR_SUCCESS);
            return registerHandle(std::make_shared<DriverDevice>(driver::Flavor::Win9x, -1));
        }
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

HANDLE openKernelDevice(const std::string& name, DWORD shareMode) {
    auto service = loadService(name);
    if (!service || service->state != SERVICE_RUNNING) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = open(deviceLockPath(service->name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    const int lock = shareMode & FILE_SHARE_READ ? LOCK_SH : LOCK_EX;
    if (flock(fd, lock | LOCK_NB) != 0) {
        const bool shared = errno == EWOULDBLOCK;
        close(fd);
        SetLastError(shared ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return registerHandle(std::make_shared<DriverDevice>(driver::Flavor::NT, fd));
}

} // namespace

// Called by CreateFileA for paths of the form "\\.\<name>".
HANDLE openDriverDevice(const std::string& name, DWORD shareMode) {
    if (name.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (testing::windowsIdentity().platformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vxd") == 0) return openVxd(name);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return openKernelDevice(name, shareMode);
}

} // namespace vexa::platform

BOOL DeviceIoControl(HANDLE device, DWORD controlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned, LPVOID) {
    using namespace vexa::platform;
    if (bytesReturned) *bytesReturned = 0;
    if (auto other = lookupHandleAs<ControlDevice>(device))
        return serveControlRequest(*other, controlCode, inBuffer, inBufferSize, outBuffer, outBufferSize,
                                   bytesReturned);
    auto object = lookupHandleAs<DriverDevice>(device);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    driver::Request request{controlCode, static_cast<const uint8_t*>(inBuffer), inBufferSize,
                            static_cast<uint8_t*>(outBuffer), outBufferSize};
    const DWORD error = driver::serve(object->flavor(), request);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    if (bytesReturned) *bytesReturned = request.returned;
    return TRUE;
}
