#include "sdk/chipset/ali_northbridges.h"

#include <cstdint>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_decoding.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"

namespace {

constexpr uint16_t kMagiK1 = 0x1647;

struct ALiBridge {
    uint16_t device;
    const char* model;
};
constexpr ALiBridge kBridges[] = {
    {0x1541, "Aladdin 5"},       {0x1561, "M1561"},      {0x1621, "Aladdin Pro II"},
    {0x1631, "Aladdin Pro III"}, {0x1641, "Aladdin Pro IV"}, {0x1644, "CyberAladdin-T (M1644)"},
    {0x1646, "CyberMagiK"},      {0x1647, "AliMagiK1"},  {0x1651, "Aladdin Pro 5"},
    {0x1671, "M1671"},           {0x1681, "M1681"},      {0x1683, "M1683"},
    {0x1687, "M1687"},           {0x1689, "M1689"},      {0x1695, "M1695"},
    {0x1697, "M1697"}};

constexpr uint32_t kDramTypeRegister = 0x76;
constexpr uint32_t kCASRegister = 0x79;
constexpr uint32_t kTimingRegister = 0x7A;
constexpr float kSDRAMCASLatency[] = {2.0f, 2.0f, 3.0f, 3.0f};
constexpr float kDDRCASLatency[] = {-1.0f, 2.0f, 2.5f, -1.0f};

} // namespace

int IdentifyALiNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge) {
    if (!chipset || !bridge) return 1;
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "ALI");
    const uint16_t device = bridge->GetDeviceID();
    for (const ALiBridge& entry : kBridges)
        if (entry.device == device) FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", entry.model);
    if (device == kMagiK1) DecodeALiMagiK1(bridge, chipset->m_pMemoryInfo);
    return 1;
}

void DecodeALiMagiK1(CNorthBridge* bridge, CMemoryInfo* memory) {
    SetSynchronousRatio(*memory);
    const bool ddr = FieldBits(BridgeRegister(*bridge, kDramTypeRegister), 2, 0) >= 4;
    memory->m_iMemoryType = ddr ? MEMORY_TYPE_DDR : MEMORY_TYPE_SDRAM;
    const uint32_t casCode = FieldBits(BridgeRegister(*bridge, kCASRegister), 5, 4);
    SetIfListed(memory->m_fCASLatency, ddr ? CodeValue(kDDRCASLatency, casCode) : CodeValue(kSDRAMCASLatency, casCode));
    const uint32_t timing = BridgeRegister(*bridge, kTimingRegister);
    memory->m_iRASPrecharge = 9 - static_cast<int>(FieldBits(timing, 2, 0));
    memory->m_iRASToCASDelay = 5 - static_cast<int>(FieldBits(timing, 4, 3));
}
