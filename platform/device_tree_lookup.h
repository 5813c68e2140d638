// Finding a device of the current machine's device tree by its driver key
// without walking the tree: the configuration manager's view of the tree
// keeps an index of it.
#pragma once

#include "platform/device_tree.h"

namespace vexa::platform {

// The device instance of the first node, in the order a walk from the root
// by CM_Get_Child and CM_Get_Sibling meets the nodes, whose driver key
// (CM_DRP_DRIVER) equals `driverKey` exactly; 0 when there is none.
DEVINST findDevNodeByDriverKey(const char* driverKey);

} // namespace vexa::platform
