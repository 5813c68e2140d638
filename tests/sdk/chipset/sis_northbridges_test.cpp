// SiS host bridges on simulated machines: names by device and revision id,
// the memory type by bank or by register 0x7C, the ratio in its fixed,
// written and reduced forms, and the timings of registers 0x57 to 0x59.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "tests/sdk/chipset/host_bridge_test_support.h"

namespace vexa::test {
namespace {

constexpr uint16_t kSiS = 0x1039;

struct SiSCase {
    const char* name;
    std::vector<FunctionDump> functions;
    const char* model;
    const char* revision;
    int type;
    const char* ratio;
    float factor;
    float cas;
    int tRAS, tRCD, tRP;
};

void PrintTo(const SiSCase& c, std::ostream* os) { *os << c.name; }

FunctionDump Bridge(uint16_t device, uint8_t revision = 0) { return HostBridgeAt00(kSiS, device, revision); }

// The DDR2-era registers: ratio 0x40, CAS 0x58, timings 0x59 (tRAS 8,
// tRCD 4, tRP 5), type 0x7C.
FunctionDump DDR2Era(uint16_t device, uint8_t ratio, bool ddr, uint8_t cas) {
    return Bridge(device).Byte(0x40, ratio).Byte(0x58, cas).Byte(0x59, 0xE4).Byte(0x7C, ddr ? 1 : 0);
}

// The 662's clock codes: bus code in 0xBA, DRAM code in 0x41.
FunctionDump SiS662(uint8_t busCode, uint8_t dramCode) {
    return DDR2Era(0x0662, 0x00, false, 2).Byte(0xBA, busCode).Byte(0x41, dramCode);
}

const SiSCase kCases[] = {
    {"SiS649WritesEqualParts", {DDR2Era(0x0649, 0x10, false, 2)}, "649", "00", MEMORY_TYPE_DDR2, "2:2", 1.0f, 4.0f, 8,
     4, 5},
    {"SiS649DDR", {DDR2Era(0x0649, 0x13, true, 2)}, "649", "00", MEMORY_TYPE_DDR, "2:8", 4.0f, 2.5f, 8, 4, 5},
    {"SiS671WithoutGraphicsFunction", {DDR2Era(0x0671, 0x10, false, 3)}, "671/FX/DX/MX", "00", MEMORY_TYPE_DDR2, "1:1",
     1.0f, 5.0f, 8, 4, 5},
    {"SiS672ByItsGraphicsBridge",
     {DDR2Era(0x0671, 0x21, false, 1), FunctionDump({1, 0, 0}, kSiS, 0x6330).Byte(0x80, 0x08)}, "672", "00",
     MEMORY_TYPE_DDR2, "3:4", 1.3333334f, 3.0f, 8, 4, 5},
    {"SiS671WithGraphicsBitClear",
     {DDR2Era(0x0671, 0x10, false, 3), FunctionDump({1, 0, 0}, kSiS, 0x6330).Byte(0x80, 0xF7)}, "671/FX/DX/MX", "00",
     MEMORY_TYPE_DDR2, "1:1", 1.0f, 5.0f, 8, 4, 5},
    {"SiS662Bus166Dram133", {SiS662(0x2D, 0)}, "662", "00", MEMORY_TYPE_DDR2, "5:4", 0.8f, 4.0f, 8, 4, 5},
    {"SiS662Bus166Dram400", {SiS662(0x2D, 5)}, "662", "00", MEMORY_TYPE_DDR2, "5:12", 2.4f, 4.0f, 8, 4, 5},
    {"SiS662Bus200Dram133", {SiS662(0x30, 0)}, "662", "00", MEMORY_TYPE_DDR2, "3:2", 0.6666667f, 4.0f, 8, 4, 5},
    {"SiS662UnknownBusCode", {SiS662(0x31, 0)}, "662", "00", MEMORY_TYPE_DDR2, "", -1.0f, 4.0f, 8, 4, 5},
    {"SiS662OneToOne", {SiS662(0x2D, 0).Byte(0x40, 0x10)}, "662", "00", MEMORY_TYPE_DDR2, "1:1", 1.0f, 4.0f, 8, 4, 5},
    // Register 0x58 = 0x12: tRAS 6, tRP 2, tRCD 3 (tRC 9); bank 2 holds DDR.
    {"SiS645BankTwo", {Bridge(0x0645).Byte(0x64, 0x04).Byte(0x62, 0x40).Byte(0x58, 0x12).Byte(0x59, 0x20)}, "645",
     "00", MEMORY_TYPE_DDR, "", -1.0f, 2.5f, 6, 3, 2},
    // SDRAM leaves CAS code 2; the 645 does not scan bank 3.
    {"SiS645SDRAMLeavesCas2", {Bridge(0x0645).Byte(0x64, 0x01).Byte(0x58, 0x12).Byte(0x59, 0x20)}, "645", "00",
     MEMORY_TYPE_SDRAM, "", -1.0f, -1.0f, 6, 3, 2},
    {"SiS645IgnoresBank3", {Bridge(0x0645).Byte(0x64, 0x08).Byte(0x63, 0x40).Byte(0x58, 0x12)}, "645", "00", -1, "",
     -1.0f, -1.0f, 6, 3, 2},
    {"SiS735ReadsBank3", {Bridge(0x0735).Byte(0x64, 0x08).Byte(0x63, 0x40).Byte(0x58, 0x12)}, "735", "00",
     MEMORY_TYPE_DDR, "", -1.0f, -1.0f, 6, 3, 2},
    // 0x76 bits 5:2 = 6: "4:5"; 0x57 code 4: tRAS 8; 0x58: tRCD 5, tRP 4.
    {"SiS655FXByRevision",
     {Bridge(0x0655, 0x50).Byte(0x76, 6 << 2).Byte(0x57, 4).Byte(0x58, 0x2C).Byte(0x59, 0x30)}, "655FX", "50",
     MEMORY_TYPE_DDR, "4:5", 1.25f, 3.0f, 8, 5, 4},
    {"SiS655SteppingB0", {Bridge(0x0655, 0x10)}, "655", "B0", MEMORY_TYPE_DDR, "1:1", 1.0f, -1.0f, 6, 3, 3},
    {"SiS648FX", {Bridge(0x0648, 0x51).Byte(0x76, 10 << 2)}, "648FX", "51", MEMORY_TYPE_DDR, "3:2", 0.6666667f, -1.0f,
     6, 3, 3},
    {"UnlistedDevice", {Bridge(0x0999)}, "ID0999", "00", -1, "", -1.0f, -1.0f, -1, -1, -1},
};

class SiSBridges : public HostBridgeTest, public testing::WithParamInterface<SiSCase> {};

TEST_P(SiSBridges, NamedAndDecodedFromTheHostBridge) {
    const SiSCase& c = GetParam();
    Start(c.functions);
    ASSERT_TRUE(Detect());
    ExpectMainBridgeNamed("SiS", c.model, c.revision);
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iMemoryType, c.type);
    ExpectClockSource(c.ratio, c.factor);
    EXPECT_EQ(m.m_fCASLatency, c.cas);
    EXPECT_EQ(m.m_iCycleTime, c.tRAS);
    EXPECT_EQ(m.m_iRASToCASDelay, c.tRCD);
    EXPECT_EQ(m.m_iRASPrecharge, c.tRP);
    ExpectHardwareAsFound();
}

INSTANTIATE_TEST_SUITE_P(Cases, SiSBridges, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SiSCase>& row) { return std::string(row.param.name); });

class SiSBridge : public HostBridgeTest {};

// tRC = tRAS + tRP, one more with bit 1 of register 0x58.
TEST_F(SiSBridge, SiS645BankCycleTime) {
    Start({Bridge(0x0645).Byte(0x64, 0x01).Byte(0x58, 0x12)});
    ASSERT_TRUE(Detect());
    EXPECT_EQ(Memory().m_iBankCycleTime, 9);
}

} // namespace
} // namespace vexa::test
