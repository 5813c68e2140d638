#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/internal/browser_command.h"
#include "platform/internal/handles.h"
#include "platform/internal/registry_values.h"
#include "platform/testing.h"

namespace {

enum class Root { LocalMachine, ClassesRoot };

class RegistryKey final : public vexa::platform::KernelObject {
public:
    RegistryKey(Root root, std::string path, vexa::platform::RegistryValues values = {})
        : root(root), path(std::move(path)), values(std::move(values)) {}
    const Root root;
    const std::string path;  // below the root, without surrounding '\'
    const vexa::platform::RegistryValues values;  // names in lower case; device keys only
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

bool listedOrParent(const std::string& wanted, const std::string& listed) {
    const std::string key = lowerCase(keyPath(listed));
    return key == wanted || key.rfind(wanted + "\\", 0) == 0;
}

// The browser's registration: key -> default value.
struct ClassKey {
    const char* path;  // lower case
    bool command;      // the value is the browser's command, else `value`
    const char* value;
};
constexpr ClassKey kClassKeys[] = {
    {".htm", false, "htmlfile"},
    {"htmlfile\\shell\\open\\command", true, nullptr},
    {"http\\shell\\open\\command", true, nullptr},
};

std::optional<std::string> classDefaultValue(const std::string& path) {
    const std::string wanted = lowerCase(path);
    for (const ClassKey& key : kClassKeys)
        if (wanted == key.path) return key.command ? vexa::platform::browserCommand() : std::string(key.value);
    return std::nullopt;
}

bool keyExists(Root root, const std::string& path) {
    if (path.empty()) return true;
    const std::string wanted = lowerCase(path);
    if (root == Root::ClassesRoot) {
        if (!vexa::platform::browserCommand()) return false;
        return std::any_of(std::begin(kClassKeys), std::end(kClassKeys),
                           [&](const ClassKey& key) { return listedOrParent(wanted, key.path); });
    }
    for (const std::string& listed : vexa::platform::testing::windowsIdentity().registryKeys)
        if (listedOrParent(wanted, listed)) return true;
    return false;
}

std::optional<Root> rootOf(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return Root::LocalMachine;
    if (key == HKEY_CLASSES_ROOT) return Root::ClassesRoot;
    return std::nullopt;
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, DWORD, HKEY* result) {
    if (!result) return LONG(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    std::string parent;
    std::optional<Root> root = rootOf(key);
    if (!root) {
        auto open = vexa::platform::lookupHandleAs<RegistryKey>(reinterpret_cast<HANDLE>(key));
        if (!open) return LONG(ERROR_INVALID_HANDLE);
        root = open->root;
        parent = open->path;
    }
    const std::string child = keyPath(subKey ? subKey : "");
    const std::string path = parent.empty() ? child : child.empty() ? parent : parent + "\\" + child;
    if (!keyExists(*root, path)) return LONG(ERROR_FILE_NOT_FOUND);
    *result = reinterpret_cast<HKEY>(vexa::platform::registerHandle(std::make_shared<RegistryKey>(*root, path)));
    return LONG(ERROR_SUCCESS);
}

HKEY vexa::platform::openValueKey(RegistryValues values) {
    RegistryValues lowered;
    for (auto& [name, bytes] : values) lowered.emplace(lowerCase(name), std::move(bytes));
    return reinterpret_cast<HKEY>(
        registerHandle(std::make_shared<RegistryKey>(Root::LocalMachine, std::string(), std::move(lowered))));
}

// A device key's binary values, or the default value (text) of the
// browser's registration below HKEY_CLASSES_ROOT.
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    if (data && !size) return LONG(ERROR_INVALID_PARAMETER);
    auto open = vexa::platform::lookupHandleAs<RegistryKey>(reinterpret_cast<HANDLE>(key));
    if (!open) return LONG(key == HKEY_LOCAL_MACHINE ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE);
    const std::string wanted = lowerCase(name ? name : "");
    std::vector<uint8_t> bytes;
    DWORD valueType = REG_BINARY;
    if (const auto value = open->values.find(wanted); value != open->values.end()) {
        bytes = value->second;
    } else if (wanted.empty() && open->root == Root::ClassesRoot) {
        const std::optional<std::string> text = classDefaultValue(open->path);
        if (!text) return LONG(ERROR_FILE_NOT_FOUND);
        bytes.assign(text->begin(), text->end());
        bytes.push_back(0);
        valueType = REG_SZ;
    } else {
        return LONG(ERROR_FILE_NOT_FOUND);
    }
    if (type) *type = valueType;
    const DWORD needed = static_cast<DWORD>(bytes.size());
    if (!size) return LONG(ERROR_SUCCESS);
    const DWORD room = *size;
    *size = needed;
    if (!data) return LONG(ERROR_SUCCESS);
    if (room < needed) return LONG(ERROR_MORE_DATA);
    if (needed) std::memcpy(data, bytes.data(), needed);
    return LONG(ERROR_SUCCESS);
}

LONG RegCloseKey(HKEY key) {
    if (rootOf(key)) return LONG(ERROR_SUCCESS);
    const HANDLE handle = reinterpret_cast<HANDLE>(key);
    if (!vexa::platform::lookupHandleAs<RegistryKey>(handle) || !vexa::platform::closeHandle(handle))
        return LONG(ERROR_INVALID_HANDLE);
    return LONG(ERROR_SUCCESS);
}
