#include "platform/environment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <ctime>
#include <string>

#include "platform/files.h"
#include "platform/internal/handles.h"
#include "platform/object_namespace.h"
#include "platform/text.h"

namespace {

// Copies a text Windows-style: the length without the terminator when it
// fits, else the size needed with the terminator.
UINT copyOut(const std::string& text, LPSTR buffer, UINT size) {
    if (!buffer || text.size() + 1 > size) return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}

// A folder of the object namespace standing in for the Windows folder.
std::string windowsFolder() {
    const std::string& objects = vexa::platform::objectNamespace();
    if (objects.empty()) return "/tmp";
    const std::string folder = objects + "/windows";
    vexa::platform::createOwnDirectory(folder.c_str());
    return folder;
}

std::string systemFolder() {
    const std::string folder = windowsFolder() + "/system32";
    vexa::platform::createOwnDirectory(folder.c_str());
    return folder;
}

} // namespace

BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "localhost");
    std::string name(host);
    name = name.substr(0, name.find('.'));  // the short name
    if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!buffer || *size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char path[4096];
    if (!getcwd(path, sizeof path)) {
        SetLastError(vexa::platform::errorFromErrno(errno));
        return 0;
    }
    return copyOut(path, buffer, bufferLength);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string native = vexa::platform::nativePath(path);
    if (chdir(native.c_str()) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : vexa::platform::errorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) { return copyOut(windowsFolder(), buffer, size); }

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) { return copyOut(systemFolder(), buffer, size); }

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    const std::wstring folder = vexa::platform::toWide(systemFolder());
    if (!buffer || folder.size() + 1 > size) return static_cast<UINT>(folder.size() + 1);
    std::wmemcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<UINT>(folder.size());
}

void GetLocalTime(SYSTEMTIME* time) {
    if (!time) return;
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local {};
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
