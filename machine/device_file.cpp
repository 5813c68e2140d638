#include "machine/device_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace vexa::machine {

DeviceFile::DeviceFile(const std::string& path, int flags) : fd_(open(path.c_str(), flags | O_CLOEXEC)) {}

DeviceFile::~DeviceFile() {
    if (fd_ >= 0) close(fd_);
}

DeviceFile::DeviceFile(DeviceFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DeviceFile& DeviceFile::operator=(DeviceFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool DeviceFile::readAt(uint64_t offset, void* out, size_t size) const {
    auto* bytes = static_cast<uint8_t*>(out);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd_, bytes + done, size - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += size_t(got);
    }
    return true;
}

bool DeviceFile::writeAt(uint64_t offset, const void* data, size_t size) const {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t put = pwrite(fd_, bytes + done, size - done, off_t(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += size_t(put);
    }
    return true;
}

} // namespace vexa::machine
