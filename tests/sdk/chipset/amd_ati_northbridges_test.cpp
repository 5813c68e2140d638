// AMD, ATI and ALi host bridges on simulated PCI buses: names by device
// ID, revision and sibling functions; the processor nodes' DRAM
// controllers of the K10 and K15 read through the node's extended
// configuration space; the RS400's memory PLL; and the K8's clock divisor
// as a function of the memory-clock code and the multiplier. Every
// register a decoder changes is back as found after its pass.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sdk/chipset/amd_northbridges.h"
#include "sdk/chipset/ati_northbridges.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {
namespace {

FunctionDump HostBridge(machine::PciAddress at, uint16_t vendor, uint16_t device, uint8_t revision = 0) {
    return FunctionDump(at, vendor, device).Class(0x06, 0x00).Byte(0x08, revision).HeaderType(0x80);
}

FunctionDump Other(machine::PciAddress at, uint16_t vendor, uint16_t device, uint8_t revision = 0) {
    return FunctionDump(at, vendor, device).Class(0x03, 0x00).Byte(0x08, revision);
}

class ChipsetOnImage : public PciTest {
protected:
    CChipsetInterface* Detect(const std::vector<FunctionDump>& functions, const std::string& manifest = "{}") {
        machine_ = &startImage(LspciText(functions), manifest);
        if (!scannedPCI()) return nullptr;
        record();
        EXPECT_EQ(sdk().CreateChipsetInterface(), 1);
        return sdk().m_pChipset;
    }

    // The configuration dwords written at that register, in order: direct
    // writes and those through 0xCF8/0xCFC (with register bits 11:8 in
    // address bits 27:24).
    std::vector<uint32_t> WritesAt(machine::PciAddress fn, unsigned offset) {
        std::vector<uint32_t> values;
        uint32_t address = 0;
        const uint32_t wanted = 0x80000000u | (offset & 0xF00) << 16 | uint32_t(fn.bus) << 16 |
                                uint32_t(fn.device) << 11 | uint32_t(fn.function) << 8 | (offset & 0xFC);
        for (const machine::Access& a : machine_->accessLog()) {
            if (a.dir != machine::AccessDir::Write) continue;
            if (a.kind == machine::AccessKind::PciConfig && a.address == machine::pciLinear(fn, offset))
                values.push_back(uint32_t(a.value));
            if (a.kind != machine::AccessKind::Port) continue;
            if (a.address == 0xCF8) address = uint32_t(a.value);
            else if (a.address == 0xCFC && address == wanted) values.push_back(uint32_t(a.value));
        }
        return values;
    }

    uint32_t Dword(machine::PciAddress fn, unsigned offset) {
        std::vector<uint8_t> bytes(4);
        machine_->readPciConfig(fn, offset, bytes);
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    }

    machine::Machine* machine_ = nullptr;
};

// ---- Names ----

struct BridgeCase {
    const char* name;
    std::vector<FunctionDump> functions;
    const char* vendor;
    const char* model;
    const char* revision;
};

class NorthBridgeNaming : public ChipsetOnImage, public testing::WithParamInterface<BridgeCase> {};

TEST_P(NorthBridgeNaming, NamesTheMainBridge) {
    CChipsetInterface* chipset = Detect(GetParam().functions);
    ASSERT_TRUE(chipset && chipset->m_pNorthBridge);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szVendor, GetParam().vendor);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, GetParam().model);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, GetParam().revision);
}

constexpr machine::PciAddress kMain{0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    AmdAtiALi, NorthBridgeNaming,
    testing::Values(
        BridgeCase{"Amd790GXByStrap", {HostBridge(kMain, 0x1022, 0x9600).Dword(0x88, 4u << 10)}, "AMD", "790GX", "00"},
        BridgeCase{"Amd780GWithoutStrap", {HostBridge(kMain, 0x1022, 0x9600)}, "AMD", "780G", "00"},
        BridgeCase{"Amd890GXByItsGraphicsWhateverTheStrap",
                   {HostBridge(kMain, 0x1022, 0x9601).Dword(0x88, 5u << 10), Other({1, 5, 0}, 0x1002, 0x9714)},
                   "AMD", "890GX", "00"},
        BridgeCase{"Amd880GByStrap", {HostBridge(kMain, 0x1022, 0x9601).Dword(0x88, 5u << 10)}, "AMD", "880G", "00"},
        BridgeCase{"Amd761SteppingA3", {HostBridge(kMain, 0x1022, 0x700E, 0x13)}, "AMD", "AMD-761", "A3"},
        BridgeCase{"Amd761SteppingAbove7", {HostBridge(kMain, 0x1022, 0x700E, 0x0C)}, "AMD", "AMD-761", "A"},
        BridgeCase{"Amd870WithAnSB800",
                   {HostBridge(kMain, 0x1002, 0x5957), Other({0, 20, 0}, 0x1002, 0x439D, 0x40)}, "AMD", "870", "00"},
        BridgeCase{"Ati770WithAnSB700",
                   {HostBridge(kMain, 0x1002, 0x5957), Other({0, 20, 0}, 0x1002, 0x439D, 0x3A)}, "AMD", "770", "00"},
        BridgeCase{"AtiRadeon2100", {HostBridge(kMain, 0x1002, 0x7910), Other({1, 5, 0}, 0x1002, 0x796E)}, "ATI",
                   "Radeon 2100", "00"},
        BridgeCase{"AtiUnknownKeepsItsID", {HostBridge(kMain, 0x1002, 0x1234)}, "ATI", "ID1234", "00"},
        BridgeCase{"ALiAladdinProIV", {HostBridge(kMain, 0x10B9, 0x1641)}, "ALI", "Aladdin Pro IV", "00"},
        BridgeCase{"K10DramControllerFunction", {HostBridge(kMain, 0x1022, 0x1200)}, "AMD", "K10 Bridge", "00"}),
    [](const testing::TestParamInfo<BridgeCase>& p) { return std::string(p.param.name); });

// ---- Memory controllers of the old chipsets ----

struct MemoryCase {
    const char* name;
    std::vector<FunctionDump> functions;
    int type;
    float cas;
    int tRCD;
    int tRP;
    int tRAS;
    int tRC;
};

class OldChipsetMemory : public ChipsetOnImage, public testing::WithParamInterface<MemoryCase> {};

TEST_P(OldChipsetMemory, DecodesTypeAndTimings) {
    CChipsetInterface* chipset = Detect(GetParam().functions);
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iMemoryType, GetParam().type);
    EXPECT_EQ(m.m_fCASLatency, GetParam().cas);
    EXPECT_EQ(m.m_iRASToCASDelay, GetParam().tRCD);
    EXPECT_EQ(m.m_iRASPrecharge, GetParam().tRP);
    EXPECT_EQ(m.m_iCycleTime, GetParam().tRAS);
    EXPECT_EQ(m.m_iBankCycleTime, GetParam().tRC);
}

INSTANTIATE_TEST_SUITE_P(
    AtiALiAmd76x, OldChipsetMemory,
    testing::Values(
        // 0x76 = 5: DDR; 0x79 bits 5:4 = 2: CL 2.5; 0x7A = 0x0A: tRP 9-2, tRCD 5-1.
        MemoryCase{"MagiK1DDR",
                   {HostBridge(kMain, 0x10B9, 0x1647).Byte(0x76, 0x05).Byte(0x79, 0x20).Byte(0x7A, 0x0A)},
                   MEMORY_TYPE_DDR, 2.5f, 4, 7, -1, -1},
        MemoryCase{"MagiK1SDRAM", {HostBridge(kMain, 0x10B9, 0x1647).Byte(0x76, 0x03).Byte(0x79, 0x20)},
                   MEMORY_TYPE_SDRAM, 3.0f, 5, 9, -1, -1},
        MemoryCase{"RS200", {HostBridge(kMain, 0x1002, 0xCAB2).Dword(0xD8, 6u << 20).Dword(0xC4, 0x21)},
                   MEMORY_TYPE_DDR, 2.5f, 1, 2, 3, 5},
        // 0x54: CL code 2 (2.5), tRCD 1+1, tRAS 3+2, tRP code 1 (2), tRC 2+3.
        MemoryCase{"Amd761", {HostBridge(kMain, 0x1022, 0x700E).Dword(0x54, (2u << 9) | (1u << 7) | (3u << 4) | (2u << 2) | 1)},
                   MEMORY_TYPE_DDR, 2.5f, 2, 2, 5, 5}),
    [](const testing::TestParamInfo<MemoryCase>& p) { return std::string(p.param.name); });

// ---- The RS400's memory PLL ----

constexpr machine::PciAddress kFunction1{0, 0, 1};

struct PLLCase {
    const char* name;
    uint32_t dividers;  // function 1, register 0x78
    float clock;
};

class RS400MemoryClock : public ChipsetOnImage, public testing::WithParamInterface<PLLCase> {};

// The DDR2 timings come from the indexed registers, which this simulated
// bridge answers with one value (0x425) for every index; bit 0 of 0x4C,
// which lets function 1 answer, is set for the pass and cleared again.
TEST_P(RS400MemoryClock, AsynchronousClockFromThePLL) {
    CChipsetInterface* chipset =
        Detect({HostBridge(kMain, 0x1002, 0x5A31).Dword(0xEC, 0x425).Dword(0xD8, 6u << 20).Dword(0x4C, 0x10),
                FunctionDump(kFunction1, 0x1002, 0x5A3F).Class(0x06, 0x04).Dword(0x58, 1u << 2)
                    .Dword(0x78, GetParam().dividers)});
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR2);
    EXPECT_EQ(m.m_iChannels, 1);
    EXPECT_EQ(m.m_iRASPrecharge, 5);   // 1 + 4 x 1
    EXPECT_EQ(m.m_iRASToCASDelay, 6);  // 1 + 1 + 4 x 1
    EXPECT_EQ(m.m_iCycleTime, 19);     // 2 + 1 + 8 x 2
    EXPECT_EQ(m.m_fCASLatency, 2.5f);
    EXPECT_EQ(m.m_bAsynchronous, 1);
    if (GetParam().clock > 0) EXPECT_NEAR(m.m_fDRAMFrequency, GetParam().clock, 0.001);
    else EXPECT_EQ(m.m_fDRAMFrequency, -1.0f);
    EXPECT_EQ(WritesAt(kMain, 0x4C), (std::vector<uint32_t>{0x11, 0x10}));
    EXPECT_EQ(Dword(kMain, 0x4C), 0x10u);
}

INSTANTIATE_TEST_SUITE_P(
    Dividers, RS400MemoryClock,
    testing::Values(PLLCase{"CrystalN200M7Post2", (1u << 28) | (200u << 16) | 7, 204.5454f},
                    PLLCase{"ZeroMLeavesTheClockUnknown", (1u << 28) | (200u << 16) | 0, -1.0f}),
    [](const testing::TestParamInfo<PLLCase>& p) { return std::string(p.param.name); });

// ---- K8 clock divisors ----

struct DivisorCase {
    int code;
    float multiplier;
    bool revisionF;
    bool oddRounding;
    int divisor;
};

class K8ClockDivisor : public testing::TestWithParam<DivisorCase> {};

TEST_P(K8ClockDivisor, FromCodeAndMultiplier) {
    const DivisorCase& c = GetParam();
    EXPECT_EQ(c.revisionF ? AMDK8RevFClockDivisor(c.code, c.multiplier)
                          : AMDK8ClockDivisor(c.code, c.multiplier, c.oddRounding),
              c.divisor);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, K8ClockDivisor,
    testing::Values(DivisorCase{0, 11.0f, false, false, 22},   // 2M: 100 MHz at 200 x 11
                    DivisorCase{1, 11.0f, false, false, 18},   // ceiling of 17.6
                    DivisorCase{7, 11.0f, false, true, 12},    // odd 11 raised
                    DivisorCase{7, 11.0f, false, false, 11},
                    DivisorCase{11, 5.0f, false, false, 5},    // 3.75 raised to 5
                    DivisorCase{12, 11.0f, false, false, -1},  // no divisor before revision F
                    DivisorCase{0, 0.0f, false, false, -1},    // no multiplier
                    DivisorCase{8, 3.0f, true, false, 5},      // 3 raised to 5
                    DivisorCase{9, 11.0f, true, false, 9},     // ceiling of 8.25
                    DivisorCase{12, 14.0f, true, false, 6},    // 3M/7
                    DivisorCase{7, 11.0f, true, false, -1}));

// ---- The processor nodes' DRAM controllers ----

constexpr machine::PciAddress kNode0{0, 24, 0};
constexpr machine::PciAddress kNode1{0, 24, 1};
constexpr machine::PciAddress kNode2{0, 24, 2};
constexpr machine::PciAddress kNode3{0, 24, 3};
constexpr machine::PciAddress kNode5{0, 24, 5};

std::vector<FunctionDump> Node(uint16_t function0, FunctionDump f1, FunctionDump f2, FunctionDump f3) {
    return {HostBridge(kMain, 0x1022, 0x9600), HostBridge(kNode0, 0x1022, function0), f1, f2, f3,
            HostBridge(kNode5, 0x1022, uint16_t(function0 + 5))};
}

// Controller 0 switched off, controller 1 a DDR2 controller at code 4,
// whose timings use the DDR3 layout.
TEST_F(ChipsetOnImage, K10ControllerOneOnly) {
    const uint32_t timing1 = (3u << 16) | (4u << 12) | (2u << 7) | (1u << 4) | 4;
    CChipsetInterface* chipset =
        Detect(Node(0x1200, HostBridge(kNode1, 0x1022, 0x1201),
                    HostBridge(kNode2, 0x1022, 0x1202).Dword(0x88, 0x000FFFFF).Dword(0x94, 1u << 14)
                        .Dword(0x188, timing1).Dword(0x194, 0x4),
                    HostBridge(kNode3, 0x1022, 0x1203).Dword(0xD4, 10)),
               R"({"pci": {"extended_register_bits": true},
                   "cpu": {"msrs": {"0xC0010071": "0x0000000000400000"}}})");
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iChannels, 1);
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR2);
    EXPECT_EQ(m.m_fCASLatency, 5.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 6);
    EXPECT_EQ(m.m_iRASPrecharge, 7);
    EXPECT_EQ(m.m_iCycleTime, 19);
    EXPECT_EQ(m.m_iBankCycleTime, 14);
    EXPECT_EQ(m.m_iCommandRate, 1);
    EXPECT_STREQ(m.m_szRatio, "3:8");
    EXPECT_FLOAT_EQ(m.m_fFSBDRAMRatio, 8.0f / 3.0f);
    EXPECT_FLOAT_EQ(m.m_fUncoreRatio, 7.0f);  // (10 + 4) / 2
    EXPECT_EQ(m.m_iChannelMode, MEMORY_CHANNELS_AMD_UNGANGED);
    // The extended access through the ports stays on until the root's close.
    EXPECT_EQ(Dword(kNode3, 0x8C), 1u << 14);
    sdk().Close();
    EXPECT_EQ(Dword(kNode3, 0x8C), 0u);
}

struct K15Case {
    uint16_t function0;
    const char* ratio;
    float fsbDram;
};

class K15Controllers : public ChipsetOnImage, public testing::WithParamInterface<K15Case> {};

// The controller select is switched for the pass and written back as found.
TEST_P(K15Controllers, RatioByNodeAndSelectPutBack) {
    const uint16_t f0 = GetParam().function0;
    const uint32_t timing0 = (28u << 24) | (11u << 16) | (11u << 8) | 11;
    CChipsetInterface* chipset =
        Detect(Node(f0, HostBridge(kNode1, 0x1022, uint16_t(f0 + 1)).Dword(0x10C, 0x30),
                    HostBridge(kNode2, 0x1022, uint16_t(f0 + 2)).Dword(0x94, 18).Dword(0x200, timing0)
                        .Dword(0x204, 39),
                    HostBridge(kNode3, 0x1022, uint16_t(f0 + 3))),
               R"({"pci": {"extended_register_bits": true}})");
    ASSERT_TRUE(chipset);
    // Function 5's 0x174 is 0 here: NbFid 0, NbDid 0.
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR3);
    EXPECT_EQ(m.m_iChannels, 2);
    EXPECT_EQ(m.m_fCASLatency, 11.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 11);
    EXPECT_EQ(m.m_iRASPrecharge, 11);
    EXPECT_EQ(m.m_iCycleTime, 28);
    EXPECT_EQ(m.m_iBankCycleTime, 39);
    EXPECT_STREQ(m.m_szRatio, GetParam().ratio);
    EXPECT_FLOAT_EQ(m.m_fFSBDRAMRatio, GetParam().fsbDram);
    EXPECT_FLOAT_EQ(m.m_fUncoreRatio, 4.0f);
    EXPECT_EQ(Dword(kNode1, 0x10C), 0x30u);
    const std::vector<uint32_t> selects = WritesAt(kNode1, 0x10C);
    ASSERT_EQ(selects.size(), 3u);
    EXPECT_EQ(selects[0], 0x30u);
    EXPECT_EQ(selects[1], 0x31u);
    EXPECT_EQ(selects[2], 0x30u);
}

INSTANTIATE_TEST_SUITE_P(Nodes, K15Controllers,
                         testing::Values(K15Case{0x1600, "1:4", 4.0f}, K15Case{0x1400, "1:8", 8.0f}));

} // namespace
} // namespace vexa::test
