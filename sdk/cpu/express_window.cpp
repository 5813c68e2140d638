#include "sdk/cpu/express_window.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_pci.h"

namespace {

constexpr uint32_t kWindowSize = 4096;

} // namespace

void InstallExpressWindow(CPCIInterface* pci, uint32_t base) {
    if (!pci || pci->GetExpressSpace() || base == 0) return;
    BRENIKSDK* sdk = GetSDK();
    CIOSpace* window = sdk->FindIOSpace(0, base, IOSPACE_MEMORY);
    if (!window) {
        window = new CMemoryIOSpace(0, base, kWindowSize);
        sdk->m_pIOSpaces->AddTail(window);
    }
    sdk->m_pRegisterSpaces->AddTail(new CPCIExpressRegisterSpace(window));
    pci->AttachExpressSpace();
}
