#include "platform/resources.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/modules.h"

namespace vexa::platform {
namespace {

struct Registry {
    std::mutex lock;
    std::vector<const ResourceEntry*> entries;
};

Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

// An integer id given directly (MAKEINTRESOURCE) or as "#123".
bool resourceNumber(LPCSTR name, unsigned& number) {
    const auto value = reinterpret_cast<uintptr_t>(name);
    if (value < 0x10000) {
        number = static_cast<unsigned>(value);
        return true;
    }
    if (name[0] != '#') return false;
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(name + 1, &end, 10);
    if (end == name + 1 || *end || parsed > 0xFFFF) return false;
    number = static_cast<unsigned>(parsed);
    return true;
}

} // namespace

ResourceTable::ResourceTable(const ResourceEntry* entries, size_t count) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    for (size_t i = 0; i < count; ++i) r.entries.push_back(&entries[i]);
}

} // namespace vexa::platform

using namespace vexa::platform;

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (module && module != GetModuleHandleA(nullptr)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    unsigned id, kind;
    if (!name || !type || !resourceNumber(name, id) || !resourceNumber(type, kind)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    bool typeSeen = false;
    for (const ResourceEntry* entry : r.entries) {
        if (entry->type != kind) continue;
        typeSeen = true;
        if (entry->id == id) return entry;
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (!resource) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return resource->data;
}

LPVOID LockResource(HGLOBAL data) { return const_cast<void*>(data); }

DWORD SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(resource->size);
}
