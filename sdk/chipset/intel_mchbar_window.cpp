#include "sdk/chipset/intel_mchbar_window.h"

#include "platform/threads.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_interface.h"

namespace intel_mchbar {

namespace {

constexpr uint32_t kSettlePollMs = 1;
constexpr uint32_t kWindowBaseMask48 = 0xFFFFC000;
constexpr uint32_t kWindowEnableSettleMs = 50;

} // namespace

bool UsableBase(uint32_t base, uint32_t baseMask) { return base != 0 && base != baseMask; }

CIOSpace* AttachWindow(CNorthBridge& bridge, uint32_t base, uint32_t size) {
    BRENIKSDK* sdk = GetSDK();
    CIOSpace* window = sdk->FindIOSpace(0, base, IOSPACE_MEMORY);
    if (window) {
        window->m_dwSize = size;
    } else {
        window = new CMemoryIOSpace(0, base, size);
        sdk->m_pIOSpaces->AddTail(window);
    }
    bridge.m_pMCHBAR = window;
    return window;
}

CIOSpace* AttachWindowAt48(CNorthBridge& bridge, EnableBitSwitch* enable, uint32_t size) {
    const uint32_t reg = bridge.ReadConfig(kWindowRegister48);
    const uint32_t base = reg & kWindowBaseMask48;
    if (!UsableBase(base, kWindowBaseMask48)) return nullptr;
    if (enable && !enable->SwitchOn(reg, kWindowEnableSettleMs)) return nullptr;
    CIOSpace* window = AttachWindow(bridge, base, size);
    return !enable || WindowReader(window).Answers() ? window : nullptr;
}

uint32_t ConfigRegister::Read() const {
    if (bridge) return bridge->ReadConfig(reg);
    uint32_t value = 0xFFFFFFFF;
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci || !pci->ReadConfig(0, device, function, static_cast<int32_t>(reg), &value)) return 0xFFFFFFFF;
    return value;
}

int ConfigRegister::Write(uint32_t value) const {
    if (bridge) return bridge->WriteConfig(reg, value);
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci ? static_cast<int>(pci->WriteConfig(0, device, function, static_cast<int32_t>(reg), value)) : 0;
}

bool EnableBitSwitch::SwitchOn(uint32_t value, uint32_t settleMs) {
    if (value & bit_) return true;
    reg_.Write(value | bit_);
    if (settleMs == 0) {
        switched_ = true;
        return true;
    }
    for (uint32_t waited = 0;; waited += kSettlePollMs) {
        if (reg_.Read() & bit_) {
            switched_ = true;
            return true;
        }
        if (waited >= settleMs) break;
        Sleep(kSettlePollMs);
    }
    reg_.Write(value);
    return false;
}

EnableBitSwitch::~EnableBitSwitch() {
    if (!switched_) return;
    reg_.Write(reg_.Read() & ~bit_);
    bridge_.m_pMCHBAR = nullptr;
}

bool WindowReader::Answers() {
    uint32_t value = 0;
    return TryDword(0, value);
}

uint32_t WindowReader::Dword(uint32_t offset) {
    if (window_) window_->ReadDword(offset, &last_);
    return last_;
}

bool WindowReader::TryDword(uint32_t offset, uint32_t& value) {
    return window_ && window_->ReadDword(offset, &value);
}

bool WindowReader::TryQword(uint32_t offset, uint32_t& low, uint32_t& high) {
    return window_ && window_->ReadQword(offset, &high, &low);
}

void ReadSharedTimings(WindowReader& window, const SharedTimingRegisters& registers, CMemoryInfo& memory) {
    memory.m_iCycleTime = static_cast<int>(Bits(window.Dword(registers.tRAS), 5, 0));
    const uint32_t precharge = window.Dword(registers.tRPandRFC);
    memory.m_iRASPrecharge = static_cast<int>(Bits(precharge, 16, 13));
    memory.m_iRowRefreshCycleTime = static_cast<int>(Bits(precharge, 8, 0));
    memory.m_iRASToCASDelay = static_cast<int>(Bits(window.Dword(registers.tRCD), 20, 17));
    memory.m_iCommandRate = (window.Dword(registers.commandRate) & (1u << 4)) ? 2 : 1;
}

void SetRatio(CMemoryInfo& memory, Ratio ratio) {
    if (!ratio.bus) return;
    FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "%d:%d", ratio.bus, ratio.dram);
    memory.m_fFSBDRAMRatio = static_cast<float>(ratio.dram) / static_cast<float>(ratio.bus);
}

} // namespace intel_mchbar
