// Narrow and wide text. The "ANSI code page" of this platform is UTF-8 and
// wide text is wchar_t (UTF-32); UTF-16 appears only in file formats and is
// encoded explicitly.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/win_types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// Windows semantics: length -1 means zero-terminated (the terminator is
// converted too); a destination size of 0 asks for the size needed; a
// destination that is too small fails with ERROR_INSUFFICIENT_BUFFER.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength,
                        LPWSTR destination, int destinationLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength,
                        LPSTR destination, int destinationLength, LPCSTR defaultChar,
                        LPBOOL usedDefaultChar);

namespace vexa::platform {

// Cuts a UTF-8 text so that it holds at most maxBytes bytes without
// splitting a character; the text stays zero-terminated.
void truncateUtf8(char* text, size_t maxBytes);
// Converts wide text into a narrow buffer of `size` bytes, cutting at a
// character boundary; always terminated when size > 0.
void wideToNarrow(const wchar_t* source, char* destination, size_t size);
void narrowToWide(const char* source, wchar_t* destination, size_t size);
std::string toNarrow(const std::wstring& text);
std::wstring toWide(const std::string& text);

// printf formats written for Windows, translated for this C library. In a
// wide format "%s" and "%c" take wide arguments there ("%S", "%hs" narrow
// ones); in a narrow format "%S" and "%ws" take a wide text.
std::string translateNarrowFormat(const char* format);
std::wstring translateWideFormat(const wchar_t* format);

// vsnprintf and vswprintf with the Windows format conventions; the result
// is cut at a character boundary and always terminated. Return the length
// written.
int formatNarrow(char* destination, size_t size, const char* format, va_list args);
int formatWide(wchar_t* destination, size_t size, const wchar_t* format, va_list args);

} // namespace vexa::platform
