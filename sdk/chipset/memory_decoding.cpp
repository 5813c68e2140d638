#include "sdk/chipset/memory_decoding.h"

#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"

void SetRatioByCode(CMemoryInfo& memory, const RatioCode* codes, size_t count, uint32_t code) {
    for (size_t i = 0; i < count; ++i) {
        if (codes[i].code != code) continue;
        FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "%d:%d", codes[i].bus, codes[i].dram);
        memory.m_fFSBDRAMRatio = static_cast<float>(codes[i].dram) / static_cast<float>(codes[i].bus);
        return;
    }
}

void SetSynchronousRatio(CMemoryInfo& memory) {
    static constexpr RatioCode kOneToOne[] = {{0, 1, 1}};
    SetRatioByCode(memory, kOneToOne, 0);
}

uint32_t BridgeRegister(CNorthBridge& bridge, uint32_t reg) {
    const uint32_t shift = (reg & 3) * 8;
    const uint32_t low = bridge.ReadConfig(reg & ~3u);
    if (!shift) return low;
    return (low >> shift) | (bridge.ReadConfig((reg & ~3u) + 4) << (32 - shift));
}
