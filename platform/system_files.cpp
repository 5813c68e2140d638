#include "platform/system_files.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/testing.h"

namespace vexa::platform {
namespace {

// One '/' between the parts, none at the end.
std::string normalPath(const std::string& path) {
    std::string clean;
    for (char c : nativePath(path.c_str()))
        if (c != '/' || clean.empty() || clean.back() != '/') clean += c;
    if (clean.size() > 1 && clean.back() == '/') clean.pop_back();
    return clean;
}

} // namespace

bool systemFileVersionBlock(const char* path, std::vector<uint8_t>& block) {
    if (!path) return false;
    const auto identity = testing::windowsIdentity();
    if (identity.systemFiles.empty()) return false;
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return false;
    const std::string file = normalPath(path);
    const size_t slash = file.find_last_of('/');
    if (slash == std::string::npos || file.substr(0, slash) != normalPath(folder)) return false;
    std::string name = file.substr(slash + 1);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const auto listed = identity.systemFiles.find(name);
    if (listed == identity.systemFiles.end()) return false;
    VersionBlockLayout layout;
    std::copy(listed->second.begin(), listed->second.end(), layout.fileVersion);
    std::copy(listed->second.begin(), listed->second.end(), layout.productVersion);
    block = buildVersionBlock(layout);
    return true;
}

} // namespace vexa::platform
