#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "platform/internal/handles.h"
#include "platform/testing.h"

namespace {

class RegistryKey final : public vexa::platform::KernelObject {
public:
    explicit RegistryKey(std::string path) : path(std::move(path)) {}
    const std::string path;  // below HKEY_LOCAL_MACHINE, without surrounding '\'
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// "\A\\B\" -> "A\B".
std::string keyPath(std::string path) {
    std::string clean;
    for (char c : path)
        if (c != '\\' || (!clean.empty() && clean.back() != '\\')) clean += c;
    if (!clean.empty() && clean.back() == '\\') clean.pop_back();
    return clean;
}

bool keyExists(const std::string& path) {
    if (path.empty()) return true;
    const std::string wanted = lowerCase(path);
    for (const std::string& listed : vexa::platform::testing::windowsIdentity().registryKeys) {
        const std::string key = lowerCase(keyPath(listed));
        if (key == wanted || key.rfind(wanted + "\\", 0) == 0) return true;
    }
    return false;
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, DWORD, HKEY* result) {
    if (!result) return LONG(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    std::string parent;
    if (key != HKEY_LOCAL_MACHINE) {
        auto open = vexa::platform::lookupHandleAs<RegistryKey>(reinterpret_cast<HANDLE>(key));
        if (!open) return LONG(ERROR_INVALID_HANDLE);
        parent = open->path;
    }
    const std::string child = keyPath(subKey ? subKey : "");
    const std::string path = parent.empty() ? child : child.empty() ? parent : parent + "\\" + child;
    if (!keyExists(path)) return LONG(ERROR_FILE_NOT_FOUND);
    *result = reinterpret_cast<HKEY>(vexa::platform::registerHandle(std::make_shared<RegistryKey>(path)));
    return LONG(ERROR_SUCCESS);
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return LONG(ERROR_SUCCESS);
    const HANDLE handle = reinterpret_cast<HANDLE>(key);
    if (!vexa::platform::lookupHandleAs<RegistryKey>(handle) || !vexa::platform::closeHandle(handle))
        return LONG(ERROR_INVALID_HANDLE);
    return LONG(ERROR_SUCCESS);
}
