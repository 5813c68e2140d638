// NVIDIA host bridges on simulated machines whose host device carries the
// registers the decoders read: names from sibling functions and registers,
// the nForce2 timings and ratio, the 700-series SPP ratio, and the
// graphics probe that writes a port and puts it back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "tests/sdk/chipset/host_bridge_test_support.h"

namespace vexa::test {
namespace {

constexpr uint16_t kNVIDIA = 0x10DE;

struct BridgeCase {
    const char* name;
    std::vector<FunctionDump> functions;
    const char* model;
    const char* revision;
    int type;
    const char* ratio;
    float factor;
    float cas;
    int channels;
};

void PrintTo(const BridgeCase& c, std::ostream* os) { *os << c.name; }

// nForce2 before revision C0: ratio in 00:00.3 register 0x70, IGP by bit 0
// of 00:00.1 register 0x40; timings in 00:00.1, channels in 00:00.2.
std::vector<FunctionDump> NForce2(uint8_t revision, uint8_t ratio, uint16_t memoryFunctionID = 0x01EB) {
    const unsigned ratioRegister = revision < 0xC0 ? 0x70 : 0x7C;
    return {HostBridgeAt00(kNVIDIA, 0x01E0, revision),
            FunctionAt(0, 1, kNVIDIA, memoryFunctionID)
                .Dword(0x40, 1)
                .Dword(0x90, (3u << 28) | (2u << 20) | (7u << 15))  // tRP 3, tRCD 2, tRAS 7
                .Dword(0xB0, 6u << 4),                               // CL 2.5
            FunctionAt(0, 2, kNVIDIA, 0x01EE).Dword(0x40, 1).Dword(0x48, 1),
            FunctionAt(0, 3, kNVIDIA, 0x01ED).Byte(ratioRegister, ratio)};
}

// A 700-series SPP: clocks in 00:00.2, CAS and channels in 00:01.1.
std::vector<FunctionDump> NForce700(uint16_t device, uint32_t reg74, uint8_t reg70, bool withMCP55) {
    std::vector<FunctionDump> functions{
        HostBridgeAt00(kNVIDIA, device),
        FunctionAt(0, 2, kNVIDIA, 0x0806).Dword(0x74, reg74).Byte(0x70, reg70),
        FunctionAt(1, 0, kNVIDIA, 0x0805).Dword(0x8C, (7u << 24) | (20u << 16)).Dword(0x9C, 7u << 8),
        FunctionAt(1, 1, kNVIDIA, 0x0805).Dword(0x90, 3).Dword(0xA8, 3u << 4)};  // two channels, CL 7
    if (withMCP55) functions.push_back(FunctionAt(9, 0, kNVIDIA, 0x0360));
    return functions;
}

const BridgeCase kCases[] = {
    {"nForce2IGPFourToFive", NForce2(0xA2, 0x54), "nForce2 IGP", "A2", MEMORY_TYPE_DDR, "4:5", 1.25f, 2.5f, 2},
    {"nForce2Ultra400OneToOne", NForce2(0xC1, 0x33), "nForce2 Ultra 400", "C1", MEMORY_TYPE_DDR, "1:1", 1.0f, 2.5f, 2},
    {"nForce2With400Function", NForce2(0xC1, 0x33, 0x01EA), "nForce2 400", "C1", MEMORY_TYPE_DDR, "1:1", 1.0f, 2.5f,
     2},
    // An FSB field of 0 gives no ratio rather than a division by zero.
    {"nForce2ZeroFsbField", NForce2(0xA2, 0x50), "nForce2 IGP", "A2", MEMORY_TYPE_DDR, "", -1.0f, 2.5f, 2},
    {"nForce790iFixedOneToTwo", NForce700(0x0802, 1u << 26, 0x32, true), "nForce 790i SLI SPP", "00",
     MEMORY_TYPE_DDR3, "1:2", 2.0f, 7.0f, 2},
    {"nForce790iUltraFromRegister70", NForce700(0x0800, 0, 0x32, true), "nForce 790i Ultra SLI SPP", "00",
     MEMORY_TYPE_DDR3, "2:6", 3.0f, 7.0f, 2},
    // Fields of 0 stand for 16: 16 and 2 x 16.
    {"nForce770iZeroFields", NForce700(0x0803, 0, 0x00, false), "nForce 770i SLI SPP", "00", MEMORY_TYPE_DDR3,
     "16:32", 2.0f, 7.0f, 2},
    // Without the MCP55 beside it the 0x0800 keeps its id text, but is decoded.
    {"nForce790iUltraWithoutMCP", NForce700(0x0800, 1u << 26, 0, false), "ID0800", "00", MEMORY_TYPE_DDR3, "1:2",
     2.0f, 7.0f, 2},
};

class NVIDIABridges : public HostBridgeTest, public testing::WithParamInterface<BridgeCase> {};

TEST_P(NVIDIABridges, NamedAndDecodedFromTheHostDevice) {
    const BridgeCase& c = GetParam();
    Start(c.functions);
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    ExpectMainBridgeNamed("NVIDIA", c.model, c.revision);
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iMemoryType, c.type);
    ExpectClockSource(c.ratio, c.factor);
    EXPECT_EQ(m.m_fCASLatency, c.cas);
    EXPECT_EQ(m.m_iChannels, c.channels);
    chipset->Refresh();
    EXPECT_STREQ(Memory().m_szRatio, c.ratio) << "every pass gives the same";
    ExpectHardwareAsFound();
}

INSTANTIATE_TEST_SUITE_P(Cases, NVIDIABridges, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<BridgeCase>& row) { return std::string(row.param.name); });

class NVIDIABridge : public HostBridgeTest {};

TEST_F(NVIDIABridge, NForce2TimingsAndClockAtBusClock) {
    Start(NForce2(0xA2, 0x54));
    ASSERT_TRUE(Detect());
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iRASPrecharge, 3);
    EXPECT_EQ(m.m_iRASToCASDelay, 2);
    EXPECT_EQ(m.m_iCycleTime, 7);
    EXPECT_NEAR(m.GetDRAMFrequency(166.67f, -1.0f), 208.3, 0.05);
}

TEST_F(NVIDIABridge, NForce790iTimings) {
    Start(NForce700(0x0802, 0, 0x32, true));
    ASSERT_TRUE(Detect());
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iRASToCASDelay, 7);
    EXPECT_EQ(m.m_iCycleTime, 20);
    EXPECT_EQ(m.m_iRASPrecharge, 7);
    EXPECT_EQ(m.m_iCommandRate, 1);
    EXPECT_EQ(m.m_iBankCycleTime, 0);
}

// The MCP61 finds itself as device 0x03E2; its revision is the graphics
// function's.
TEST_F(NVIDIABridge, MCP61NamedAfterItsGraphics) {
    Start({HostBridgeAt00(kNVIDIA, 0x03E2), FunctionAt(2, 0, kNVIDIA, 0x03D0).Byte(0x08, 0xA2)});
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "GeForce 7025");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, "A2");
    EXPECT_EQ(Memory().m_iMemoryType, -1);
}

// The MCP68 with its graphics flag probes port 0x185C after writing 0 to
// port 0x1800, and writes back what port 0x1800 held; nothing answers
// here, so the name stays.
TEST_F(NVIDIABridge, MCP68GraphicsProbePutsThePortBack) {
    Start({HostBridgeAt00(kNVIDIA, 0x0547), FunctionAt(9, 0, kNVIDIA, 0x0542).Dword(0x78, 1u << 27)});
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "nForce 560");
    EXPECT_EQ(PortWrites(0x1800), (std::vector<uint32_t>{0, 0xFFFFFFFF}));
    ExpectHardwareAsFound();
}

TEST_F(NVIDIABridge, MCP68WithoutGraphicsFlagIsNamedByBit30) {
    Start({HostBridgeAt00(kNVIDIA, 0x0547), FunctionAt(9, 0, kNVIDIA, 0x0542).Dword(0x78, 1u << 30)});
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "nForce 520");
    EXPECT_TRUE(PortWrites(0x1800).empty());
}

// The MCP79 family is named after its graphics function; without the PCI
// Express space its controller is not read.
TEST_F(NVIDIABridge, MCP7ANamedAfterItsGraphics) {
    Start({HostBridgeAt00(kNVIDIA, 0x0A80), FunctionAt(3, 0, kNVIDIA, 0x0AAC), FunctionAt(16, 0, kNVIDIA, 0x086A)});
    ASSERT_TRUE(Detect());
    ExpectMainBridgeNamed("NVIDIA", "GeForce 9400");
}

TEST_F(NVIDIABridge, UnlistedDeviceKeepsItsIdText) {
    Start({HostBridgeAt00(kNVIDIA, 0x1234)});
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szVendor, "NVIDIA");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "ID1234");
    EXPECT_EQ(Memory().m_iMemoryType, -1);
}

} // namespace
} // namespace vexa::test
