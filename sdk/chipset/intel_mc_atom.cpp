// The Atom platforms, whose DRAM timings sit behind the SoC message bus of
// the host bridge 00:00.0: a command written to the message control
// register 0xD0 reads a unit's register into the data register 0xD4. The
// command and data registers are put back as found after every pass, so
// the firmware's own use of the bus finds them unchanged.
#include "sdk/chipset/intel_northbridges.h"

#include "sdk/chipset/intel_mc_registers.h"
#include "sdk/chipset/intel_mchbar_window.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/list.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_indirect.h"

using namespace intel_mchbar;
using namespace intel_mc;

namespace {

constexpr uint32_t kControlRegister = 0xD0;
constexpr uint32_t kDataRegister = 0xD4;
// Reads of the DRAM unit's timing registers 1 and 2.
constexpr uint32_t kReadTimings1 = 0x10010100;
constexpr uint32_t kReadTimings2 = 0x10010200;
// The US15W's older command form, through the index/data pair.
constexpr uint32_t kUS15WReadTimings = 0xD0010100;
constexpr uint32_t kBusClockMSR = 0xCD;

// The message bus of 00:00.0 for one decoder pass: the control and data
// registers as found are written back when the pass ends (control first,
// as a command written there may refill the data register).
class MessageBus {
public:
    MessageBus() {
        ReadFunction(0, 0, 0, kControlRegister, control_);
        saved_ = ReadFunction(0, 0, 0, kDataRegister, data_);
    }
    ~MessageBus() {
        if (!saved_) return;
        WriteFunction(0, 0, 0, kControlRegister, control_);
        WriteFunction(0, 0, 0, kDataRegister, data_);
    }
    MessageBus(const MessageBus&) = delete;
    MessageBus& operator=(const MessageBus&) = delete;

    // Sends the command and reads its result; false when either fails.
    bool Read(uint32_t command, uint32_t& value) {
        return WriteFunction(0, 0, 0, kControlRegister, command) && ReadFunction(0, 0, 0, kDataRegister, value);
    }

private:
    uint32_t control_ = 0;
    uint32_t data_ = 0;
    bool saved_ = false;
};

// The bridge's index/data pair as a register space of the root's list:
// the one listed with these registers, or a new one over the PCI
// domain's configuration space; null without that space.
CIndirectRegisterSpace* IndexPair(CNorthBridge& bridge) {
    BRENIKSDK* sdk = GetSDK();
    CTList<CRegisterSpace> spaces;
    sdk->GetRegisterSpaces(REGSPACE_INDEXED_PCI, &spaces);
    CIndirectRegisterSpace* found = nullptr;
    CTListIterator<CRegisterSpace> it(&spaces);
    for (CRegisterSpace* space = it.GetFirst(); space && !found; space = it.GetNext()) {
        auto* pair = static_cast<CIndirectRegisterSpace*>(space);
        if (pair->m_byIndexRegister == kControlRegister && pair->m_byDataRegister == kDataRegister) found = pair;
    }
    spaces.RemoveAll();
    if (found) return found;
    CPCIInterface* pci = sdk->m_pPCI;
    CRegisterSpace* config = pci ? pci->GetConfigSpace() : nullptr;
    if (!config || !sdk->m_pRegisterSpaces || !bridge.m_pDevice) return nullptr;
    auto* request = new CPCIRequest(bridge.m_pDevice->m_byBus, bridge.m_pDevice->m_byDevice,
                                    bridge.m_pDevice->m_byFunction);
    found = new CIndirectRegisterSpace(config, request, kControlRegister, kDataRegister);
    sdk->m_pRegisterSpaces->AddTail(found);
    return found;
}

// Bay Trail's FSB:DRAM ratio by the bus clock code (rows) and the DRAM
// clock code (columns).
constexpr Ratio kBayTrailRatios[][4] = {
    {{5, 24}, {5, 32}, {1, 8}, {1, 8}},
    {{1, 4}, {3, 16}, {3, 20}, {1, 8}},
    {{1, 3}, {1, 4}, {1, 5}, {1, 6}},
    {{7, 24}, {7, 32}, {7, 40}, {7, 48}},
    {{3, 15}, {3, 20}, {3, 25}, {1, 10}},
};

} // namespace

void DecodeIntelAtom0BF2(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    MessageBus bus;
    uint32_t v = 0;
    if (bus.Read(kReadTimings1, v)) {
        memory->m_fCASLatency = static_cast<float>(Bits(v, 14, 12)) + 5.0f;
        memory->m_iRASToCASDelay = static_cast<int>(Bits(v, 10, 8)) + 5;
        memory->m_iRASPrecharge = static_cast<int>(Bits(v, 6, 4)) + 5;
        static constexpr Ratio kRatios[] = {{1, 3}, {1, 4}, {1, 5}, {1, 6}};
        SetRatio(*memory, kRatios[Bits(v, 1, 0)]);
    }
    if (bus.Read(kReadTimings2, v)) memory->m_iCycleTime = static_cast<int>(Bits(v, 23, 20)) + 14;
}

void DecodeIntelAtom08C0(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    MessageBus bus;
    uint32_t v = 0;
    if (!bus.Read(kReadTimings1, v)) return;
    memory->m_fCASLatency = static_cast<float>(Bits(v, 13, 13)) + 5.0f;
    memory->m_iRASToCASDelay = static_cast<int>(Bits(v, 10, 8)) + 3;
    memory->m_iRASPrecharge = static_cast<int>(Bits(v, 6, 4)) + 3;
    SetRatio(*memory, (v & (1u << 1)) ? Ratio{1, 4} : Ratio{3, 10});
}

void DecodeIntelBayTrail(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    MessageBus bus;
    uint32_t v = 0;
    if (bus.Read(kReadTimings1, v)) {
        memory->m_fCASLatency = static_cast<float>(Bits(v, 15, 12)) + 5.0f;
        memory->m_iRASToCASDelay = static_cast<int>(Bits(v, 11, 8)) + 5;
        memory->m_iRASPrecharge = static_cast<int>(Bits(v, 7, 4)) + 5;
        uint32_t low = 0;
        if (ReadMSRLow(kBusClockMSR, low)) SetRatio(*memory, RatioAt(kBayTrailRatios, Bits(low, 2, 0), Bits(v, 2, 0)));
    }
    if (bus.Read(kReadTimings2, v)) {
        memory->m_iCycleTime = static_cast<int>(Bits(v, 23, 20)) + 14;
        memory->m_iCommandRate = static_cast<int>(Bits(v, 5, 4)) + 1;
    }
}

void DecodeIntelUS15W(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    CIndirectRegisterSpace* pair = IndexPair(*bridge);
    if (!pair) return;
    MessageBus bus;
    uint32_t v = 0;
    if (!pair->ReadIndexed(kUS15WReadTimings, &v)) return;
    memory->m_fCASLatency = static_cast<float>(Bits(v, 5, 4)) + 3.0f;
    memory->m_iRASToCASDelay = static_cast<int>(Bits(v, 3, 2)) + 3;
    memory->m_iRASPrecharge = static_cast<int>(Bits(v, 1, 0)) + 3;
}
