#include "platform/os_edition.h"

#include "machine/machine.h"
#include "platform/testing.h"

namespace {

constexpr uint32_t kFirstVersionWithProductInfo = 6;

} // namespace

BOOL GetProductInfo(DWORD, DWORD, DWORD, DWORD, DWORD* productType) {
    if (!productType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto identity = vexa::platform::testing::windowsIdentity();
    if (identity.platformId != 2 || identity.majorVersion < kFirstVersionWithProductInfo) {
        *productType = PRODUCT_UNDEFINED;
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    *productType = identity.productInfo;
    return TRUE;
}

int GetSystemMetrics(int index) {
    const auto identity = vexa::platform::testing::windowsIdentity();
    if (index == SM_TABLETPC) return identity.tabletPc ? 1 : 0;
    if (index == SM_MEDIACENTER) return identity.mediaCenter ? 1 : 0;
    return 0;
}

std::optional<vexa::platform::OsFacts> vexa::platform::hostSystem() {
    const auto host = machine::current().hostSystem();
    if (!host) return std::nullopt;
    return OsFacts{host->distribution, host->kernel, host->architecture};
}
