// The memory controllers of ATI's integrated-graphics chipsets: RS100 to
// RS250 (timings in configuration space), RS400/RC400/RC410 and RS600
// (timings behind the index 0xE8 / data 0xEC pair, the DRAM clock from a
// memory PLL in function 1 when the memory runs asynchronously).
//
// Function 1's registers are read through the configuration ports; bit 0
// of the bridge's register 0x4C makes them answer and is put back as found.
#include "sdk/chipset/ati_northbridges.h"

#include "sdk/chipset/memory_decoding.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_indirect.h"

namespace {

constexpr uint32_t kIndexRegister = 0xE8;
constexpr uint32_t kDataRegister = 0xEC;
constexpr uint32_t kFunction1Enable = 0x4C;
constexpr uint32_t kClockMode = 0x58;      // of function 1: bit 2 asynchronous
constexpr uint32_t kPLLDividers = 0x78;    // of function 1
constexpr uint32_t kPLLReference = 0x7C;   // of function 1: bit 26 100 MHz
constexpr unsigned kAsynchronousBit = 2;
constexpr float kCrystalMHz = 14.31818f;
constexpr float kReferenceMHz = 100.0f;

// Bit 0 of register 0x4C set for the life of the object, then put back.
class Function1Access {
public:
    explicit Function1Access(CNorthBridge& bridge) : bridge_(bridge), saved_(bridge.ReadConfig(kFunction1Enable)) {
        changed_ = saved_ != 0xFFFFFFFF && !(saved_ & 1);
        if (changed_) bridge_.WriteConfig(kFunction1Enable, saved_ | 1);
    }
    ~Function1Access() {
        if (changed_) bridge_.WriteConfig(kFunction1Enable, saved_);
    }
    Function1Access(const Function1Access&) = delete;
    Function1Access& operator=(const Function1Access&) = delete;

    // A register of 00:00.1 through the ports; all ones when it fails.
    static uint32_t Read(uint32_t reg) {
        uint32_t value = 0xFFFFFFFF;
        CKMDriver* driver = GetSDK()->m_pDriver;
        if (!driver || !driver->ReadPCIConfigDwordByPorts(0, 0, 1, reg, &value)) value = 0xFFFFFFFF;
        return value;
    }

private:
    CNorthBridge& bridge_;
    uint32_t saved_;
    bool changed_ = false;
};

bool Asynchronous(CMemoryInfo& memory) {
    if (BitSet(Function1Access::Read(kClockMode), kAsynchronousBit)) return true;
    SetSynchronousRatio(memory);
    memory.m_bAsynchronous = 0;
    return false;
}

// The clock of the memory PLL; -1.0 (unknown) for one not programmed.
void SetAsynchronousClock(CMemoryInfo& memory, float clock) {
    memory.m_bAsynchronous = 1;
    memory.m_fDRAMFrequency = clock;
}

// The RS400's index/data pair; the index goes back as found.
class RS400Index {
public:
    explicit RS400Index(CNorthBridge& bridge) : bridge_(bridge), saved_(bridge.ReadConfig(kIndexRegister)) {}
    ~RS400Index() {
        if (saved_ != 0xFFFFFFFF) bridge_.WriteConfig(kIndexRegister, saved_);
    }
    RS400Index(const RS400Index&) = delete;
    RS400Index& operator=(const RS400Index&) = delete;

    uint32_t Read(uint32_t index) {
        bridge_.WriteConfig(kIndexRegister, index);
        return bridge_.ReadConfig(kDataRegister);
    }

private:
    CNorthBridge& bridge_;
    uint32_t saved_;
};

constexpr float kRS400CASLatency[] = {-1.0f, 1.0f, 2.0f, 3.0f, -1.0f, 1.5f, 2.5f, 3.5f};
constexpr uint32_t kPostDividers[] = {1, 2, 4, 8, 3, 1, 6, 1};

// The RS600's register space: the root's, or a new one the root then owns.
CIndirectRegisterSpace* RS600Space(CNorthBridge& bridge) {
    BRENIKSDK* sdk = GetSDK();
    if (CRegisterSpace* space = sdk->FindRegisterSpace(0xFFFFFFFF, 0xFFFFFFFF, REGSPACE_RS600_MC))
        return static_cast<CIndirectRegisterSpace*>(space);
    CPCIInterface* pci = sdk->m_pPCI;
    if (!pci || !pci->m_pConfigSpace || !bridge.m_pDevice) return nullptr;
    const CPCIDevice& device = *bridge.m_pDevice;
    auto* space = new ATI_RS600_MC_RegisterSpace(
        pci->m_pConfigSpace, new CPCIRequest(device.m_byBus, device.m_byDevice, device.m_byFunction));
    sdk->m_pRegisterSpaces->AddTail(space);
    return space;
}

uint32_t ReadIndexed(CIndirectRegisterSpace& space, uint32_t index) {
    uint32_t value = 0xFFFFFFFF;
    space.ReadIndexed(index, &value);
    return value;
}

} // namespace

float ATIMemoryPLLClock(float referenceMHz, uint32_t m, uint32_t n, uint32_t postDivider) {
    if (!m || !postDivider) return -1.0f;
    return static_cast<float>(n) * referenceMHz / (static_cast<float>(m) * static_cast<float>(postDivider));
}

void DecodeATIRS200(CNorthBridge* bridge, CMemoryInfo* memory) {
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    SetSynchronousRatio(*memory);
    memory->m_bAsynchronous = 0;
    const uint32_t cas = bridge->ReadConfig(0xD8);
    memory->m_fCASLatency = static_cast<float>(FieldBits(cas, 21, 20)) + (BitSet(cas, 22) ? 0.5f : 0.0f);
    const uint32_t timing = bridge->ReadConfig(0xC4);
    memory->m_iRASPrecharge = static_cast<int>(FieldBits(timing, 1, 0)) + 1;
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 3, 2)) + 1;
    memory->m_iCycleTime = static_cast<int>(FieldBits(timing, 6, 4)) + 1;
    memory->m_iBankCycleTime = memory->m_iCycleTime + memory->m_iRASPrecharge;
}

void DecodeATIRS400(CNorthBridge* bridge, CMemoryInfo* memory) {
    uint32_t extension = 0;
    uint32_t timing = 0;
    {
        RS400Index index(*bridge);
        extension = index.Read(0x47);
        memory->m_iChannels = static_cast<int>(BitSet(index.Read(0x1C), 3)) + 1;
        timing = index.Read(0x1D);
    }
    const bool ddr2 = BitSet(extension, 10);
    memory->m_iMemoryType = ddr2 ? MEMORY_TYPE_DDR2 : MEMORY_TYPE_DDR;
    const uint32_t cas = bridge->ReadConfig(0xD8);
    SetIfListed(memory->m_fCASLatency, CodeValue(kRS400CASLatency, FieldBits(cas, 22, 20)));
    if (memory->m_fCASLatency > 0) memory->m_fCASLatency += static_cast<float>(FieldBits(cas, 25, 23));
    memory->m_iRASPrecharge = static_cast<int>(FieldBits(timing, 1, 0));
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 3, 2)) + 1;
    memory->m_iCycleTime = static_cast<int>(FieldBits(timing, 6, 4)) + 1;
    if (ddr2) {
        memory->m_iRASPrecharge += 4 * static_cast<int>(FieldBits(extension, 1, 0));
        memory->m_iRASToCASDelay += 4 * static_cast<int>(FieldBits(extension, 3, 2));
        memory->m_iCycleTime += 8 * static_cast<int>(FieldBits(extension, 7, 4));
    }
    Function1Access access(*bridge);
    if (!Asynchronous(*memory)) return;
    const float reference = BitSet(Function1Access::Read(kPLLReference), 26) ? kReferenceMHz : kCrystalMHz;
    const uint32_t dividers = Function1Access::Read(kPLLDividers);
    const float clock = ATIMemoryPLLClock(reference, FieldBits(dividers, 9, 0), FieldBits(dividers, 26, 16),
                                          kPostDividers[FieldBits(dividers, 30, 28)]);
    SetAsynchronousClock(*memory, clock);
}

void DecodeATIRS600(CNorthBridge* bridge, CMemoryInfo* memory) {
    CIndirectRegisterSpace* space = RS600Space(*bridge);
    if (!space) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    const bool select = BitSet(ReadIndexed(*space, 0), 3);
    const uint32_t banks = ReadIndexed(*space, 9);
    memory->m_iChannels = static_cast<int>(BitSet(banks, 3)) + 1;
    const bool bank = BitSet(banks, 2);
    const uint32_t timingIndex = bank ? (select ? 0xCC : 0xA8) : (select ? 0x6C : 0x48);
    const uint32_t timing = ReadIndexed(*space, timingIndex);
    memory->m_fCASLatency = static_cast<float>(FieldBits(timing, 3, 0));
    memory->m_iRASToCASDelay = static_cast<int>(FieldBits(timing, 11, 8));
    memory->m_iRASPrecharge = static_cast<int>(FieldBits(timing, 19, 16));
    const uint32_t cycles = ReadIndexed(*space, timingIndex + 1);
    memory->m_iCycleTime = static_cast<int>(FieldBits(cycles, 7, 0));
    memory->m_iBankCycleTime = static_cast<int>(FieldBits(cycles, 15, 8));
    memory->m_iCommandRate = static_cast<int>(BitSet(ReadIndexed(*space, bank ? 0xB0 : 0x50), 9)) + 1;
    Function1Access access(*bridge);
    if (!Asynchronous(*memory)) return;
    const uint32_t pll = ReadIndexed(*space, select ? 0x12 : 0x0E);
    const float a = static_cast<float>(FieldBits(pll, 8, 3) + 1);
    const float b = static_cast<float>(FieldBits(pll, 2, 0) + 1);
    const float e = static_cast<float>(FieldBits(pll, 13, 9) + 1);
    const float d = static_cast<float>(FieldBits(pll, 15, 14) + 1);
    const float product = 2.0f * a * b;
    const float reference = 100.0f / e;
    const float divider = 2.0f * d;
    SetAsynchronousClock(*memory, product * reference / divider);
}
