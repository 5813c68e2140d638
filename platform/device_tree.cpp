// The configuration manager's walk over the device tree of the current
// machine, and device information sets over the same tree. Device instances
// are node numbers + 1 (0 is never valid).
#include "platform/device_tree.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "machine/machine.h"
#include "platform/device_interfaces.h"
#include "platform/internal/handles.h"
#include "platform/internal/libraries.h"

namespace {

using vexa::machine::DeviceNode;

std::vector<DeviceNode> tree() { return vexa::machine::current().deviceTree(); }

bool valid(const std::vector<DeviceNode>& nodes, DEVINST instance) {
    return instance >= 1 && instance <= nodes.size();
}

CONFIGRET CM_Locate_DevNodeA(DEVINST* instance, const char* deviceId, ULONG) {
    if (!instance) return CR_INVALID_POINTER;
    *instance = 0;
    // Only the root is located by a null or empty id.
    if (deviceId && *deviceId) return CR_NO_SUCH_DEVNODE;
    if (tree().empty()) return CR_NO_SUCH_DEVNODE;
    *instance = 1;
    return CR_SUCCESS;
}

// The first node after `from` whose parent is `parent`.
CONFIGRET findChild(const std::vector<DeviceNode>& nodes, int parent, size_t from,
                    DEVINST* result) {
    for (size_t i = from; i < nodes.size(); ++i) {
        if (nodes[i].parent == parent) {
            *result = static_cast<DEVINST>(i + 1);
            return CR_SUCCESS;
        }
    }
    return CR_NO_SUCH_DEVNODE;
}

CONFIGRET CM_Get_Child(DEVINST* child, DEVINST instance, ULONG) {
    if (!child) return CR_INVALID_POINTER;
    *child = 0;
    const auto nodes = tree();
    if (!valid(nodes, instance)) return CR_INVALID_DEVNODE;
    return findChild(nodes, static_cast<int>(instance - 1), 0, child);
}

CONFIGRET CM_Get_Sibling(DEVINST* sibling, DEVINST instance, ULONG) {
    if (!sibling) return CR_INVALID_POINTER;
    *sibling = 0;
    const auto nodes = tree();
    if (!valid(nodes, instance)) return CR_INVALID_DEVNODE;
    const int parent = nodes[instance - 1].parent;
    if (parent < 0) return CR_NO_SUCH_DEVNODE;  // the root has no siblings
    return findChild(nodes, parent, instance, sibling);
}

CONFIGRET CM_Get_Parent(DEVINST* parent, DEVINST instance, ULONG) {
    if (!parent) return CR_INVALID_POINTER;
    *parent = 0;
    const auto nodes = tree();
    if (!valid(nodes, instance)) return CR_INVALID_DEVNODE;
    const int index = nodes[instance - 1].parent;
    if (index < 0 || static_cast<size_t>(index) >= nodes.size()) return CR_NO_SUCH_DEVNODE;
    *parent = static_cast<DEVINST>(index + 1);
    return CR_SUCCESS;
}

CONFIGRET CM_Get_DevNode_Registry_PropertyA(DEVINST instance, ULONG property, ULONG* type,
                                            PVOID buffer, ULONG* length, ULONG) {
    if (!length) return CR_INVALID_POINTER;
    const auto nodes = tree();
    if (!valid(nodes, instance)) return CR_INVALID_DEVNODE;
    const auto& properties = nodes[instance - 1].properties;
    auto it = properties.find(property);
    if (it == properties.end()) return CR_NO_SUCH_VALUE;
    const ULONG needed = static_cast<ULONG>(it->second.size() + 1);
    if (type) *type = REG_SZ;
    if (!buffer || *length < needed) {
        *length = needed;
        return CR_BUFFER_SMALL;
    }
    std::memcpy(buffer, it->second.c_str(), needed);
    *length = needed;
    return CR_SUCCESS;
}

// ---- Device information sets ----

// The configuration manager numbers registry properties one above SetupDi.
constexpr ULONG kEnumeratorProperty = SPDRP_ENUMERATOR_NAME + 1;

class DeviceSet final : public vexa::platform::KernelObject {
public:
    std::vector<DeviceNode> nodes;
    std::vector<size_t> members;  // indexes into nodes
};

bool sameText(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) &&
           std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

HDEVINFO SetupDiGetClassDevsA(const void* classGuid, const char* enumerator, void*, DWORD flags) {
    if (flags & DIGCF_DEVICEINTERFACE) return vexa::platform::openDeviceInterfaceSet(classGuid);
    if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<DeviceSet>();
    set->nodes = tree();
    for (size_t i = 1; i < set->nodes.size(); ++i) {  // node 0 is the tree's root
        if (enumerator) {
            auto it = set->nodes[i].properties.find(kEnumeratorProperty);
            if (it == set->nodes[i].properties.end() || !sameText(it->second, enumerator)) continue;
        }
        set->members.push_back(i);
    }
    return vexa::platform::registerHandle(set);
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    const bool known = vexa::platform::lookupHandleAs<DeviceSet>(set) || vexa::platform::isDeviceInterfaceSet(set);
    if (!known || !vexa::platform::closeHandle(set)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, SP_DEVINFO_DATA* data) {
    auto set = vexa::platform::lookupHandleAs<DeviceSet>(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(1784);  // ERROR_INVALID_USER_BUFFER
        return FALSE;
    }
    if (index >= set->members.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    std::memset(data->ClassGuid, 0, sizeof data->ClassGuid);
    data->DevInst = static_cast<DWORD>(set->members[index] + 1);
    data->Reserved = 0;
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, SP_DEVINFO_DATA* data, DWORD property,
                                       DWORD* regDataType, BYTE* buffer, DWORD bufferSize,
                                       DWORD* requiredSize) {
    auto set = vexa::platform::lookupHandleAs<DeviceSet>(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || !valid(set->nodes, data->DevInst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto& properties = set->nodes[data->DevInst - 1].properties;
    auto it = properties.find(property + 1);
    if (it == properties.end()) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const DWORD needed = static_cast<DWORD>(it->second.size() + 1);
    if (requiredSize) *requiredSize = needed;
    if (regDataType) *regDataType = REG_SZ;
    if (!buffer || bufferSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, it->second.c_str(), needed);
    return TRUE;
}

static_assert(std::is_same_v<decltype(&SetupDiGetClassDevsA), PFN_SetupDiGetClassDevsA>);
static_assert(std::is_same_v<decltype(&SetupDiDestroyDeviceInfoList), PFN_SetupDiDestroyDeviceInfoList>);
static_assert(std::is_same_v<decltype(&SetupDiEnumDeviceInfo), PFN_SetupDiEnumDeviceInfo>);
static_assert(std::is_same_v<decltype(&SetupDiGetDeviceRegistryPropertyA),
                             PFN_SetupDiGetDeviceRegistryPropertyA>);
static_assert(std::is_same_v<decltype(&CM_Locate_DevNodeA), PFN_CM_Locate_DevNodeA>);
static_assert(std::is_same_v<decltype(&CM_Get_Child), PFN_CM_Get_Child>);
static_assert(std::is_same_v<decltype(&CM_Get_Sibling), PFN_CM_Get_Sibling>);
static_assert(std::is_same_v<decltype(&CM_Get_Parent), PFN_CM_Get_Parent>);
static_assert(std::is_same_v<decltype(&CM_Get_DevNode_Registry_PropertyA),
                             PFN_CM_Get_DevNode_Registry_PropertyA>);

const vexa::platform::LibraryExport kExports[] = {
    {"CM_Locate_DevNodeA", vexa::platform::exported(&CM_Locate_DevNodeA)},
    {"CM_Get_Child", vexa::platform::exported(&CM_Get_Child)},
    {"CM_Get_Sibling", vexa::platform::exported(&CM_Get_Sibling)},
    {"CM_Get_Parent", vexa::platform::exported(&CM_Get_Parent)},
    {"CM_Get_DevNode_Registry_PropertyA",
     vexa::platform::exported(&CM_Get_DevNode_Registry_PropertyA)},
    {"SetupDiGetClassDevsA", vexa::platform::exported(&SetupDiGetClassDevsA)},
    {"SetupDiDestroyDeviceInfoList", vexa::platform::exported(&SetupDiDestroyDeviceInfoList)},
    {"SetupDiEnumDeviceInfo", vexa::platform::exported(&SetupDiEnumDeviceInfo)},
    {"SetupDiGetDeviceRegistryPropertyA", vexa::platform::exported(&SetupDiGetDeviceRegistryPropertyA)},
    {"SetupDiEnumDeviceInterfaces", vexa::platform::exported(&SetupDiEnumDeviceInterfaces)},
    {"SetupDiGetDeviceInterfaceDetailA", vexa::platform::exported(&SetupDiGetDeviceInterfaceDetailA)},
};

} // namespace

std::span<const vexa::platform::LibraryExport> vexa::platform::setupapiExports() {
    return kExports;
}
