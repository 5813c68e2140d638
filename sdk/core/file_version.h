// The version of a file (a driver, a DLL, the program) read from its version
// block.
#pragma once

#include <cstdint>

struct FileVersionInfo {
    uint32_t Major;     // 0xFFFFFFFF when unknown
    uint32_t Minor;
    uint32_t Build;
    uint32_t Revision;
    char FileVersion[256];  // the "FileVersion" text; empty when unknown
    char CompanyName[256];  // the "CompanyName" text; empty when unknown

    // Marks every field unknown.
    void Init();
};

// Fills `info` from the version block of the file at `path`. The four
// numbers come from the fixed file information; the two texts from the
// string table of the block's first translation. Whatever the file does not
// provide keeps the value Init gives it.
void GetFileVersionInfoStrings(const char* path, FileVersionInfo* info);
