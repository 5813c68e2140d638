// Registry keys that carry values: the device keys setupapi opens.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace vexa::platform {

// Value name -> its bytes (REG_BINARY).
using RegistryValues = std::map<std::string, std::vector<uint8_t>>;

// An open key, outside the machine's key tree, that holds `values`; the
// caller closes it with RegCloseKey.
HKEY openValueKey(RegistryValues values);

} // namespace vexa::platform
