// Unicode text files as the settings file uses them: UTF-16 little-endian
// with a byte-order mark and CR LF line ends. Wide text is 32-bit here, so
// both directions convert explicitly (characters beyond the Basic
// Multilingual Plane as surrogate pairs).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// At most this many bytes of a file are read; the rest is ignored.
constexpr size_t kMaxUnicodeTextFileBytes = 1024 * 1024;

// Reads a file the way a Unicode text stream reads it: UTF-16LE unless it
// starts with the UTF-8 byte-order mark (the UTF-16LE mark is dropped), CR
// LF becomes LF, and the text is handed out in chunks as a line reader with
// room for `maxLineChars` characters gives them: each chunk ends after a
// line feed or after `maxLineChars` characters, whichever comes first.
// False when the file cannot be opened or is no regular file (a link at
// its name, a FIFO, a device); nothing waits on a FIFO.
bool ReadUnicodeTextLines(const char* path, size_t maxLineChars, std::vector<std::wstring>& lines);

// Replaces the file with the text as UTF-16LE with a byte-order mark, each
// LF written as CR LF, through platform/safe_file.h: the old file stays
// whole until the new one is complete. False, with the reason in `error`,
// when the file cannot be written or something other than a regular file
// of the user is at its name.
bool WriteUnicodeTextFile(const char* path, const std::wstring& text, std::string* error = nullptr);

// The conversions themselves. An unpaired surrogate decodes to U+FFFD and
// an odd trailing byte is dropped; values that are no Unicode character
// encode as U+FFFD.
std::wstring DecodeUtf16LE(const std::string& bytes);
std::string EncodeUtf16LE(const std::wstring& text);
