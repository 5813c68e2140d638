#include "platform/object_namespace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/internal/namespace_guard.h"

namespace vexa::platform {

bool usePrivateDirectory(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        error = "cannot inspect " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = path + " is not a directory";
        return false;
    }
    if (st.st_uid != geteuid()) {
        error = path + " belongs to another user";
        return false;
    }
    // A folder that others may enter was not made by us as a namespace
    // (ours are created 0700): it is refused, never changed.
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
        error = path + " is open to other users (mode " + mode +
                "); the namespace must be a private folder (0700) or one that does not exist yet";
        return false;
    }
    return true;
}

namespace {

std::string defaultDirectory() {
    if (geteuid() == 0 && access("/run", W_OK) == 0) return "/run/vexa";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        return std::string(runtime) + "/vexa";
    return "/tmp/vexa-" + std::to_string(geteuid());
}

struct NamespaceState {
    std::once_flag once;
    std::string directory;
    std::string error;
};

NamespaceState& state() {
    static NamespaceState instance;
    return instance;
}

} // namespace

const std::string& objectNamespace(std::string* error) {
    NamespaceState& s = state();
    std::call_once(s.once, [&s] {
        const char* chosen = std::getenv("VEXA_NAMESPACE");
        const bool named = chosen && *chosen;
        const std::string directory = named ? chosen : defaultDirectory();
        if (usePrivateDirectory(directory, s.error)) s.directory = directory;
        else if (named) s.error = "VEXA_NAMESPACE: " + s.error;
    });
    if (error) *error = s.error;
    return s.directory;
}

std::string objectPath(const std::string& kind, const std::string& name) {
    const std::string& directory = objectNamespace();
    if (directory.empty()) return {};
    static const char hex[] = "0123456789ABCDEF";
    std::string component = kind + ".";
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-' || c == '.') {
            component += static_cast<char>(c);
        } else {
            component += '%';
            component += hex[c >> 4];
            component += hex[c & 15];
        }
    }
    // A file name holds at most 255 bytes: long names keep their start and
    // are told apart by a hash of the whole name.
    if (component.size() > 240) {
        uint64_t hash = 0xcbf29ce484222325ull;
        for (unsigned char c : name) hash = (hash ^ c) * 0x100000001b3ull;
        component.resize(200);
        component += '~';
        for (int shift = 60; shift >= 0; shift -= 4) component += hex[(hash >> shift) & 15];
    }
    return directory + "/" + component;
}

NamespaceGuard::NamespaceGuard() {
    const std::string& directory = objectNamespace();
    if (directory.empty()) return;
    fd_ = open((directory + "/namespace.lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

NamespaceGuard::~NamespaceGuard() {
    if (fd_ >= 0) close(fd_);  // releases the lock
}

} // namespace vexa::platform
