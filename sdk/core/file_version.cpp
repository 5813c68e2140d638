#include "sdk/core/file_version.h"

#include <cstring>
#include <vector>

#include "platform/resources.h"
#include "sdk/core/helpers.h"

void FileVersionInfo::Init() {
    Major = Minor = Build = Revision = 0xFFFFFFFF;
    FileVersion[0] = '\0';
    CompanyName[0] = '\0';
}

namespace {

// Copies the text `key` of the string table (language, codePage) into
// `destination` (256 bytes) when the block has it.
void QueryVersionString(const void* block, WORD language, WORD codePage, const char* key,
                        char* destination) {
    char subBlock[64];
    FormatString(subBlock, sizeof subBlock, "\\StringFileInfo\\%04x%04x\\%s", language, codePage,
                 key);
    LPVOID text = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block, subBlock, &text, &length) && text)
        FormatString(destination, kFormatBufferSize, "%s", static_cast<const char*>(text));
}

} // namespace

void GetFileVersionInfoStrings(const char* path, FileVersionInfo* info) {
    if (!info) return;
    info->Init();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return;
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoA(path, handle, size, block.data())) return;

    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return;
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);

    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) &&
        length >= 2 * sizeof(WORD)) {
        WORD pair[2];  // language, code page
        std::memcpy(pair, value, sizeof pair);
        QueryVersionString(block.data(), pair[0], pair[1], "FileVersion", info->FileVersion);
        QueryVersionString(block.data(), pair[0], pair[1], "CompanyName", info->CompanyName);
    }

    info->Major = fixed.dwFileVersionMS >> 16;
    info->Minor = fixed.dwFileVersionMS & 0xFFFF;
    info->Build = fixed.dwFileVersionLS >> 16;
    info->Revision = fixed.dwFileVersionLS & 0xFFFF;
}
