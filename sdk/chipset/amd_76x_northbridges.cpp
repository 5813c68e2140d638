// The AMD-751 (SDRAM) and the AMD-761/762 (DDR) host bridges of the K7:
// their stepping texts and the timings of register 0x54.
#include "sdk/chipset/amd_northbridges.h"
#include "sdk/chipset/memory_decoding.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_header.h"

namespace {

constexpr uint32_t kTimingRegister = 0x54;
constexpr uint32_t kTypeRegister = 0x5A;
constexpr uint32_t kLastNumberedStepping = 7;

constexpr int kIdleTimer[] = {0, 8, 12, 16, 24, 32, 48, -1};
constexpr int k751RowCycle[] = {3, 4, 5, 6, 7, 8, -1, -1};
constexpr int k751Precharge[] = {3, 2, 1, 1};
constexpr int k751Active[] = {2, 3, 4, 5, 6, 7, -1, -1};
constexpr float k751CASLatency[] = {3.0f, 2.0f, -1.0f, 4.0f};
constexpr int k761Precharge[] = {3, 2, 1, 4};
constexpr float k761CASLatency[] = {3.0f, 2.0f, 2.5f, -1.0f};

} // namespace

void NameAMD76xRevision(CNorthBridge* bridge) {
    if (!bridge->m_pDevice) return;
    const uint32_t stepping = bridge->m_pDevice->m_pCommonHeader->m_byRevisionID & 0xF;
    if (stepping <= kLastNumberedStepping)
        FormatString(bridge->m_szRevision, sizeof bridge->m_szRevision, "A%u", stepping);
    else
        FormatString(bridge->m_szRevision, sizeof bridge->m_szRevision, "A");
}

void DecodeAMD751(CNorthBridge* bridge, CMemoryInfo* memory) {
    SetSynchronousRatio(*memory);
    const uint32_t timing = bridge->ReadConfig(kTimingRegister);
    SetIfListed(memory->m_iBankCycleTime, CodeValue(k751RowCycle, FieldBits(timing, 11, 9)));
    memory->m_iRASPrecharge = k751Precharge[FieldBits(timing, 8, 7)];
    SetIfListed(memory->m_iCycleTime, CodeValue(k751Active, FieldBits(timing, 6, 4)));
    SetIfListed(memory->m_fCASLatency, CodeValue(k751CASLatency, FieldBits(timing, 3, 2)));
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 1, 0)) + 1;
    const uint32_t idle = FieldBits(timing, 24, 24) * 4 + FieldBits(timing, 13, 12);
    SetIfListed(memory->m_iDRAMIdleTimer, CodeValue(kIdleTimer, idle));
    memory->m_iMemoryType = BitSet(BridgeRegister(*bridge, kTypeRegister), 8) ? MEMORY_TYPE_UNKNOWN : MEMORY_TYPE_SDRAM;
}

void DecodeAMD761(CNorthBridge* bridge, CMemoryInfo* memory) {
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    SetSynchronousRatio(*memory);
    const uint32_t timing = bridge->ReadConfig(kTimingRegister);
    SetIfListed(memory->m_iDRAMIdleTimer, CodeValue(kIdleTimer, FieldBits(timing, 18, 16)));
    memory->m_iBankCycleTime = static_cast<int>(FieldBits(timing, 11, 9)) + 3;
    memory->m_iRASPrecharge = k761Precharge[FieldBits(timing, 8, 7)];
    memory->m_iCycleTime = static_cast<int>(FieldBits(timing, 6, 4)) + 2;
    SetIfListed(memory->m_fCASLatency, CodeValue(k761CASLatency, FieldBits(timing, 3, 2)));
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 1, 0)) + 1;
}
