#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/internal/handles.h"
#include "platform/internal/registry_values.h"
#include "platform/testing.h"

namespace {

class RegistryKey final : public vexa::platform::KernelObject {
public:
    explicit RegistryKey(std::string path, vexa::platform::RegistryValues values = {})
        : path(std::move(path)), values(std::move(values)) {}
    const std::string path;  // below HKEY_LOCAL_MACHINE, without surrounding '\'
    const vexa::platform::RegistryValues values;  // names in lower case
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

HKEY vexa::platform::openValueKey(RegistryValues values) {
    RegistryValues lowered;
    for (auto& [name, bytes] : values) lowered.emplace(lowerCase(name), std::move(bytes));
    return reinterpret_cast<HKEY>(registerHandle(std::make_shared<RegistryKey>(std::string(), std::move(lowered))));
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    if (data && !size) return LONG(ERROR_INVALID_PARAMETER);
    auto open = vexa::platform::lookupHandleAs<RegistryKey>(reinterpret_cast<HANDLE>(key));
    if (!open) return LONG(key == HKEY_LOCAL_MACHINE ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE);
    const auto value = open->values.find(lowerCase(name ? name : ""));
    if (value == open->values.end()) return LONG(ERROR_FILE_NOT_FOUND);
    const DWORD needed = static_cast<DWORD>(value->second.size());
    if (type) *type = REG_BINARY;
    if (!data) {
        if (size) *size = needed;
        return LONG(ERROR_SUCCESS);
    }
    const DWORD room = *size;
    *size = needed;
    if (room < needed) return LONG(ERROR_MORE_DATA);
    if (needed) std::memcpy(data, value->second.data(), needed);
    return LONG(ERROR_SUCCESS);
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return LONG(ERROR_SUCCESS);
    const HANDLE handle = reinterpret_cast<HANDLE>(key);
    if (!vexa::platform::lookupHandleAs<RegistryKey>(handle) || !vexa::platform::closeHandle(handle))
        return LONG(ERROR_INVALID_HANDLE);
    return LONG(ERROR_SUCCESS);
}
