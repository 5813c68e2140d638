#include "platform/temp_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/internal/handles.h"

namespace vexa::platform {

namespace {

constexpr mode_t kPrivateMode = 0700;

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// "<folder>/<prefix>XXXXXX<suffix>" as a writable template.
std::vector<char> nameTemplate(const char* folder, const char* prefix, const char* suffix) {
    const std::string text = withoutTrailingSeparators(nativePath(folder)) + "/" + prefix + "XXXXXX" + suffix;
    return std::vector<char>(text.begin(), text.end() + 1);
}

} // namespace

DWORD usePrivateFolder(const char* path) {
    const std::string native = withoutTrailingSeparators(nativePath(path));
    if (mkdir(native.c_str(), kPrivateMode) == 0) {
        // The umask may have taken bits away; the mode is exactly ours.
        return chmod(native.c_str(), kPrivateMode) == 0 ? ERROR_SUCCESS : errorFromErrno(errno);
    }
    if (errno != EEXIST) return errorFromErrno(errno);
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0) return errorFromErrno(errno);
    const bool ours = S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 07777) == kPrivateMode;
    return ours ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

DWORD createPrivateFolder(const char* parent, const char* prefix, std::string& path) {
    std::vector<char> name = nameTemplate(parent, prefix, "");
    if (!mkdtemp(name.data())) return errorFromErrno(errno);
    path = name.data();
    return chmod(path.c_str(), kPrivateMode) == 0 ? ERROR_SUCCESS : errorFromErrno(errno);
}

DWORD createUniqueFile(const char* folder, const char* prefix, const char* suffix, std::string& path) {
    std::vector<char> name = nameTemplate(folder, prefix, suffix);
    const int fd = mkstemps(name.data(), static_cast<int>(std::strlen(suffix)));
    if (fd < 0) return errorFromErrno(errno);
    close(fd);
    path = name.data();
    return ERROR_SUCCESS;
}

} // namespace vexa::platform
