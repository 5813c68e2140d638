// Files, folders, the temporary folder and the program's own path. Paths may
// use '\' as well as '/' as separator: the program builds Windows-style
// paths and they are translated here.
#pragma once

#include <string>

#include "platform/win_types.h"
#include "platform/sync.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creationDisposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPVOID overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
BOOL DeleteFileA(LPCSTR path);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL RemoveDirectoryA(LPCSTR path);
DWORD GetFileAttributesA(LPCSTR path);

// The temporary folder with a trailing separator: $TMPDIR, else /tmp.
// Returns the length written, or the size needed (terminator included) when
// the buffer is too small.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);

namespace vexa::platform {

// A Windows-style path as this platform names it: '\' becomes '/'.
std::string nativePath(const char* path);

// Files in shared folders such as the temporary folder, safe against
// planted links and other users' files while running as root. "Ours" means
// owned by the effective user and not a symbolic link. Each returns
// ERROR_SUCCESS or the Windows error of the failure (ERROR_ACCESS_DENIED for
// a link or another user's file).

// A folder of ours with mode 0700: created, or reused when one of ours is
// there (its mode is tightened to 0700).
DWORD createOwnDirectory(const char* path);
// Creates the file new and exclusively (mode 0600), or, when a regular file
// of ours with no other name (no hard link) is already there, empties it.
DWORD createOwnFile(const char* path);
// Writes `size` bytes into a new file, created exclusively (mode 0644);
// ERROR_FILE_EXISTS when anything is there already.
DWORD writeNewFile(const char* path, const void* data, size_t size);
// ERROR_SUCCESS when a regular file of ours is at `path`,
// ERROR_FILE_NOT_FOUND when nothing is, ERROR_ACCESS_DENIED otherwise.
DWORD checkOwnFile(const char* path);
// Appends to a regular file of ours; never follows a link and never
// creates the file.
DWORD appendOwnFile(const char* path, const void* data, size_t size);

} // namespace vexa::platform
