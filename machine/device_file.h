// A Linux device or sysfs file opened for positioned reads and writes,
// closed with the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexa::machine {

class DeviceFile {
public:
    DeviceFile() = default;
    // Opens `path` with `flags` (O_CLOEXEC added); isOpen() tells whether
    // that worked and errno why not.
    DeviceFile(const std::string& path, int flags);
    ~DeviceFile();
    DeviceFile(DeviceFile&& other) noexcept;
    DeviceFile& operator=(DeviceFile&& other) noexcept;
    DeviceFile(const DeviceFile&) = delete;
    DeviceFile& operator=(const DeviceFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // The whole range or nothing, restarting after signals.
    bool readAt(uint64_t offset, void* out, size_t size) const;
    bool writeAt(uint64_t offset, const void* data, size_t size) const;

private:
    int fd_ = -1;
};

} // namespace vexa::machine
