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
#include <unordered_map>
#include <vector>

#include "machine/machine.h"
#include "platform/device_interfaces.h"
#include "platform/device_tree_lookup.h"
#include "platform/internal/handles.h"
#include "platform/internal/libraries.h"
#include "platform/internal/per_machine.h"
#include "platform/internal/registry_values.h"

// {4D36E96E-E325-11CE-BFC1-08002BE10318}
const GUID GUID_DEVCLASS_MONITOR = {0x4D36E96E, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

namespace {

using vexa::machine::DeviceNode;

// The current machine's device tree with the links a walk follows: each
// node's first child and next sibling in node order (-1: none), and the
// driver keys in walk order.
struct IndexedTree {
    std::vector<DeviceNode> nodes;
    std::vector<int> firstChild, nextSibling;
    std::unordered_map<std::string, DEVINST> byDriverKey;  // the first node in walk order
};

void indexDriverKeys(IndexedTree& tree) {
    // Pre-order from the root; a node is visited once, so a malformed tree
    // whose links loop cannot hold the walk.
    std::vector<bool> seen(tree.nodes.size(), false);
    std::vector<int> pending{0};
    while (!pending.empty()) {
        const int node = pending.back();
        pending.pop_back();
        if (seen[size_t(node)]) continue;
        seen[size_t(node)] = true;
        const auto& properties = tree.nodes[size_t(node)].properties;
        if (const auto key = properties.find(CM_DRP_DRIVER); key != properties.end())
            tree.byDriverKey.emplace(key->second, static_cast<DEVINST>(node + 1));
        // Children go on the stack last first, so the first is taken next.
        std::vector<int> children;
        for (int child = tree.firstChild[size_t(node)]; child >= 0; child = tree.nextSibling[size_t(child)])
            children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

IndexedTree buildTree(const vexa::machine::Machine& machine) {
    IndexedTree tree;
    tree.nodes = machine.deviceTree();
    const size_t count = tree.nodes.size();
    tree.firstChild.assign(count, -1);
    tree.nextSibling.assign(count, -1);
    // Siblings are the nodes that name the same parent, even one that is
    // not in the tree.
    std::unordered_map<int, int> lastChild;
    for (size_t i = 0; i < count; ++i) {
        const int parent = tree.nodes[i].parent;
        if (parent < 0) continue;
        const auto [last, first] = lastChild.try_emplace(parent, int(i));
        if (first) {
            if (size_t(parent) < count) tree.firstChild[size_t(parent)] = int(i);
        } else {
            tree.nextSibling[size_t(last->second)] = int(i);
            last->second = int(i);
        }
    }
    if (count > 0) indexDriverKeys(tree);
    return tree;
}

std::shared_ptr<const IndexedTree> tree() {
    static vexa::platform::PerMachine<IndexedTree> view(&buildTree);
    return view.get();
}

bool valid(const IndexedTree& tree, DEVINST instance) {
    return instance >= 1 && instance <= tree.nodes.size();
}

CONFIGRET CM_Locate_DevNodeA(DEVINST* instance, const char* deviceId, ULONG) {
    if (!instance) return CR_INVALID_POINTER;
    *instance = 0;
    // Only the root is located by a null or empty id.
    if (deviceId && *deviceId) return CR_NO_SUCH_DEVNODE;
    if (tree()->nodes.empty()) return CR_NO_SUCH_DEVNODE;
    *instance = 1;
    return CR_SUCCESS;
}

CONFIGRET linked(int node, DEVINST* result) {
    if (node < 0) return CR_NO_SUCH_DEVNODE;
    *result = static_cast<DEVINST>(node + 1);
    return CR_SUCCESS;
}

CONFIGRET CM_Get_Child(DEVINST* child, DEVINST instance, ULONG) {
    if (!child) return CR_INVALID_POINTER;
    *child = 0;
    const auto nodes = tree();
    if (!valid(*nodes, instance)) return CR_INVALID_DEVNODE;
    return linked(nodes->firstChild[instance - 1], child);
}

CONFIGRET CM_Get_Sibling(DEVINST* sibling, DEVINST instance, ULONG) {
    if (!sibling) return CR_INVALID_POINTER;
    *sibling = 0;
    const auto nodes = tree();
    if (!valid(*nodes, instance)) return CR_INVALID_DEVNODE;
    return linked(nodes->nextSibling[instance - 1], sibling);  // the root has none
}

CONFIGRET CM_Get_Parent(DEVINST* parent, DEVINST instance, ULONG) {
    if (!parent) return CR_INVALID_POINTER;
    *parent = 0;
    const auto nodes = tree();
    if (!valid(*nodes, instance)) return CR_INVALID_DEVNODE;
    const int index = nodes->nodes[instance - 1].parent;
    if (index < 0 || static_cast<size_t>(index) >= nodes->nodes.size()) return CR_NO_SUCH_DEVNODE;
    *parent = static_cast<DEVINST>(index + 1);
    return CR_SUCCESS;
}

CONFIGRET CM_Get_DevNode_Registry_PropertyA(DEVINST instance, ULONG property, ULONG* type,
                                            PVOID buffer, ULONG* length, ULONG) {
    if (!length) return CR_INVALID_POINTER;
    const auto nodes = tree();
    if (!valid(*nodes, instance)) return CR_INVALID_DEVNODE;
    const auto& properties = nodes->nodes[instance - 1].properties;
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
    std::shared_ptr<const IndexedTree> tree;
    std::vector<size_t> members;  // indexes into the tree's nodes
    // A monitor set: the EDID of each node after the root (node i + 1).
    std::vector<std::vector<uint8_t>> edids;
};

// The monitors of the current machine as a tree of their own: the root and
// one "DISPLAY" node per monitor below it.
HDEVINFO openMonitorSet() {
    auto set = std::make_shared<DeviceSet>();
    set->edids = vexa::machine::current().monitorEdids();
    auto monitors = std::make_shared<IndexedTree>();
    monitors->nodes.resize(set->edids.size() + 1);
    for (size_t i = 1; i < monitors->nodes.size(); ++i) {
        monitors->nodes[i].parent = 0;
        monitors->nodes[i].properties[CM_DRP_DEVICEDESC] = "Generic PnP Monitor";
        monitors->nodes[i].properties[DeviceNode::kEnumerator] = "DISPLAY";
        set->members.push_back(i);
    }
    set->tree = std::move(monitors);
    return vexa::platform::registerHandle(set);
}

bool sameText(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) &&
           std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

HDEVINFO SetupDiGetClassDevsA(const void* classGuid, const char* enumerator, void*, DWORD flags) {
    if (flags & DIGCF_DEVICEINTERFACE) return vexa::platform::openDeviceInterfaceSet(classGuid);
    if (classGuid && *static_cast<const GUID*>(classGuid) == GUID_DEVCLASS_MONITOR && !enumerator)
        return openMonitorSet();
    if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<DeviceSet>();
    set->tree = tree();
    const std::vector<DeviceNode>& nodes = set->tree->nodes;
    for (size_t i = 1; i < nodes.size(); ++i) {  // node 0 is the tree's root
        if (enumerator) {
            auto it = nodes[i].properties.find(kEnumeratorProperty);
            if (it == nodes[i].properties.end() || !sameText(it->second, enumerator)) continue;
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
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || !valid(*set->tree, data->DevInst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto& properties = set->tree->nodes[data->DevInst - 1].properties;
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

HKEY SetupDiOpenDevRegKey(HDEVINFO handle, SP_DEVINFO_DATA* data, DWORD scope, DWORD, DWORD keyType, DWORD) {
    auto set = vexa::platform::lookupHandleAs<DeviceSet>(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || !valid(*set->tree, data->DevInst) ||
        scope != DICS_FLAG_GLOBAL || keyType != DIREG_DEV) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    const size_t node = data->DevInst - 1;
    if (node == 0 || node > set->edids.size()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    return vexa::platform::openValueKey({{"EDID", set->edids[node - 1]}});
}

static_assert(std::is_same_v<decltype(&SetupDiOpenDevRegKey), PFN_SetupDiOpenDevRegKey>);
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
    {"SetupDiOpenDevRegKey", vexa::platform::exported(&SetupDiOpenDevRegKey)},
    {"SetupDiEnumDeviceInterfaces", vexa::platform::exported(&SetupDiEnumDeviceInterfaces)},
    {"SetupDiGetDeviceInterfaceDetailA", vexa::platform::exported(&SetupDiGetDeviceInterfaceDetailA)},
};

} // namespace

std::span<const vexa::platform::LibraryExport> vexa::platform::setupapiExports() {
    return kExports;
}

DEVINST vexa::platform::findDevNodeByDriverKey(const char* driverKey) {
    if (!driverKey) return 0;
    const auto nodes = tree();
    const auto found = nodes->byDriverKey.find(driverKey);
    return found == nodes->byDriverKey.end() ? 0 : found->second;
}
