#include "machine/file_bytes.h"

#include "machine/text_scan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexa::machine {
namespace {

template <typename Buffer>
FileStatus readOpened(int fd, const std::string& path, size_t limit, Buffer& out, std::string& error) {
    out.clear();
    error.clear();
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        error = path + ": not a regular file";
        return FileStatus::Error;
    }
    // sysfs files report a size of 4096 whatever they hold, so read until
    // the end instead of trusting st_size, one byte past the limit at most.
    // The size only sets the first room, so an ordinary file is read
    // straight into place.
    constexpr size_t kFirstRoom = 16384;
    const uint64_t expected = info.st_size > 0 ? uint64_t(info.st_size) + 1 : kFirstRoom;
    out.resize(size_t(std::min<uint64_t>(expected, uint64_t(limit) + 1)));
    size_t filled = 0;
    for (;;) {
        if (filled == out.size()) out.resize(size_t(std::min<uint64_t>(uint64_t(out.size()) * 2, uint64_t(limit) + 1)));
        const ssize_t got = read(fd, out.data() + filled, out.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = path + ": " + std::strerror(errno);
            close(fd);
            out.clear();
            return FileStatus::Error;
        }
        if (got == 0) break;
        filled += size_t(got);
        if (filled > limit) {
            error = path + ": larger than " + std::to_string(limit) + " bytes";
            close(fd);
            out.clear();
            return FileStatus::Error;
        }
    }
    close(fd);
    out.resize(filled);
    return FileStatus::Ok;
}

template <typename Buffer>
FileStatus readBounded(const std::string& path, size_t limit, Buffer& out, std::string& error) {
    out.clear();
    error.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return FileStatus::Missing;
        error = path + ": " + std::strerror(errno);
        return FileStatus::Error;
    }
    return readOpened(fd, path, limit, out, error);
}

} // namespace

FileStatus readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes,
                         std::string& error) {
    return readBounded(path, limit, bytes, error);
}

FileStatus readFileText(const std::string& path, size_t limit, std::string& text, std::string& error) {
    return readBounded(path, limit, text, error);
}

std::vector<std::string> listFolder(const std::string& path) {
    constexpr size_t kMostEntries = 4096;
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        if (names.size() >= kMostEntries) break;
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

std::string readSysfsAttribute(const std::string& path) {
    constexpr size_t kPage = 4096;
    std::string text, error;
    if (readFileText(path, kPage, text, error) != FileStatus::Ok) return {};
    return std::string(trim(std::string_view(text).substr(0, text.find('\n'))));
}

FileStatus readOpenedFile(int fd, const std::string& path, size_t limit, std::vector<uint8_t>& bytes,
                          std::string& error) {
    return readOpened(fd, path, limit, bytes, error);
}

FileStatus readOpenedFile(int fd, const std::string& path, size_t limit, std::string& text, std::string& error) {
    return readOpened(fd, path, limit, text, error);
}

} // namespace vexa::machine
