// Known folders of the shell. Only the 32-bit program-files folder is
// offered: a folder of the object namespace standing in for
// "C:\Program Files (x86)", where vendor software installs its libraries.
#pragma once

#include "platform/com.h"
#include "platform/message_box.h"
#include <string>

#include "platform/win_types.h"

constexpr int CSIDL_PROGRAM_FILESX86 = 0x2A;

// `path` receives the folder (at most 260 characters with the terminator);
// E_INVALIDARG for any other folder or a null path.
HRESULT SHGetFolderPathA(HWND window, int folder, HANDLE token, DWORD flags, LPSTR path);

namespace vexa::platform {

// The native path of the 32-bit program-files folder.
std::string programFilesFolder();

} // namespace vexa::platform
