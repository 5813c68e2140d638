#include "sdk/core/device_description.h"

#include <cstring>

#include "platform/device_tree.h"
#include "platform/device_tree_lookup.h"
#include "platform/modules.h"
#include "sdk/core/helpers.h"

namespace {

using vexa::platform::lookup;

// The configuration manager functions of setupapi.dll, loaded for the
// lifetime of the object.
class ConfigManager {
public:
    ConfigManager() : m_hLibrary(LoadLibraryA("setupapi.dll")) {
        if (!m_hLibrary) return;
        getProperty = lookup<PFN_CM_Get_DevNode_Registry_PropertyA>(
            m_hLibrary, "CM_Get_DevNode_Registry_PropertyA");
        locate = lookup<PFN_CM_Locate_DevNodeA>(m_hLibrary, "CM_Locate_DevNodeA");
        getChild = lookup<PFN_CM_Get_Child>(m_hLibrary, "CM_Get_Child");
        getSibling = lookup<PFN_CM_Get_Sibling>(m_hLibrary, "CM_Get_Sibling");
        getParent = lookup<PFN_CM_Get_Parent>(m_hLibrary, "CM_Get_Parent");
    }
    ~ConfigManager() {
        if (m_hLibrary) FreeLibrary(m_hLibrary);
    }
    ConfigManager(const ConfigManager&) = delete;
    ConfigManager& operator=(const ConfigManager&) = delete;

    // The lookup stands for a walk of the tree, so it needs the whole
    // configuration manager the walk would use.
    bool available() const {
        return getProperty && locate && getChild && getSibling && getParent;
    }

    // A text property of a node, read into 512 bytes; false when it has none.
    bool readProperty(DEVINST node, ULONG property, char (&text)[512]) const {
        ULONG length = sizeof text;
        if (getProperty(node, property, nullptr, text, &length, 0) != CR_SUCCESS) return false;
        text[sizeof text - 1] = '\0';  // registry texts need not be terminated
        return true;
    }

    PFN_CM_Get_DevNode_Registry_PropertyA getProperty = nullptr;
    PFN_CM_Locate_DevNodeA locate = nullptr;
    PFN_CM_Get_Child getChild = nullptr;
    PFN_CM_Get_Sibling getSibling = nullptr;
    PFN_CM_Get_Parent getParent = nullptr;

private:
    HMODULE m_hLibrary;
};

} // namespace

BOOL GetDeviceDescriptionByDriverKey(const char* driverKey, char* description) {
    if (!driverKey || !description) return FALSE;
    const ConfigManager manager;
    if (!manager.available()) return FALSE;
    DEVINST root;
    if (manager.locate(&root, nullptr, 0) != CR_SUCCESS) return FALSE;
    // The configuration manager's index finds the node a walk from the root
    // would meet first, without asking for every node on the way.
    const DEVINST node = vexa::platform::findDevNodeByDriverKey(driverKey);
    if (node == 0) return FALSE;
    char text[512];
    if (!manager.readProperty(node, CM_DRP_DEVICEDESC, text)) return FALSE;
    FormatString(description, kFormatBufferSize, "%s", text);
    return TRUE;
}
