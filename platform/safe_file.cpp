#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/files.h"

namespace vexa::platform {
namespace {

constexpr int kTemporaryNameAttempts = 16;
constexpr size_t kMaxTemporaryBaseBytes = 200;  // room for the random part within a 255-byte name
constexpr mode_t kNewFileMode = 0666;           // narrowed by the umask, as for any new file

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string randomHex() {
    unsigned char bytes[8] = {};
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        got += static_cast<size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

// What is at the final name, as a reason to refuse it; empty when the name
// is free or holds a regular file of ours (its permission bits then in
// `mode`, which is left alone for a free name).
std::string refusalAt(const std::string& path, std::optional<mode_t>& mode) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? std::string() : std::strerror(errno);
    if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    if (st.st_uid != geteuid()) return "it belongs to another user";
    mode = st.st_mode & 0777;
    return {};
}

} // namespace

// The stream's writes go straight to the descriptor; the first failure's
// errno is kept for the error text. Closing syncs first when committing.
struct SafeFileWriter::Target {
    int fd = -1;
    int error = 0;
    bool syncOnClose = false;

    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto* target = static_cast<Target*>(cookie);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(target->fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (target->error == 0) target->error = n < 0 ? errno : ENOSPC;
                return done > 0 ? static_cast<ssize_t>(done) : -1;
            }
            done += static_cast<size_t>(n);
        }
        return static_cast<ssize_t>(done);
    }

    static int close(void* cookie) {
        auto* target = static_cast<Target*>(cookie);
        if (target->syncOnClose && fsync(target->fd) != 0 && target->error == 0) target->error = errno;
        if (::close(target->fd) != 0 && target->error == 0) target->error = errno;
        target->fd = -1;
        return target->error == 0 ? 0 : -1;
    }
};

namespace {

// The folder's entry for the renamed file reaches the disk too.
void syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

} // namespace

SafeFileWriter::SafeFileWriter(const std::string& path) : path_(nativePath(path.c_str())) {
    if (path_.empty() || path_.back() == '/') {
        fail("no file name");
        return;
    }
    std::optional<mode_t> mode;
    if (const std::string refusal = refusalAt(path_, mode); !refusal.empty()) {
        fail(refusal);
        return;
    }
    const std::string prefix = folderOf(path_) + "/." + baseOf(path_).substr(0, kMaxTemporaryBaseBytes) + ".";
    int fd = -1;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && fd < 0; ++attempt) {
        const std::string suffix = randomHex();
        if (suffix.empty()) break;
        temporary_ = prefix + suffix;
        fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int error = errno;
        temporary_.clear();
        fail(std::strerror(error));
        return;
    }
    target_ = std::make_unique<Target>();
    target_->fd = fd;
    if (mode && fchmod(fd, *mode) != 0) {
        fail(std::strerror(errno));
    } else {
        const cookie_io_functions_t functions{nullptr, Target::write, nullptr, Target::close};
        stream_ = fopencookie(target_.get(), "w", functions);
        if (!stream_) fail(std::strerror(errno));
    }
    if (!stream_) {
        Target::close(target_.get());
        discard();
    }
}

SafeFileWriter::~SafeFileWriter() { discard(); }

void SafeFileWriter::fail(const std::string& reason) {
    if (error_.empty()) error_ = "cannot write " + path_ + ": " + reason;
}

void SafeFileWriter::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

bool SafeFileWriter::commit() {
    if (!stream_) {
        fail("it was not opened");
        return false;
    }
    const bool flushed = std::fflush(stream_) == 0 && !std::ferror(stream_);
    target_->syncOnClose = flushed;
    const bool closed = std::fclose(std::exchange(stream_, nullptr)) == 0;
    if (!flushed || !closed) {
        fail(std::strerror(target_->error != 0 ? target_->error : EIO));
        discard();
        return false;
    }
    // Checked again: the name may have changed while the file was written.
    std::optional<mode_t> mode;
    if (const std::string refusal = refusalAt(path_, mode); !refusal.empty()) {
        fail(refusal);
        discard();
        return false;
    }
    if (rename(temporary_.c_str(), path_.c_str()) != 0) {
        fail(std::strerror(errno));
        discard();
        return false;
    }
    temporary_.clear();
    syncFolder(folderOf(path_));
    return true;
}

bool writeSafeFile(const std::string& path, const void* data, size_t size, std::string& error) {
    SafeFileWriter file(path);
    if (file.isOpen()) std::fwrite(data, 1, size, file.stream());
    if (file.commit()) return true;
    error = file.error();
    return false;
}

bool readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string& error) {
    bytes.clear();
    const std::string native = nativePath(path.c_str());
    const auto refuse = [&](const std::string& reason) {
        error = "cannot read " + native + ": " + reason;
        return false;
    };
    const int fd = open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuse(errno == ELOOP ? "it is a symbolic link" : std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse("it is not a regular file");
    }
    bytes.resize(maxBytes);
    size_t done = 0;
    while (done < maxBytes) {
        const ssize_t n = ::read(fd, bytes.data() + done, maxBytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int readError = errno;
            ::close(fd);
            bytes.clear();
            return refuse(std::strerror(readError));
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return true;
}

} // namespace vexa::platform
