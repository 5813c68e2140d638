#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/internal/control_device.h"
#include "platform/internal/handles.h"

namespace vexa::platform {

std::string nativePath(const char* path) {
    std::string native = path ? path : "";
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

namespace {

class FileObject final : public KernelObject {
public:
    explicit FileObject(int fd) : fd_(fd) {}
    ~FileObject() override { close(fd_); }
    int fd() const { return fd_; }

private:
    int fd_;
};

// ERROR_PATH_NOT_FOUND when the folder of a missing file is missing too.
DWORD missingFileError(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
    struct stat st {};
    return stat(path.substr(0, slash).c_str(), &st) == 0 ? ERROR_FILE_NOT_FOUND
                                                         : ERROR_PATH_NOT_FOUND;
}

DWORD pathError(const std::string& path, int error) {
    return error == ENOENT ? missingFileError(path) : errorFromErrno(error);
}

} // namespace

HANDLE openDriverDevice(const std::string& name, DWORD shareMode);

} // namespace vexa::platform

using namespace vexa::platform;

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (HANDLE device; openSystemDevice(path, device)) return device;  // disks, USB controllers and hubs
    if (std::strncmp(path, "\\\\.\\", 4) == 0) return openDriverDevice(path + 4, shareMode);
    const std::string native = nativePath(path);
    int flags = O_CLOEXEC;
    const bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
    flags |= (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    struct stat st {};
    const bool existed = stat(native.c_str(), &st) == 0;
    switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if (existed && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = open(native.c_str(), flags, 0644);
    if (fd < 0) {
        SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : pathError(native, errno));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = registerHandle(std::make_shared<FileObject>(fd));
    const bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID) {
    auto object = lookupHandleAs<FileObject>(file);
    if (bytesRead) *bytesRead = 0;
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytesToRead) {
        const ssize_t n = ::read(object->fd(), static_cast<char*>(buffer) + done, bytesToRead - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetLastError(errorFromErrno(errno));
            return FALSE;
        }
        if (n == 0) break;
        done += static_cast<DWORD>(n);
    }
    if (bytesRead) *bytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPVOID) {
    auto object = lookupHandleAs<FileObject>(file);
    if (bytesWritten) *bytesWritten = 0;
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytesToWrite) {
        const ssize_t n =
            ::write(object->fd(), static_cast<const char*>(buffer) + done, bytesToWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (bytesWritten) *bytesWritten = done;
            SetLastError(errorFromErrno(errno));
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (bytesWritten) *bytesWritten = done;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    auto object = lookupHandleAs<FileObject>(file);
    struct stat st {};
    if (!object || fstat(object->fd(), &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    auto object = lookupHandleAs<FileObject>(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    int64_t offset = distanceHigh ? (int64_t(*distanceHigh) << 32) | uint32_t(distance) : distance;
    const off_t position = lseek(object->fd(), offset, whence);
    if (position < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);  // ERROR_NEGATIVE_SEEK is close enough
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(uint64_t(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL DeleteFileA(LPCSTR path) {
    const std::string native = nativePath(path);
    struct stat st {};
    if (lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(native.c_str()) != 0) {
        SetLastError(pathError(native, errno));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    const std::string native = nativePath(path);
    if (mkdir(native.c_str(), 0777) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    const std::string native = nativePath(path);
    if (rmdir(native.c_str()) != 0) {
        SetLastError(pathError(native, errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
    const std::string native = nativePath(path);
    struct stat st {};
    if (stat(native.c_str(), &st) != 0) {
        SetLastError(pathError(native, errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return (st.st_mode & S_IWUSR) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    std::string path = "/tmp";
    if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir && *tmpdir == '/') path = tmpdir;
    if (path.back() != '/') path += '/';
    if (path.size() + 1 > bufferLength || !buffer) return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

namespace vexa::platform {

namespace {

bool ours(const struct stat& st) { return st.st_uid == geteuid(); }

} // namespace

DWORD createOwnDirectory(const char* path) {
    const std::string native = nativePath(path);
    std::string trimmed = native;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    if (mkdir(trimmed.c_str(), 0700) == 0) return ERROR_SUCCESS;
    if (errno != EEXIST) return pathError(trimmed, errno);
    struct stat st {};
    if (lstat(trimmed.c_str(), &st) != 0) return errorFromErrno(errno);
    if (!S_ISDIR(st.st_mode) || !ours(st)) return ERROR_ACCESS_DENIED;
    if ((st.st_mode & 07777) != 0700 && chmod(trimmed.c_str(), 0700) != 0) return errorFromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD createOwnFile(const char* path) {
    const std::string native = nativePath(path);
    int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) {
        // Something is there: empty it only when it is a regular file of ours
        // with no other name (a hard link would carry the truncation to
        // whatever file it names).
        fd = open(native.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return errno == ELOOP ? ERROR_ACCESS_DENIED : errorFromErrno(errno);
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ours(st) || st.st_nlink != 1 ||
            ftruncate(fd, 0) != 0) {
            close(fd);
            return ERROR_ACCESS_DENIED;
        }
    }
    if (fd < 0) return pathError(native, errno);
    close(fd);
    return ERROR_SUCCESS;
}

DWORD writeNewFile(const char* path, const void* data, size_t size) {
    const std::string native = nativePath(path);
    const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? ERROR_FILE_EXISTS : pathError(native, errno);
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const DWORD error = errorFromErrno(errno);
            close(fd);
            unlink(native.c_str());
            return error;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0) return errorFromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD checkOwnFile(const char* path) {
    const std::string native = nativePath(path);
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0) return pathError(native, errno);
    return S_ISREG(st.st_mode) && ours(st) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

DWORD appendOwnFile(const char* path, const void* data, size_t size) {
    const std::string native = nativePath(path);
    const int fd = open(native.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ELOOP ? ERROR_ACCESS_DENIED : pathError(native, errno);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ours(st)) {
        close(fd);
        return ERROR_ACCESS_DENIED;
    }
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    return done == size ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

} // namespace vexa::platform
