// Resources carried in the program (the version block and binary resources),
// compiled into it by the resource compiler (platform/rc), and the file
// version functions that read a version block out of any file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/win_types.h"

namespace vexa::platform {
struct ResourceEntry;
}
using HRSRC = const vexa::platform::ResourceEntry*;
using HGLOBAL = const void*;

// An integer resource id or type passed where a name is expected.
inline LPCSTR MAKEINTRESOURCEA(unsigned id) {
    return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(id & 0xFFFF));
}
inline LPCSTR const RT_RCDATA = MAKEINTRESOURCEA(10);
inline LPCSTR const RT_VERSION = MAKEINTRESOURCEA(16);

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// The size of the buffer GetFileVersionInfoA needs for the file's version
// block; 0 when the file has none.
DWORD GetFileVersionInfoSizeA(LPCSTR path, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR path, DWORD handle, DWORD length, LPVOID data);
// "\" gives the VS_FIXEDFILEINFO, "\VarFileInfo\Translation" the
// (language, code page) word pairs, "\StringFileInfo\llllcccc\Key" a text.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);

namespace vexa::platform {

// A version block (VS_VERSIONINFO, UTF-16 keys and texts) as Windows files
// carry it.
struct VersionBlockLayout {
    WORD fileVersion[4] = {0, 0, 0, 0};
    WORD productVersion[4] = {0, 0, 0, 0};
    // One string table per (language, code page); empty: no StringFileInfo.
    struct StringTable {
        WORD language = 0x0409;
        WORD codePage = 0x04B0;
        std::vector<std::pair<std::string, std::string>> strings;  // UTF-8 key and value
    };
    std::vector<StringTable> stringTables;
    // (language, code page) pairs of \VarFileInfo\Translation; empty: none.
    std::vector<std::pair<WORD, WORD>> translations;
};
std::vector<uint8_t> buildVersionBlock(const VersionBlockLayout& layout);

// One resource compiled into the program.
struct ResourceEntry {
    unsigned type;
    unsigned id;
    const unsigned char* data;
    size_t size;
};
// Registers the program's resource table; the resource compiler's output
// does this at start-up.
struct ResourceTable {
    ResourceTable(const ResourceEntry* entries, size_t count);
};

} // namespace vexa::platform
