// NVIDIA memory controllers. The nForce and nForce2 keep theirs in
// functions 1 to 3 of the host device; the later SPPs and MCPs keep the
// timings in device 1 and the clock ratio in function 00:00.2 (00:03.4 on
// the GeForce 7000 MCPs, 00:03.3 behind the PCI Express space on the MCP79).
#include <cstdint>

#include "sdk/chipset/decoder_fields.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/nvidia_northbridges.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_pci.h"

using decoder_fields::Bit;
using decoder_fields::Bits;

namespace {

// A function of bus 0, read through the configuration space or, for the
// MCP79, through the PCI Express space.
struct Function {
    uint32_t device;
    uint32_t function;
    CPCIExpressRegisterSpace* express = nullptr;

    uint32_t Read(uint32_t reg, bool* read = nullptr) const {
        if (!express) return decoder_fields::ReadFunction(0, device, function, reg, read);
        uint32_t value = 0xFFFFFFFF;
        const bool ok = express->ReadConfigDword(0, device, function, reg, &value);
        if (read) *read = ok;
        return ok ? value : 0xFFFFFFFF;
    }
    bool Answers() const {
        bool read = false;
        Read(0x00, &read);
        return read;
    }
};

// A 4-bit clock field in which 0 stands for 16.
int ClockField(uint32_t value, unsigned low) {
    const int field = static_cast<int>(Bits(value, low + 3, low));
    return field ? field : 16;
}

// nForce and nForce2: timings in 00:00.1, the population of the two
// channels' banks in 00:00.2.
void NForceTimingsAndChannels(CMemoryInfo& memory) {
    const Function timings{0, 1};
    const uint32_t t = timings.Read(0x90);
    memory.m_iRASPrecharge = static_cast<int>(Bits(t, 31, 28));
    memory.m_iRASToCASDelay = static_cast<int>(Bits(t, 23, 20));
    memory.m_iCycleTime = static_cast<int>(Bits(t, 18, 15));
    switch (Bits(timings.Read(0xB0), 6, 4)) {
    case 2: memory.m_fCASLatency = 2.0f; break;
    case 3: memory.m_fCASLatency = 3.0f; break;
    case 6: memory.m_fCASLatency = 2.5f; break;
    default: break;
    }
    const Function banks{0, 2};
    const bool secondChannel = (Bit(banks.Read(0x40), 0) || Bit(banks.Read(0x44), 0)) && Bit(banks.Read(0x48), 0);
    memory.m_iChannels = secondChannel ? 2 : 1;
}

// The ratio of the nForce4 Intel Edition and the 600-series SPPs: FSB and
// DRAM fields of register 0x74, forced to 1:1 by bit 22 of 0x60, the DRAM
// part doubled or quadrupled by bits 31:30 of 0x4C.
void ClockRatio(const Function& clocks, CMemoryInfo& memory) {
    const uint32_t fields = clocks.Read(0x74);
    int fsb = ClockField(fields, 0);
    int dram = ClockField(fields, 4);
    if (Bit(clocks.Read(0x60), 22)) fsb = dram = 1;
    switch (Bits(clocks.Read(0x4C), 31, 30)) {
    case 1: dram *= 2; break;
    case 2: dram *= 4; break;
    default: break;
    }
    decoder_fields::SetRatio(memory, fsb, dram);
}

// Both channels enabled in bits 1:0.
void Channels(uint32_t value, CMemoryInfo& memory) { memory.m_iChannels = Bits(value, 1, 0) == 3 ? 2 : 1; }

// tRCD, tRAS, tRP, command rate and tRC of the SPPs' timing function.
void SPPTimings(const Function& timings, CMemoryInfo& memory) {
    const uint32_t t = timings.Read(0x8C);
    memory.m_iRASToCASDelay = static_cast<int>(Bits(t, 27, 24));
    memory.m_iCycleTime = static_cast<int>(Bits(t, 21, 16));
    memory.m_iRASPrecharge = static_cast<int>(Bits(timings.Read(0x9C), 11, 8));
    memory.m_iCommandRate = static_cast<int>(Bit(timings.Read(0x80), 8)) + 1;
    memory.m_iBankCycleTime = static_cast<int>(Bits(timings.Read(0xA0), 21, 16));
}

void DDR2SPP(const Function& clocks, CMemoryInfo& memory) {
    memory.m_iMemoryType = MEMORY_TYPE_DDR2;
    ClockRatio(clocks, memory);
    const Function control{1, 1};
    Channels(control.Read(0x90), memory);
    memory.m_fCASLatency = static_cast<float>(Bits(control.Read(0xD0), 6, 4));
    SPPTimings(Function{1, 0}, memory);
}

CPCIExpressRegisterSpace* ExpressSpace() {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci ? static_cast<CPCIExpressRegisterSpace*>(pci->GetExpressSpace()) : nullptr;
}

} // namespace

void DecodeNForce(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = Bit(bridge->ReadConfig(0xD0), 0) ? MEMORY_TYPE_SDRAM : MEMORY_TYPE_DDR;
    NForceTimingsAndChannels(*memory);
}

// The ratio sits in function 00:00.3, at 0x70 before revision C0 and at
// 0x7C from it on; the revision also tells the IGP from the SPP and the
// 400 from the Ultra 400.
void DecodeNForce2(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    const uint32_t revision = bridge->ReadConfig(0x08) & 0xFF;
    uint32_t ratioRegister = 0x7C;
    const Function graphics{0, 1};
    if (revision < 0xC0) {
        ratioRegister = 0x70;
        FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s",
                     Bit(graphics.Read(0x40), 0) ? "nForce2 IGP" : "nForce2 SPP");
    } else {
        const uint32_t device = Bits(graphics.Read(0x00), 31, 16);
        if (device == 0x01EA) FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", "nForce2 400");
        if (device == 0x01EB) FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", "nForce2 Ultra 400");
    }
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    NForceTimingsAndChannels(*memory);
    const uint32_t ratio = Function{0, 3}.Read(ratioRegister);
    decoder_fields::SetRatio(*memory, static_cast<int>(Bits(ratio, 3, 0)), static_cast<int>(Bits(ratio, 7, 4)));
}

void DecodeNForce4IntelEdition(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR2;
    ClockRatio(Function{0, 2}, *memory);
    const Function control{1, 1};
    memory->m_iChannels = (control.Read(0x80) & 3) ? 2 : 1;
    memory->m_fCASLatency = static_cast<float>(Bits(control.Read(0xD0), 6, 4));
    const Function timings{1, 0};
    const uint32_t t = timings.Read(0x8C);
    memory->m_iRASToCASDelay = static_cast<int>(Bits(t, 27, 24));
    memory->m_iCycleTime = static_cast<int>(Bits(t, 21, 16));
    memory->m_iBankCycleTime = static_cast<int>(Bits(t, 5, 0));
    memory->m_iRASPrecharge = static_cast<int>(Bits(timings.Read(0x9C), 11, 8));
}

void DecodeNForce600SPP(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) DDR2SPP(Function{0, 2}, *memory);
}

void DecodeGeForce7000MCP(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (bridge && memory) DDR2SPP(Function{3, 4}, *memory);
}

// Bit 26 of register 0x74 selects the fixed 1:2 of DDR3-1333 and up;
// otherwise register 0x70 holds the FSB part and half the DRAM part.
void DecodeNForce700SPP(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    const Function clocks{0, 2};
    if (Bit(clocks.Read(0x74), 26)) {
        decoder_fields::SetRatioAsWritten(*memory, 1, 2);
    } else {
        const uint32_t fields = clocks.Read(0x70);
        decoder_fields::SetRatio(*memory, ClockField(fields, 0), 2 * ClockField(fields, 4));
    }
    const Function control{1, 1};
    Channels(control.Read(0x90), *memory);
    memory->m_fCASLatency = static_cast<float>(Bits(control.Read(0xA8), 6, 4) + 4);
    SPPTimings(Function{1, 0}, *memory);
}

void DecodeMCP79(CNorthBridge* bridge, CMemoryInfo* memory) {
    CPCIExpressRegisterSpace* express = ExpressSpace();
    if (!bridge || !memory || !express) return;
    const Function clocks{3, 3, express};
    if (clocks.Answers()) {
        memory->m_iMemoryType = Bit(clocks.Read(0x48), 5) ? MEMORY_TYPE_DDR3 : MEMORY_TYPE_DDR2;
        const uint32_t fields = clocks.Read(0xC8);
        if (Bit(clocks.Read(0x74), 26))
            decoder_fields::SetRatioAsWritten(*memory, 1, 2);
        else
            decoder_fields::SetRatio(*memory, ClockField(fields, 0), 2 * ClockField(fields, 4));
    }
    const Function control{1, 4, express};
    if (control.Answers()) {
        Channels(control.Read(0x90), *memory);
        if (memory->m_iMemoryType == MEMORY_TYPE_DDR2)
            memory->m_fCASLatency = static_cast<float>(Bits(control.Read(0xD0), 6, 4));
        else if (memory->m_iMemoryType == MEMORY_TYPE_DDR3)
            memory->m_fCASLatency = static_cast<float>(Bits(control.Read(0xA8), 6, 4) + 4);
    }
    const Function timings{1, 3, express};
    if (timings.Answers()) SPPTimings(timings, *memory);
}

void DecodeMCP89(CNorthBridge* bridge, CMemoryInfo* memory) {
    if (!bridge || !memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR3;
    const Function timings{1, 0};
    memory->m_fCASLatency = static_cast<float>(static_cast<int>(Bits(timings.Read(0x70), 4, 0)) - 2);
    const uint32_t t = timings.Read(0x8C);
    memory->m_iRASToCASDelay = static_cast<int>(Bits(t, 27, 24));
    memory->m_iCycleTime = static_cast<int>(Bits(t, 21, 16));
    memory->m_iRowRefreshCycleTime = static_cast<int>(Bits(t, 9, 0));
    memory->m_iRASPrecharge = static_cast<int>(Bits(timings.Read(0x9C), 11, 8));
    memory->m_iCommandRate = static_cast<int>(Bit(timings.Read(0x80), 8)) + 1;
}
