// Private folders and files in a shared temporary folder, for a program
// that may run as root next to other users: a name someone else planted is
// never used, and a fresh name is one no one can guess in advance.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace vexa::platform {

// A folder only we can enter: created with mode 0700, or reused when a
// directory owned by us with exactly mode 0700 (not a link) is there.
// ERROR_ACCESS_DENIED for anything else at that name.
DWORD usePrivateFolder(const char* path);
// Creates a new folder "<parent>/<prefix>XXXXXX" (random letters) with mode
// 0700; its native path goes to `path`.
DWORD createPrivateFolder(const char* parent, const char* prefix, std::string& path);
// Creates a new empty file "<folder>/<prefix>XXXXXX<suffix>" (random
// letters) exclusively with mode 0600; its native path goes to `path`.
DWORD createUniqueFile(const char* folder, const char* prefix, const char* suffix, std::string& path);

} // namespace vexa::platform
