// VIA host bridges on simulated machines: names by revision id, southbridge
// and display adapter, the DRAM clock as an offset from the bus clock
// (KT133 to KT600) or as the ratio of two clock codes in functions 2 and 3
// of the host device (PT880 and later), and the timings beside them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/cpu/cache_descriptor.h"
#include "tests/sdk/chipset/host_bridge_test_support.h"

namespace vexa::test {
namespace {

constexpr uint16_t kVIA = 0x1106;

struct VIACase {
    const char* name;
    std::vector<FunctionDump> functions;
    const char* model;
    int type;
    const char* ratio;
    float factor;
    float offset;
};

void PrintTo(const VIACase& c, std::ostream* os) { *os << c.name; }

// The KT400 family: bus clock code in register 0x54, clock code in 0x69.
std::vector<FunctionDump> KT400(uint8_t revision, uint8_t bus, uint8_t clock, uint8_t reg67 = 0) {
    return {HostBridgeAt00(kVIA, 0x3189, revision).Byte(0x54, bus).Byte(0x69, clock).Byte(0x67, reg67)};
}

std::vector<FunctionDump> WithSouthBridge(std::vector<FunctionDump> functions, uint16_t southBridge) {
    functions.push_back(FunctionAt(17, 0, kVIA, southBridge).Class(0x06, 0x01));
    return functions;
}

// A KT133-family bridge with an S3 display adapter (or none).
std::vector<FunctionDump> KT133(uint16_t device, uint8_t revision, uint16_t s3Adapter) {
    std::vector<FunctionDump> functions{HostBridgeAt00(kVIA, device, revision).Byte(0x60, 0x0C).Byte(0x69, 0x40)};
    if (s3Adapter) functions.push_back(FunctionAt(1, 0, 0x5333, s3Adapter).Class(0x03, 0x00));
    return functions;
}

// A chipset with the bus clock code in F2 0x54 and the DRAM clock code in
// F3 0x90 (0x68 on the PT880).
std::vector<FunctionDump> ClockCodes(uint16_t device, uint8_t f2x54, unsigned dramRegister, uint8_t dramCode) {
    return {HostBridgeAt00(kVIA, device), FunctionAt(0, 2, kVIA, 0x2000 | device).Byte(0x54, f2x54),
            FunctionAt(0, 3, kVIA, 0x3000 | device).Byte(dramRegister, dramCode)};
}

const VIACase kCases[] = {
    {"KT400At166MHzBus", KT400(0x00, 0x80, 0xC0), "KT400 (VT8377)", MEMORY_TYPE_DDR, "FSB - 33 MHz", -1.0f, -33.34f},
    {"KT400At100MHzBus", KT400(0x00, 0x00, 0xC0), "KT400 (VT8377)", MEMORY_TYPE_DDR, "FSB + 66 MHz", -1.0f, 66.67f},
    {"KT600WithVT8237", WithSouthBridge(KT400(0x80, 0, 0x00), 0x3227), "KT600", MEMORY_TYPE_DDR, "1:1", 1.0f, -1.0f},
    {"KT400AWithVT8235", WithSouthBridge(KT400(0x80, 0, 0x40), 0x3177), "KT400A", MEMORY_TYPE_DDR, "FSB + 33 MHz",
     -1.0f, 33.34f},
    {"KT400AWithoutSouthBridge", KT400(0x80, 0, 0xC0), "KT400A", MEMORY_TYPE_DDR, "FSB + 66 MHz", -1.0f, 66.67f},
    // Bit 7 of 0x67 with clock code 1: no clock source at all.
    {"KT400ABelowBusWithoutEntry", KT400(0x80, 0, 0x40, 0x80), "KT400A", MEMORY_TYPE_DDR, "", -1.0f, -1.0f},
    {"KT400ABelowBusMinus66", KT400(0x80, 0, 0x80, 0x80), "KT400A", MEMORY_TYPE_DDR, "FSB - 66 MHz", -1.0f, -66.67f},
    {"KN133ByS3Graphics", KT133(0x0305, 0x81, 0x8D02), "KN133", MEMORY_TYPE_SDRAM, "FSB + 33 MHz", -1.0f, 33.34f},
    {"KM133ByS3Graphics", KT133(0x0305, 0x81, 0x8A25), "KM133", MEMORY_TYPE_SDRAM, "FSB + 33 MHz", -1.0f, 33.34f},
    {"KL133WithoutS3Graphics", KT133(0x0305, 0x81, 0), "KL133/KM133/KN133", MEMORY_TYPE_SDRAM, "FSB + 33 MHz", -1.0f,
     33.34f},
    {"KT133ByRevision", KT133(0x0305, 0x02, 0), "KT133", MEMORY_TYPE_SDRAM, "FSB + 33 MHz", -1.0f, 33.34f},
    {"KT133AByRevision", KT133(0x0305, 0x13, 0), "KT133A", MEMORY_TYPE_SDRAM, "FSB + 33 MHz", -1.0f, 33.34f},
    {"KN133Bridge", KT133(0x3122, 0x00, 0), "KN133 (VT8362)", MEMORY_TYPE_SDRAM, "FSB + 33 MHz", -1.0f, 33.34f},
    // Bus code raw 2 is 200 MHz on the PT880 Pro, 166.67 MHz on the P4M800 Pro.
    {"PT880ProBus200Dram133", ClockCodes(0x0308, 0x40, 0x90, 0x01), "PT880 Pro", MEMORY_TYPE_DDR, "3:2", 0.6666667f,
     -1.0f},
    {"P4M800ProBus166Dram133", ClockCodes(0x0314, 0x40, 0x90, 0x01), "P4M800 Pro/P4M800 CE/VN800/CN700",
     MEMORY_TYPE_DDR, "5:4", 0.8f, -1.0f},
    {"P4M800ProBus100Dram333", ClockCodes(0x0314, 0x00, 0x90, 0x05), "P4M800 Pro/P4M800 CE/VN800/CN700",
     MEMORY_TYPE_DDR, "3:10", 3.3333333f, -1.0f},
    {"PT880ProBus100Dram333HasNoEntry", ClockCodes(0x0308, 0x00, 0x90, 0x05), "PT880 Pro", MEMORY_TYPE_DDR, "", -1.0f,
     -1.0f},
    {"PT880Bus266Code14", ClockCodes(0x0258, 0x80, 0x68, 0x0E), "PT880", MEMORY_TYPE_DDR, "8:3", 0.375f, -1.0f},
    {"PT880Bus266Code0", ClockCodes(0x0258, 0x80, 0x68, 0x00), "PT880", MEMORY_TYPE_DDR, "2:1", 0.5f, -1.0f},
    // Without a VIA processor the PM880 keeps its name.
    {"PM880", ClockCodes(0x0259, 0x20, 0x68, 0x01), "PM880", MEMORY_TYPE_DDR, "4:5", 1.25f, -1.0f},
    // P4M900: DRAM 333.33 MHz at a 100 MHz bus has no entry, at 133.33 MHz it has.
    {"P4M900Bus100Dram333", ClockCodes(0x0364, 0x00, 0x90, 0x05), "P4M900/CN896/VN896/PT890", MEMORY_TYPE_DDR, "",
     -1.0f, -1.0f},
    {"P4M900Bus133Dram333", ClockCodes(0x0364, 0x20, 0x90, 0x05), "P4M900/CN896/VN896/PT890", MEMORY_TYPE_DDR, "2:5",
     2.5f, -1.0f},
    {"UnlistedDevice", {HostBridgeAt00(kVIA, 0x7777)}, "ID7777", -1, "", -1.0f, -1.0f},
};

class VIABridges : public HostBridgeTest, public testing::WithParamInterface<VIACase> {};

TEST_P(VIABridges, NamedAndDecodedFromTheHostDevice) {
    const VIACase& c = GetParam();
    Start(c.functions);
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    ExpectMainBridgeNamed("VIA", c.model);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        EXPECT_EQ(Memory().m_iMemoryType, c.type);
        ExpectClockSource(c.ratio, c.factor, c.offset);
        chipset->Refresh();
    }
    ExpectHardwareAsFound();
}

INSTANTIATE_TEST_SUITE_P(Cases, VIABridges, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<VIACase>& row) { return std::string(row.param.name); });

class VIABridge : public HostBridgeTest {};

TEST_F(VIABridge, KT400Timings) {
    std::vector<FunctionDump> functions = KT400(0x00, 0x80, 0x00);
    functions[0].Byte(0x64, 0xD5);  // interleave 2, tRCD 3, CL 2.0, tRAS 7, tRP 3
    Start(functions);
    ASSERT_TRUE(Detect());
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iInterleave, 2);
    EXPECT_EQ(m.m_iRASToCASDelay, 3);
    EXPECT_EQ(m.m_fCASLatency, 2.0f);
    EXPECT_EQ(m.m_iCycleTime, 7);
    EXPECT_EQ(m.m_iRASPrecharge, 3);
    EXPECT_STREQ(m.m_szRatio, "1:1");
}

TEST_F(VIABridge, KT600TimingsFromRegisters60And64) {
    std::vector<FunctionDump> functions = WithSouthBridge(KT400(0x80, 0, 0x00), 0x3227);
    functions[0].Byte(0x60, 0xC0).Byte(0x64, 0xFE);  // tRP 5; interleave leaves, tRCD 5, CL 3.0, tRAS 9
    Start(functions);
    ASSERT_TRUE(Detect());
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iRASPrecharge, 5);
    EXPECT_EQ(m.m_iInterleave, 4);
    EXPECT_EQ(m.m_iRASToCASDelay, 5);
    EXPECT_EQ(m.m_fCASLatency, 3.0f);
    EXPECT_EQ(m.m_iCycleTime, 9);
}

// Register 0x60 = 0x0C: bank pair 1 holds SDRAM, so register 0x65 gives
// the timings.
TEST_F(VIABridge, KT133TimingsOfTheFirstSDRAMPair) {
    std::vector<FunctionDump> functions = KT133(0x0305, 0x81, 0);
    functions[0].Byte(0x64, 0xFF).Byte(0x65, 0x95);  // interleave 2, CL 2.0, tRCD 3, tRAS 5, tRP 3
    Start(functions);
    ASSERT_TRUE(Detect());
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iInterleave, 2);
    EXPECT_EQ(m.m_fCASLatency, 2.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 3);
    EXPECT_EQ(m.m_iCycleTime, 5);
    EXPECT_EQ(m.m_iRASPrecharge, 3);
}

TEST_F(VIABridge, PT880ProTimingsFromFunction3) {
    std::vector<FunctionDump> functions = ClockCodes(0x0308, 0x40, 0x90, 0x01);
    functions[2]
        .Byte(0x6C, 0x60)     // DDR2, two channels
        .Byte(0x69, 0xC0)     // 8-way interleave
        .Byte(0x62, 0x32)     // CL 4.0, tRAS 8
        .Byte(0x64, 0x84)     // tRCD 4, tRP 3
        .Word(0x50, 0x1111);  // 1T
    Start(functions);
    ASSERT_TRUE(Detect());
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR2);
    EXPECT_EQ(m.m_iChannels, 2);
    EXPECT_EQ(m.m_iInterleave, 8);
    EXPECT_EQ(m.m_fCASLatency, 4.0f);
    EXPECT_EQ(m.m_iCycleTime, 8);
    EXPECT_EQ(m.m_iRASToCASDelay, 4);
    EXPECT_EQ(m.m_iRASPrecharge, 3);
    EXPECT_EQ(m.m_iCommandRate, 1);
    EXPECT_EQ(sdk().m_pChipset->m_pNorthBridge->m_iFSBCode, 2);
}

// The command rate needs every rank's bit alike; mixed bits leave it.
TEST_F(VIABridge, CommandRateOfAllRanks) {
    for (const auto& [bits, rate] : {std::pair<uint16_t, int>{0x1111, 1}, {0x0000, 2}, {0x1011, -1}}) {
        SCOPED_TRACE(bits);
        std::vector<FunctionDump> functions = ClockCodes(0x0314, 0x40, 0x90, 0x01);
        functions[2].Word(0x50, bits);
        Start(functions);
        ASSERT_TRUE(Detect());
        EXPECT_EQ(Memory().m_iCommandRate, rate);
        ReleaseSDK();
    }
}

// The VX11 reads its timings only for DDR3.
TEST_F(VIABridge, VX11TimingsOnlyForDDR3) {
    for (const auto& [type, latency] : {std::pair<uint8_t, float>{0x40, -1.0f}, {0x80, 7.0f}}) {
        SCOPED_TRACE(int(type));
        std::vector<FunctionDump> functions = ClockCodes(0x3456, 0, 0xE2, 0x05);
        functions[1].Byte(0x40, 5 << 4);  // raw 5: 266.67 MHz
        functions[2].Byte(0xE1, type).Dword(0x90, (9u << 20) | (2u << 12) | (3u << 8) | 3u);
        Start(functions);
        ASSERT_TRUE(Detect());
        const CMemoryInfo& m = Memory();
        EXPECT_EQ(m.m_iMemoryType, type == 0x40 ? MEMORY_TYPE_DDR2 : MEMORY_TYPE_DDR3);
        EXPECT_EQ(m.m_fCASLatency, latency);
        EXPECT_EQ(m.m_iCycleTime, type == 0x40 ? -1 : 24);
        ExpectClockSource("1:2", 2.0f);  // 266.67 and 533.33 MHz
        ReleaseSDK();
    }
}

// The VX900 with neither DDR2 nor DDR3 still sets tRAS, with + 15.
TEST_F(VIABridge, VX900UnknownTypeStillGivesRASTime) {
    std::vector<FunctionDump> functions = ClockCodes(0x0410, 0x00, 0x90, 0x06);
    functions[2].Byte(0x6C, 0x00).Byte(0xC2, 0x30).Byte(0xC0, 0x03);
    Start(functions);
    ASSERT_TRUE(Detect());
    const CMemoryInfo& m = Memory();
    EXPECT_EQ(m.m_iMemoryType, -1);
    EXPECT_EQ(m.m_iCycleTime, 18);
    EXPECT_EQ(m.m_fCASLatency, -1.0f);
    ExpectClockSource("1:4", 4.0f);  // 100 and 400 MHz
}

// The Apollo VP3 gives the mainboard cache; without a cache none is kept.
TEST_F(VIABridge, ApolloVP3BoardCache) {
    for (const auto& [reg51, size] : {std::pair<uint8_t, int>{0x41, 512}, {0xC3, 2048}, {0x03, -1}}) {
        SCOPED_TRACE(int(reg51));
        Start({HostBridgeAt00(kVIA, 0x0597).Byte(0x51, reg51)});
        CChipsetInterface* chipset = Detect();
        ASSERT_TRUE(chipset);
        EXPECT_EQ(chipset->m_pBoardCache ? chipset->m_pBoardCache->m_iSize : -1, size);
        EXPECT_EQ(Memory().m_iMemoryType, MEMORY_TYPE_FPG);
        EXPECT_STREQ(Memory().m_szRatio, "1:1");
        ReleaseSDK();
    }
}

} // namespace
} // namespace vexa::test
