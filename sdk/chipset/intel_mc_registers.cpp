#include "sdk/chipset/intel_mc_registers.h"

#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

namespace intel_mc {

uint32_t BridgeRegister(CNorthBridge& bridge, uint32_t reg) {
    const uint32_t aligned = reg & ~3u;
    const unsigned shift = (reg & 3u) * 8;
    const uint32_t low = bridge.ReadConfig(aligned);
    if (shift == 0) return low;
    return (low >> shift) | (bridge.ReadConfig(aligned + 4) << (32 - shift));
}

bool ReadFunction(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t& value) {
    value = 0xFFFFFFFF;
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return false;
    if (pci->ReadConfig(static_cast<int32_t>(bus), static_cast<int32_t>(device), static_cast<int32_t>(function),
                        static_cast<int32_t>(reg), &value))
        return true;
    value = 0xFFFFFFFF;
    return false;
}

bool WriteFunction(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t value) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci && pci->WriteConfig(static_cast<int32_t>(bus), static_cast<int32_t>(device),
                                   static_cast<int32_t>(function), static_cast<int32_t>(reg), value);
}

uint32_t FunctionValue(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg) {
    uint32_t value = 0xFFFFFFFF;
    ReadFunction(bus, device, function, reg, value);
    return value;
}

bool ReadMSRLow(uint32_t index, uint32_t& low) {
    CKMDriver* driver = GetSDK()->m_pDriver;
    uint32_t high = 0;
    return driver && driver->ReadMSR(index, &high, &low);
}

void SetRatioText(CMemoryInfo& memory, int bus, int dram, float ratio) {
    FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "%d:%d", bus, dram);
    memory.m_fFSBDRAMRatio = ratio;
}

void ApplyField(int& field, uint32_t reg, const IntField& code) {
    const uint32_t index = intel_mchbar::Bits(reg, code.high, code.low);
    if (index < code.values.size() && code.values[index] != -1) field = code.values[index];
}

void ApplyField(float& field, uint32_t reg, const FloatField& code) {
    const uint32_t index = intel_mchbar::Bits(reg, code.high, code.low);
    if (index < code.values.size() && code.values[index] >= 0.0f) field = code.values[index];
}

void ApplyTimings(CMemoryInfo& memory, uint32_t reg, const TimingFields& fields) {
    ApplyField(memory.m_fCASLatency, reg, fields.cl);
    ApplyField(memory.m_iRASToCASDelay, reg, fields.rcd);
    ApplyField(memory.m_iRASPrecharge, reg, fields.rp);
    ApplyField(memory.m_iCycleTime, reg, fields.ras);
    ApplyField(memory.m_iBankCycleTime, reg, fields.rc);
    ApplyField(memory.m_iDRAMIdleTimer, reg, fields.idle);
}

uint8_t BridgeBus(const CNorthBridge& bridge) { return bridge.m_pDevice ? bridge.m_pDevice->m_byBus : 0; }

} // namespace intel_mc
