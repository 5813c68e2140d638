// The files of the system folder the current machine's Windows identity
// lists (WindowsIdentity::systemFiles): whatever the folder holds, the
// version functions (resources.h) find in them a version block with the
// listed file and product version.
#pragma once

#include <cstdint>
#include <vector>

namespace vexa::platform {

// True with the version block of `path` when it names a listed file
// directly in the system folder (GetSystemDirectoryA; the name compares
// without case).
bool systemFileVersionBlock(const char* path, std::vector<uint8_t>& block);

} // namespace vexa::platform
