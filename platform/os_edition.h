// What the program asks about the edition of the running system: the
// product type of a Windows version (kernel32's GetProductInfo, looked up by
// name), the XP variants (GetSystemMetrics), and, on the Linux host, the
// operating system it really is.
#pragma once

#include <optional>
#include <string>

#include "platform/win_types.h"

constexpr DWORD PRODUCT_UNDEFINED = 0;

// The identity's product type for Windows Vista and later; on older
// versions FALSE with PRODUCT_UNDEFINED, as the function does not exist
// there. The version arguments are not checked against the identity.
BOOL GetProductInfo(DWORD osMajor, DWORD osMinor, DWORD servicePackMajor, DWORD servicePackMinor,
                    DWORD* productType);

constexpr int SM_TABLETPC = 86;
constexpr int SM_MEDIACENTER = 87;

// Non-zero for SM_TABLETPC and SM_MEDIACENTER when the identity says so;
// every other metric answers 0.
int GetSystemMetrics(int index);

namespace vexa::platform {

// The operating system the machine really runs when it is not Windows:
// the distribution's name, the kernel and the processor architecture
// ("Debian GNU/Linux 12 (bookworm)", "Linux 6.1.0-18-amd64", "x86_64").
struct OsFacts {
    std::string distribution;
    std::string kernel;
    std::string architecture;
};

// The facts of the Linux host; none on a machine image, which stands for a
// Windows PC.
std::optional<OsFacts> hostSystem();

} // namespace vexa::platform
