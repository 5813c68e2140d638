// Free functions the whole library shares: bounded text formatting, the
// tests behind the library's -1 "unknown" convention, rounding, the string
// keys boards are recognised by, and the old-Windows test.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

// Every fixed-size text of the library is built through the formatting
// functions below. They format once into a temporary of kFormatBufferSize
// (at most 255 bytes or wide characters) and copy the result into the
// destination within its size; a narrow text is cut at a UTF-8 character
// boundary. The formats follow the Windows printf conventions; what the
// format and its values produce is written exactly, a percent sign inside a
// value included.
constexpr size_t kFormatBufferSize = 256;

// Formats into `destination` of any size (in bytes), cut at a character
// boundary; the writers use it for texts longer than 255 bytes.
void FormatBoundedV(char* destination, size_t size, const char* format, va_list args);

// Formats into `destination` (size in bytes); nothing with a null or empty
// destination.
void FormatString(char* destination, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void FormatStringV(char* destination, size_t size, const char* format, va_list args);

// The same for wide text; `size` counts wide characters.
void FormatStringW(wchar_t* destination, size_t size, const wchar_t* format, ...);
void FormatStringWV(wchar_t* destination, size_t size, const wchar_t* format, va_list args);

// Appends the formatted text to what `destination` holds, within its size.
void AppendFormat(char* destination, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// 1 when the value is known: the library marks unknown values with -1.
BOOL IsValid(int32_t value);
// 1 unless the value is exactly -1.0 (a NaN counts as known).
BOOL IsValidFloat(float value);

// The nearest integer, halves rounded toward plus infinity (1.5 -> 2,
// -1.5 -> -1). Values beyond the int32_t range saturate.
int32_t RoundToInt(float value);

// The key a board name is recognised by: each byte (signed) is added and the
// sum shifted left by 0, 1, 2, 3, 4, 5, 0, 1, ... bits. "abc" gives 1956.
uint32_t StringHash(const char* text);
// The 32-bit sum of the text's bytes taken as signed values; told apart two
// names with the same StringHash. "abc" gives 294.
uint32_t StringByteSum(const char* text);

// 1 on Windows NT 4 or older (NT platform, major version below 5).
BOOL IsOldNT();
