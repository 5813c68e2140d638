#include "sdk/nvapi/secure_load.h"

#include <cwchar>
#include <vector>

#include "platform/environment.h"
#include "platform/modules.h"

HMODULE SecureLoadSystemLibraryExA(const char* name, DWORD flags) {
    const std::optional<std::wstring> wide = AnsiToWideLocalAlloc(name);
    return SecureLoadSystemLibraryExW(wide ? wide->c_str() : nullptr, flags);
}

HMODULE SecureLoadSystemLibraryExW(const wchar_t* name, DWORD flags) {
    SetLastError(ERROR_SUCCESS);
    if (HasPathSeparator(name)) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return nullptr;
    }
    const std::optional<std::wstring> path = BuildSystemDirectoryPath(name);
    if (name && !path) return nullptr;
    return LoadLibraryExW(path ? path->c_str() : nullptr, nullptr, flags & ~kSearchWideningLoadFlags);
}

std::optional<std::wstring> BuildSystemDirectoryPath(const wchar_t* name) {
    if (!name) return std::nullopt;
    const UINT needed = GetSystemDirectoryW(nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::vector<wchar_t> folder(needed, L'\0');
    const UINT length = GetSystemDirectoryW(folder.data(), needed);
    if (length == 0 || length >= needed) return std::nullopt;
    std::wstring path(folder.data(), length);
    if (path.back() != L'\\') path += L'\\';
    return path + name;
}

std::optional<std::wstring> AnsiToWideLocalAlloc(const char* name) {
    if (!name) return std::nullopt;
    std::wstring wide;
    for (const char* c = name; *c; ++c) wide += wchar_t(static_cast<unsigned char>(*c));
    return wide;
}

bool HasPathSeparator(const wchar_t* name) { return name && std::wcspbrk(name, L"\\/") != nullptr; }
