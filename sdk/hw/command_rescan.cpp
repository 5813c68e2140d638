#include "sdk/hw/command_rescan.h"

#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint32_t kSettleMs = 10;

} // namespace

void RescanAfterUnhiding() {
    Sleep(kSettleMs);
    if (CPCIInterface* pci = GetSDK()->m_pPCI) pci->ScanBus();
}
