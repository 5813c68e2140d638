#include "machine/image_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vexa::machine {
namespace {

// The real path of `path` (links followed, "." and ".." gone); false with
// errno set when it cannot be resolved.
bool realPath(const std::string& path, std::string& real) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return false;
    real = resolved.get();
    return true;
}

bool missing(int error) { return error == ENOENT || error == ENOTDIR; }

} // namespace

FileStatus ImageFiles::findRoot(std::string& error) {
    if (!root_.empty()) return FileStatus::Ok;
    if (!realPath(directory_, root_)) {
        root_.clear();
        if (missing(errno)) return FileStatus::Missing;
        error = directory_ + ": " + std::strerror(errno);
        return FileStatus::Error;
    }
    if (root_ == "/") {
        // Every path would be inside it.
        root_.clear();
        error = directory_ + ": the root folder cannot be a machine image";
        return FileStatus::Error;
    }
    return FileStatus::Ok;
}

FileStatus ImageFiles::resolve(const std::string& name, std::string& real, std::string& error) {
    error.clear();
    if (name.empty() || name.find('\0') != std::string::npos) {
        error = shown(name) + ": not a file name";
        return FileStatus::Error;
    }
    if (name.front() == '/') {
        error = shown(name) + ": an absolute path; files are named relative to the image folder";
        return FileStatus::Error;
    }
    // A ".." that climbs out is refused before the file system is asked,
    // so that whether something exists out there is never told.
    const std::filesystem::path normal = std::filesystem::path(name).lexically_normal();
    if (!normal.empty() && *normal.begin() == "..") {
        error = shown(name) + ": leaves the image folder";
        return FileStatus::Error;
    }
    if (const FileStatus root = findRoot(error); root != FileStatus::Ok) return root;
    if (!realPath(root_ + "/" + name, real)) {
        if (missing(errno)) return FileStatus::Missing;
        error = shown(name) + ": " + std::strerror(errno);
        return FileStatus::Error;
    }
    if (real != root_ && real.compare(0, root_.size() + 1, root_ + "/") != 0) {
        error = shown(name) + ": a link that leads out of the image folder";
        return FileStatus::Error;
    }
    return FileStatus::Ok;
}

template <typename Buffer>
FileStatus ImageFiles::readInside(const std::string& name, size_t limit, Buffer& out, std::string& error) {
    out.clear();
    std::string real;
    const FileStatus status = resolve(name, real, error);
    if (status != FileStatus::Ok) return status;
    // The resolved path has no links left; one put there since is not
    // followed. A FIFO or a terminal neither blocks nor becomes ours.
    const int fd = open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) {
        if (missing(errno)) return FileStatus::Missing;
        error = shown(name) + ": " + std::strerror(errno);
        return FileStatus::Error;
    }
    const size_t left = kImageByteBudget - used_;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && uint64_t(info.st_size) > std::min(limit, left)) {
        close(fd);
        error = uint64_t(info.st_size) > limit ? shown(name) + ": larger than " + std::to_string(limit) + " bytes"
                                                : overBudget(name);
        return FileStatus::Error;
    }
    // A file that grows while it is read still stops at the budget.
    const FileStatus read = readOpenedFile(fd, shown(name), std::min(limit, left), out, error);
    if (read == FileStatus::Ok) used_ += out.size();
    return read;
}

FileStatus ImageFiles::read(const std::string& name, size_t limit, std::vector<uint8_t>& bytes, std::string& error) {
    return readInside(name, limit, bytes, error);
}

FileStatus ImageFiles::read(const std::string& name, size_t limit, std::string& text, std::string& error) {
    return readInside(name, limit, text, error);
}

std::string ImageFiles::overBudget(const std::string& name) const {
    return shown(name) + ": the image's files would hold more than " + std::to_string(kImageByteBudget) +
           " bytes in all";
}

FileStatus ImageFiles::sizeOf(const std::string& name, uint64_t& bytes, std::string& error) {
    bytes = 0;
    std::string real;
    const FileStatus status = resolve(name, real, error);
    if (status != FileStatus::Ok) return status;
    struct stat info {};
    if (stat(real.c_str(), &info) != 0) {
        if (missing(errno)) return FileStatus::Missing;
        error = shown(name) + ": " + std::strerror(errno);
        return FileStatus::Error;
    }
    bytes = uint64_t(info.st_size);
    return FileStatus::Ok;
}

FileStatus ImageFiles::list(const std::string& name, std::vector<std::string>& files, std::string& error) {
    files.clear();
    std::string real;
    const FileStatus status = resolve(name, real, error);
    if (status != FileStatus::Ok) return status;
    struct stat info {};
    if (stat(real.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return FileStatus::Missing;
    const auto closeFolder = [](DIR* open) { closedir(open); };
    const std::unique_ptr<DIR, decltype(closeFolder)> folder(opendir(real.c_str()), closeFolder);
    if (!folder) {
        error = shown(name) + ": " + std::strerror(errno);
        return FileStatus::Error;
    }
    while (const dirent* entry = readdir(folder.get())) {
        const std::string file = entry->d_name;
        if (file == "." || file == "..") continue;
        // Links are followed here only to see what they name; reading one
        // checks where it leads.
        if (stat((real + "/" + file).c_str(), &info) == 0 && S_ISREG(info.st_mode)) files.push_back(file);
    }
    std::sort(files.begin(), files.end());
    return FileStatus::Ok;
}

bool ImageFiles::exists(const std::string& name) {
    std::string real, ignored;
    return resolve(name, real, ignored) == FileStatus::Ok;
}

} // namespace vexa::machine
