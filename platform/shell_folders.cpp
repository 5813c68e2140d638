#include "platform/shell_folders.h"

#include <cstring>

#include "platform/object_namespace.h"

namespace {

constexpr size_t kMaxPath = 260;

} // namespace

std::string vexa::platform::programFilesFolder() {
    const std::string& objects = objectNamespace();
    return (objects.empty() ? std::string("/tmp") : objects) + "/Program Files (x86)";
}

HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, LPSTR path) {
    if (!path || folder != CSIDL_PROGRAM_FILESX86) return E_INVALIDARG;
    const std::string native = vexa::platform::programFilesFolder();
    if (native.size() + 1 > kMaxPath) return E_INVALIDARG;
    std::memcpy(path, native.c_str(), native.size() + 1);
    return S_OK;
}
