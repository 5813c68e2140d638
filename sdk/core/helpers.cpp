#include "sdk/core/helpers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

#include "platform/sysinfo.h"
#include "platform/text.h"

void FormatBoundedV(char* destination, size_t size, const char* format, va_list args) {
    if (!destination || size == 0) return;
    vexa::platform::formatNarrow(destination, size, format, args);
}

void FormatStringV(char* destination, size_t size, const char* format, va_list args) {
    FormatBoundedV(destination, std::min(size, kFormatBufferSize), format, args);
}

void FormatString(char* destination, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatStringV(destination, size, format, args);
    va_end(args);
}

void FormatStringWV(wchar_t* destination, size_t size, const wchar_t* format, va_list args) {
    if (!destination || size == 0) return;
    wchar_t text[kFormatBufferSize];
    vexa::platform::formatWide(text, kFormatBufferSize, format, args);
    const size_t length = std::min(std::wcslen(text), size - 1);
    std::wmemcpy(destination, text, length);
    destination[length] = L'\0';
}

void FormatStringW(wchar_t* destination, size_t size, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    FormatStringWV(destination, size, format, args);
    va_end(args);
}

void AppendFormat(char* destination, size_t size, const char* format, ...) {
    if (!destination || size == 0) return;
    const size_t used = strnlen(destination, size);
    if (used >= size - 1) return;  // full (or not terminated within its size)
    va_list args;
    va_start(args, format);
    FormatStringV(destination + used, size - used, format, args);
    va_end(args);
}

BOOL IsValid(int32_t value) { return value != -1; }

BOOL IsValidFloat(float value) { return value != -1.0f; }

int32_t RoundToInt(float value) {
    if (std::isnan(value)) return 0;
    // 2x + 0.5 is exact in double for every float; rounding it to the
    // nearest integer (ties to even, the default mode) and halving with an
    // arithmetic shift rounds x's halves upward.
    constexpr double bound = 4294967296.0;  // keeps the doubled value within int64_t
    const double doubled = std::clamp(std::nearbyint(2.0 * double(value) + 0.5), -bound, bound);
    const int64_t half = static_cast<int64_t>(doubled) >> 1;
    return static_cast<int32_t>(std::clamp<int64_t>(half, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

uint32_t StringHash(const char* text) {
    uint32_t hash = 0;
    unsigned shift = 0;
    for (const char* p = text; p && *p; ++p) {
        hash = (hash + static_cast<uint32_t>(static_cast<int8_t>(*p))) << shift;
        if (++shift > 5) shift = 0;
    }
    return hash;
}

uint32_t StringByteSum(const char* text) {
    uint32_t sum = 0;
    for (const char* p = text; p && *p; ++p) sum += static_cast<uint32_t>(static_cast<int8_t>(*p));
    return sum;
}

BOOL IsOldNT() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return FALSE;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion < 5;
}
