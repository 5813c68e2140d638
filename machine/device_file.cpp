#include "machine/device_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace vexa::machine {
namespace {

// Repeats a partial read or write until `size` bytes have moved, restarting
// after signals; false when the file ends or fails first.
template <typename Transfer>
bool transferAll(size_t size, Transfer transfer) {
    size_t done = 0;
    while (done < size) {
        const ssize_t moved = transfer(done);
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) return false;
        done += size_t(moved);
    }
    return true;
}

} // namespace

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
    return transferAll(size, [&](size_t done) { return pread(fd_, bytes + done, size - done, off_t(offset + done)); });
}

bool DeviceFile::writeAt(uint64_t offset, const void* data, size_t size) const {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return transferAll(size, [&](size_t done) { return pwrite(fd_, bytes + done, size - done, off_t(offset + done)); });
}

} // namespace vexa::machine
