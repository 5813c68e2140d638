#include "sdk/hw/command_root_complex.h"

#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/command_rescan.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint32_t kEnableSettleMs = 10;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

} // namespace

int CRootComplexBitCommand::Save() {
    uint32_t rcba = 0;
    if (!m_pDevice->ReadConfigDword(kBaseRegister, &rcba)) return 1;
    if (!(rcba & kEnable)) {
        m_pDevice->WriteConfigDword(kBaseRegister, rcba | kEnable);
        Sleep(kEnableSettleMs);
        if (!m_pDevice->ReadConfigDword(kBaseRegister, &rcba) || !(rcba & kEnable)) return 1;
        m_bBlockEnabledBySave = true;
    }
    const uint32_t base = rcba & kBaseMask;
    BRENIKSDK* sdk = GetSDK();
    m_pMemorySpace = sdk->FindIOSpace(0, base, IOSPACE_MEMORY);
    if (!m_pMemorySpace) {
        m_pMemorySpace = new CMemoryIOSpace(0, base, kUnknownSize);
        sdk->m_pIOSpaces->AddTail(m_pMemorySpace);
    }
    uint32_t disabled = 0xFFFFFFFF;
    m_pMemorySpace->ReadDword(kFunctionDisable, &disabled);
    m_dwSaved = (disabled & m_dwBit) ? 1 : 0;
    return 1;
}

int CRootComplexBitCommand::Enable() {
    if (!m_pMemorySpace || !m_dwSaved) return 1;
    uint32_t disabled = 0;
    if (!m_pMemorySpace->ReadDword(kFunctionDisable, &disabled)) return 1;
    m_pMemorySpace->WriteDword(kFunctionDisable, disabled & ~m_dwBit);
    RescanAfterUnhiding();
    return 1;
}

int CRootComplexBitCommand::Restore() {
    if (m_pMemorySpace && m_dwSaved) {
        uint32_t disabled = 0;
        if (m_pMemorySpace->ReadDword(kFunctionDisable, &disabled))
            m_pMemorySpace->WriteDword(kFunctionDisable, disabled | m_dwBit);
    }
    // The block goes back to how the BIOS left it, after its register.
    if (m_bBlockEnabledBySave) {
        uint32_t rcba = 0;
        if (m_pDevice->ReadConfigDword(kBaseRegister, &rcba)) m_pDevice->WriteConfigDword(kBaseRegister, rcba & ~kEnable);
        m_bBlockEnabledBySave = false;
    }
    return 1;
}
