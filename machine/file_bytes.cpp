#include "machine/file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexa::machine {
namespace {

template <typename Buffer>
FileStatus readBounded(const std::string& path, size_t limit, Buffer& out, std::string& error) {
    out.clear();
    error.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return FileStatus::Missing;
        error = path + ": " + std::strerror(errno);
        return FileStatus::Error;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        error = path + ": not a regular file";
        return FileStatus::Error;
    }
    // sysfs files report a size of 4096 whatever they hold, so read until
    // the end instead of trusting st_size, one byte past the limit at most;
    // the size only spares a large file's text being copied as it grows.
    out.reserve(size_t(std::min<uint64_t>(uint64_t(std::max<off_t>(info.st_size, 0)), limit)));
    char chunk[16384];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = path + ": " + std::strerror(errno);
            close(fd);
            return FileStatus::Error;
        }
        if (got == 0) break;
        if (out.size() + size_t(got) > limit) {
            error = path + ": larger than " + std::to_string(limit) + " bytes";
            close(fd);
            out.clear();
            return FileStatus::Error;
        }
        out.insert(out.end(), chunk, chunk + got);
    }
    close(fd);
    return FileStatus::Ok;
}

} // namespace

FileStatus readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes,
                         std::string& error) {
    return readBounded(path, limit, bytes, error);
}

FileStatus readFileText(const std::string& path, size_t limit, std::string& text, std::string& error) {
    return readBounded(path, limit, text, error);
}

} // namespace vexa::machine
