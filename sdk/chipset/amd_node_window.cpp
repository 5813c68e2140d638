#include "sdk/chipset/amd_node_window.h"

#include "sdk/chipset/north_bridge.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/amd_shared_bodies.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_amd_ecs.h"

namespace {
constexpr uint8_t kMiscControlFunction = 3;
}

AMDNodeWindow::AMDNodeWindow(CNorthBridge& bridge) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci || !bridge.m_pDevice) return;
    m_pFunction3 = pci->FindDevice(bridge.m_pDevice->m_byBus, bridge.m_pDevice->m_byDevice, kMiscControlFunction);
    if (m_pFunction3) m_pSpace = NodeExtendedConfigSpace(m_pFunction3);
}

uint32_t AMDNodeWindow::Read(uint32_t function, uint32_t reg) {
    uint32_t value = 0xFFFFFFFF;
    if (m_pSpace && !m_pSpace->ReadConfigDword(function, reg, &value)) value = 0xFFFFFFFF;
    return value;
}

void AMDNodeWindow::Write(uint32_t function, uint32_t reg, uint32_t value) {
    if (m_pSpace) m_pSpace->WriteConfigDword(function, reg, value);
}

float AMDUncoreRatio(uint32_t nbFid, uint32_t nbDid) {
    return static_cast<float>(nbFid + 4) / static_cast<float>(1u << (nbDid & 1));
}
