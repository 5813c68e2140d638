// Intel memory controllers read from configuration space, from other PCI
// functions, from the FB-DIMM buffers and over the Atom message bus, each
// on a small simulated machine: what lands in the memory record, and that
// every configuration register ends as it started (the message bus's
// command and data registers included, with nothing written to the units
// behind it).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/system/dmi_interface.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

constexpr machine::PciAddress kBridge{0, 0, 0};
constexpr uint32_t kECAM = 0x80000000;
constexpr uint32_t kBufferWindow = 0xFE000000;

FunctionDump HostBridge(uint16_t device, uint8_t revision = 0) {
    return FunctionDump(kBridge, 0x8086, device).Class(0x06, 0x00).Byte(0x08, revision);
}

FunctionDump Function(uint8_t bus, uint8_t device, uint8_t function, uint16_t id = 0x1234) {
    return FunctionDump({bus, device, function}, 0x8086, id).Class(0x08, 0x80);
}

// What the record holds after the pass; every field is compared, so -1
// means the decoder left it unknown.
struct Expected {
    const char* model = nullptr;  // null: not compared
    int type = -1;
    const char* ratioText = "";
    float ratio = -1.0f;
    float cl = -1.0f;
    int rcd = -1, rp = -1, ras = -1, rc = -1, rfc = -1;
    int commandRate = -1, channels = -1, idle = -1;
    int rowToColumn = -1, totalCAS = -1;
    int tccd = -1, tccdL = -1, tccdWR = -1, tccdWRL = -1;
    float uncore = -1.0f;
};

struct Case {
    const char* name;
    std::vector<FunctionDump> functions;
    std::string manifest = "{}";
    int externalClock = 0;        // the SMBIOS processor's external clock; 0: no SMBIOS table
    std::string bufferWindow;     // bytes at kBufferWindow (the rest reads all ones); empty: none
    Expected expect;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%X\"", value);
    return text;
}

// A message bus whose DRAM unit (port 1) holds timing registers 1 and 2.
std::string MessageBus(uint32_t timings1, uint32_t timings2, const std::string& more = "") {
    return "{" + more + "\"pci\": {\"message_bus\": [{\"port\": 1, \"register\": 1, \"value\": " + Hex(timings1) +
           "}, {\"port\": 1, \"register\": 2, \"value\": " + Hex(timings2) + "}]}}";
}

std::string ECAM(const std::string& more = "") {
    return "{" + more + "\"memory_devices\": {\"ecam\": " + Hex(kECAM) + "}}";
}

// A 5000-series controller: device 16 with its ratio code, the channel
// geometry and the buffers' window.
std::vector<FunctionDump> FiveThousand(uint16_t bridge, uint8_t ratioCode, uint8_t channels, uint8_t dimms,
                                       uint32_t inUse = 1) {
    return {HostBridge(bridge, 0x12),
            FunctionDump({0, 16, 0}, 0x8086, 0x25F0)
                .Class(0x06, 0x00)
                .HeaderType(0x80)
                .Dword(0x48, kBufferWindow)
                .Dword(0x50, inUse)
                .Byte(0x56, channels)
                .Byte(0x57, dimms),
            FunctionDump({0, 16, 1}, 0x8086, 0x25F0).Class(0x06, 0x00).Byte(0x56, ratioCode)};
}

// The buffer window's bytes: all ones but an answering buffer at `offset`
// with its timing dwords.
std::string Buffers(uint32_t offset, uint32_t timings, uint32_t cl) {
    std::string bytes(offset + 0x800, '\xFF');
    auto put = [&](uint32_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    put(offset, 0x00000000);
    put(offset + 0x378, timings);
    put(offset + 0x37C, cl);
    return bytes;
}

// The Nehalem non-core functions of bus 0xff beside an X58 hub.
std::vector<FunctionDump> Nehalem(uint32_t ratio, uint32_t mrs, uint32_t timing9C) {
    return {HostBridge(0x3405, 0x12),
            FunctionDump({0xFF, 0, 0}, 0x8086, 0x2C41).Class(0x06, 0x00).Dword(0xC0, 18),
            FunctionDump({0xFF, 3, 0}, 0x8086, 0x2C18).Class(0x06, 0x00).HeaderType(0x80).Dword(0x48, 0x300),
            FunctionDump({0xFF, 3, 4}, 0x8086, 0x2C1C).Class(0x06, 0x00).Dword(0x50, ratio),
            FunctionDump({0xFF, 4, 0}, 0x8086, 0x2C20)
                .Class(0x06, 0x00)
                .Dword(0x70, mrs)
                .Dword(0x80, 1)
                .Dword(0x88, (7u << 9) | (20u << 4) | 7)
                .Dword(0x8C, 88)
                .Dword(0x9C, timing9C)
                .Dword(0xB8, 0)};
}

// Sandy Bridge-E: device 5 names the uncore bus 0x3F and the ECAM base;
// channel functions of device 16 answer at 0x400 with these timings.
std::vector<FunctionDump> SandyBridgeE(std::vector<uint8_t> channels, uint32_t timing) {
    std::vector<FunctionDump> functions{HostBridge(0x3C00),
                                        Function(0, 5, 0).Dword(0x84, kECAM).Dword(0x108, 0x3F00),
                                        Function(0x3F, 10, 1).Dword(0x98, 12)};
    for (uint8_t f : channels)
        functions.push_back(Function(0x3F, 16, f).Dword(0x400, 1).Dword(0x200, timing).Dword(0x214, 160u << 15));
    return functions;
}

const Case kCases[] = {
    // i815: the DRAM runs at 100 or 133 MHz, the ratio follows the bus the
    // firmware reports.
    {"i815_bus133", {HostBridge(0x1130, 0x02).Byte(0x53, 0x17)}, "{}", 133, "",
     {.model = "i815/E/EP", .type = MEMORY_TYPE_SDRAM, .ratioText = "4:3", .ratio = 0.75f, .cl = 2.0f, .rcd = 2,
      .rp = 2, .ras = 7, .rc = 9}},
    {"i815_bus100", {HostBridge(0x1130, 0x02)}, "{}", 100, "",
     {.type = MEMORY_TYPE_SDRAM, .ratioText = "1:1", .ratio = 1.0f, .cl = 3.0f, .rcd = 3, .rp = 3, .ras = 5, .rc = 7}},
    {"i815_bus66", {HostBridge(0x1130, 0x02)}, "{}", 66, "",
     {.type = MEMORY_TYPE_SDRAM, .ratioText = "2:3", .ratio = 1.5f, .cl = 3.0f, .rcd = 3, .rp = 3, .ras = 5, .rc = 7}},
    {"i815_without_SMBIOS", {HostBridge(0x1130, 0x02)}, "{}", 0, "",
     {.type = MEMORY_TYPE_SDRAM, .cl = 3.0f, .rcd = 3, .rp = 3, .ras = 5, .rc = 7}},
    {"i815_DRAM_at_bus_clock", {HostBridge(0x1130, 0x02).Byte(0x50, 0x04)}, "{}", 133, "",
     {.type = MEMORY_TYPE_SDRAM, .ratioText = "1:1", .ratio = 1.0f, .cl = 3.0f, .rcd = 3, .rp = 3, .ras = 5, .rc = 7}},
    // i840: RDRAM, the ratio counted in quarters.
    {"i840_16_12", {HostBridge(0x1A21).Word(0x50, (1u << 13) | (1u << 11)).Byte(0xBE, 0x4A)}, "{}", 0, "",
     {.model = "i840", .type = MEMORY_TYPE_RDRAM, .ratioText = "16:12", .ratio = 3.0f, .channels = 2,
      .rowToColumn = 7, .totalCAS = 10}},
    {"i840_12_9", {HostBridge(0x1A21).Byte(0xBE, 0x8C)}, "{}", 0, "",
     {.type = MEMORY_TYPE_RDRAM, .ratioText = "12:9", .ratio = 3.0f, .channels = 2, .rowToColumn = 9,
      .totalCAS = 12}},
    // i845 whose type code means nothing: no type, no ratio, no CL, the
    // rest read.
    {"i845_type_code_2", {HostBridge(0x1A30, 0x03).Byte(0x7C, 2).Dword(0x78, 0x20214)}, "{}", 0, "",
     {.model = "i845", .rcd = 2, .rp = 3, .ras = 6, .idle = 8}},
    // i852GM: timings from function 1, the ratio from function 3 while bit
    // 2 of 0x54 is cleared for the pass.
    {"i852GM",
     {HostBridge(0x3580, 0x02).Byte(0x54, 0x44), Function(0, 0, 1).Dword(0x60, 0x409),
      Function(0, 0, 3).Byte(0xC0, 6)},
     "{}", 0, "",
     {.model = "i855GM/GME", .type = MEMORY_TYPE_DDR, .ratioText = "4:5", .ratio = 1.25f, .cl = 2.5f, .rcd = 2,
      .rp = 3, .ras = 6}},
    // E7520: DRAM clock by bus clock.
    {"E7520_DDR266_bus133", {HostBridge(0x3590, 0x0C).Byte(0x7C, 0x04).Dword(0x78, 0x8608).Byte(0x9A, 0x0A)}, "{}",
     0, "",
     {.model = "E7520", .type = MEMORY_TYPE_DDR, .ratioText = "1:1", .ratio = 1.0f, .cl = 3.0f, .rcd = 3, .rp = 3,
      .rc = 9, .channels = 2}},
    {"E7520_DDR266_bus166", {HostBridge(0x3590).Byte(0x7C, 0x08).Dword(0x78, 0x8608).Byte(0x9A, 0x01)}, "{}", 0, "",
     {.type = MEMORY_TYPE_DDR, .ratioText = "5:4", .ratio = 0.8f, .cl = 3.0f, .rcd = 3, .rp = 3, .rc = 9,
      .channels = 1}},
    {"E7520_DDR333_bus200", {HostBridge(0x3590).Byte(0x7C, 0x0D).Dword(0x78, 0x8608).Byte(0x9A, 0x0B)}, "{}", 0, "",
     {.type = MEMORY_TYPE_DDR, .ratioText = "6:5", .ratio = 0.8333333f, .cl = 3.0f, .rcd = 3, .rp = 3, .rc = 10,
      .channels = 1}},
    {"E7520_DDR2_400_bus133", {HostBridge(0x3590).Byte(0x7C, 0x06).Dword(0x78, 0x4604).Byte(0x9A, 0x0C)}, "{}", 0, "",
     {.type = MEMORY_TYPE_DDR2, .ratioText = "2:3", .ratio = 1.5f, .cl = 3.0f, .rcd = 4, .rp = 4, .rc = 12,
      .channels = 2}},
    {"E7520_DDR2_400_bus166", {HostBridge(0x3590).Byte(0x7C, 0x0A).Dword(0x78, 0x8608)}, "{}", 0, "",
     {.type = MEMORY_TYPE_DDR2, .ratioText = "5:6", .ratio = 1.2f, .cl = 4.0f, .rcd = 4, .rp = 4, .rc = 13}},
    {"E7520_bus_unknown", {HostBridge(0x3590).Byte(0x7C, 0x01).Dword(0x78, 0x8608)}, "{}", 0, "",
     {.type = MEMORY_TYPE_DDR, .cl = 3.0f, .rcd = 3, .rp = 3, .rc = 10}},
    {"E7520_DRAM_code_3", {HostBridge(0x3590).Byte(0x7C, 0x07).Dword(0x78, 0x8608).Byte(0x9A, 0x0F)}, "{}", 0, "",
     {.channels = 2}},
    // Nehalem: CL from the mode register, or from the timing register at
    // the DRAM ratio; a ratio of 0 gives no DRAM clock.
    {"Nehalem_CL_from_mode_register", Nehalem(8, 0x1958, 0), "{}", 0, "",
     {.type = MEMORY_TYPE_DDR3, .ratioText = "2:8", .ratio = 4.0f, .cl = 9.0f, .rcd = 7, .rp = 7, .ras = 20,
      .rfc = 88, .commandRate = 1, .channels = 2, .uncore = 18.0f}},
    {"Nehalem_CL_from_timing_register", Nehalem(10, 0, 0x300), "{}", 0, "",
     {.type = MEMORY_TYPE_DDR3, .ratioText = "2:10", .ratio = 5.0f, .cl = 10.0f, .rcd = 7, .rp = 7, .ras = 20,
      .rfc = 88, .commandRate = 1, .channels = 2, .uncore = 18.0f}},
    {"Nehalem_ratio_0", Nehalem(0, 0, 0x300), "{}", 0, "",
     {.type = MEMORY_TYPE_DDR3, .ratioText = "2:0", .ratio = 0.0f, .rcd = 7, .rp = 7, .ras = 20, .rfc = 88,
      .commandRate = 1, .channels = 2, .uncore = 18.0f}},
    // Sandy Bridge-E: channel functions 1 and 5 answer, the timings are
    // function 5's; a CL field of 31 reads no timings.
    {"SandyBridgeE_two_channels",
     SandyBridgeE({1, 5}, (28u << 19) | (11u << 9) | (10u << 5) | 11), ECAM(), 0, "",
     {.model = "Sandy Bridge-E", .type = MEMORY_TYPE_DDR3, .ratioText = "1:12",
      .ratio = static_cast<float>(12 * static_cast<double>(0.6667f)), .cl = 11.0f, .rcd = 11, .rp = 10, .ras = 28,
      .rfc = 160, .commandRate = 1, .channels = 2}},
    {"SandyBridgeE_CL_31", SandyBridgeE({0, 1, 4, 5}, (28u << 19) | (31u << 9) | 11), ECAM(), 0, "",
     {.type = MEMORY_TYPE_DDR3, .ratioText = "1:12", .ratio = static_cast<float>(12 * static_cast<double>(0.6667f)),
      .channels = 4}},
    // Haswell-E: four channels of two DIMMs count 8; a reference code of
    // 2 names the ratio without a value.
    {"HaswellE_eight_DIMMs",
     [] {
         std::vector<FunctionDump> f{HostBridge(0x2F00), Function(0, 5, 0).Dword(0x90, kECAM),
                                     Function(255, 30, 1).Dword(0x98, (2u << 8) | 16),
                                     Function(255, 20, 0).Dword(0x200, 0x79201E0F).Dword(0x214, 270u << 15),
                                     Function(255, 20, 2).Dword(0x8C, 1)};
         for (uint8_t fn = 2; fn <= 5; ++fn)
             f.push_back(Function(255, 19, fn).Dword(0x80, 1u << 14).Dword(0x84, 1u << 14).Dword(0x88, 0));
         return f;
     }(),
     ECAM("\"cpu\": {\"msrs\": {\"0x621\": \"0x1E\"}}, "), 0, "",
     {.model = "Haswell-E", .type = MEMORY_TYPE_DDR4, .ratioText = "1:16", .cl = 15.0f, .rcd = 15, .rp = 15,
      .ras = 36, .rfc = 270, .commandRate = 1, .channels = 8, .tccd = 4, .tccdL = 4, .tccdWR = 4, .tccdWRL = 4,
      .uncore = 30.0f}},
    // 5000 series: the first buffer that answers gives the timings.
    {"5000X_both_channels", FiveThousand(0x25C0, 2, 2, 4), "{\"memory\": [{\"base\": " + Hex(kBufferWindow) +
     ", \"size\": \"0x10000\", \"file\": \"buffers.bin\", \"fill\": \"0xFF\"}]}", 0,
     Buffers(0, 0x20006600, 5),
     {.model = "5000X", .type = MEMORY_TYPE_FB_DDR2, .ratioText = "4:5", .ratio = 1.25f, .cl = 5.0f, .rcd = 5,
      .rp = 4, .ras = 15, .rc = 20}},
    {"5000P_channel_1_only", FiveThousand(0x25D8, 3, 2, 4), "{\"memory\": [{\"base\": " + Hex(kBufferWindow) +
     ", \"size\": \"0x10000\", \"file\": \"buffers.bin\", \"fill\": \"0xFF\"}]}", 0,
     Buffers(0x8000, 0x40001500, 4),
     {.model = "5000P", .type = MEMORY_TYPE_FB_DDR2, .ratioText = "5:4", .ratio = 0.8f, .cl = 4.0f, .rcd = 5,
      .rp = 5, .ras = 12, .rc = 25}},
    {"5000X_no_buffer_answers", FiveThousand(0x25C0, 0, 4, 4), "{}", 0, "",
     {.type = MEMORY_TYPE_FB_DDR2, .ratioText = "1:1", .ratio = 1.0f}},
    {"5400A_window_not_in_use", FiveThousand(0x4001, 7, 4, 4, 0), "{}", 0, "",
     {.model = "5400A", .type = MEMORY_TYPE_FB_DDR2, .ratioText = "5:4", .ratio = 0.8f}},
    // The Atom message bus.
    {"BayTrail_1_8", {HostBridge(0x0F00).Dword(0xD4, 0x5A5A5A5A)},
     MessageBus(0x6663, 0x00E00020, "\"cpu\": {\"msrs\": {\"0xCD\": \"0x0\"}}, "), 0, "",
     {.model = "Bay Trail Host Bridge", .type = MEMORY_TYPE_DDR3, .ratioText = "1:8", .ratio = 8.0f, .cl = 11.0f,
      .rcd = 11, .rp = 11, .ras = 28, .commandRate = 3}},
    {"BayTrail_bus_code_3", {HostBridge(0x0F00)},
     MessageBus(0x0001, 0, "\"cpu\": {\"msrs\": {\"0xCD\": \"0x3\"}}, "), 0, "",
     {.type = MEMORY_TYPE_DDR3, .ratioText = "7:32", .ratio = 32.0f / 7.0f, .cl = 5.0f, .rcd = 5, .rp = 5, .ras = 14,
      .commandRate = 1}},
    {"Atom_0BF2", {HostBridge(0x0BF2)}, MessageBus(0x3422, 0x00500000), 0, "",
     {.model = "Atom Host Bridge", .type = MEMORY_TYPE_DDR3, .ratioText = "1:5", .ratio = 5.0f, .cl = 8.0f, .rcd = 9,
      .rp = 7, .ras = 19}},
    {"Atom_08C0", {HostBridge(0x08C0)}, MessageBus(0x2312, 0), 0, "",
     {.type = MEMORY_TYPE_DDR3, .ratioText = "1:4", .ratio = 4.0f, .cl = 6.0f, .rcd = 6, .rp = 4}},
    // The US15W's pair without a message bus model: plain registers.
    {"US15W", {HostBridge(0x8100).Dword(0xD0, 0x22334455).Dword(0xD4, 0x24)}, "{}", 0, "",
     {.model = "US15W", .cl = 5.0f, .rcd = 4, .rp = 3}},
};

// One SMBIOS processor structure with that external clock, and the end.
std::vector<uint8_t> ProcessorTable(int externalClock) {
    std::vector<uint8_t> table(0x1A, 0);
    table[0] = 4;
    table[1] = 0x1A;
    table[0x12] = static_cast<uint8_t>(externalClock);
    table[0x13] = static_cast<uint8_t>(externalClock >> 8);
    for (uint8_t b : {0, 0, 127, 4, 0, 0, 0, 0}) table.push_back(b);
    return table;
}

class IntelControllers : public PciTest, public ::testing::WithParamInterface<Case> {
protected:
    std::vector<uint8_t> Config(machine::PciAddress fn) {
        std::vector<uint8_t> bytes(4096);
        machine_->readPciConfig(fn, 0, bytes);
        return bytes;
    }

    // Writes that reached the opcode byte of the message control register
    // with a write opcode (0x11, 0x07): a unit's register written.
    size_t MessageBusWrites() {
        const uint64_t opcode = machine::pciLinear(kBridge, 0xD3);
        size_t writes = 0;
        for (const machine::Access& a : ofKind(machine_->accessLog(), machine::AccessKind::PciConfig)) {
            if (a.dir != machine::AccessDir::Write || a.address > opcode || a.address + a.size <= opcode) continue;
            const uint8_t byte = static_cast<uint8_t>(a.value >> (8 * (opcode - a.address)));
            if (byte == 0x11 || byte == 0x07) ++writes;
        }
        return writes;
    }

    machine::Machine* machine_ = nullptr;
};

TEST_P(IntelControllers, DecodesAndLeavesTheRegistersAsFound) {
    const Case& c = GetParam();
    ImageDir image;
    std::string lspci;
    for (const FunctionDump& f : c.functions) lspci += f.Text();
    image.write("lspci.txt", lspci);
    image.write("machine.json", c.manifest);
    image.copyData("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test", "cpuid.txt");
    if (!c.bufferWindow.empty()) image.write("buffers.bin", c.bufferWindow);
    machine_ = &start(image.load());
    ASSERT_TRUE(scannedPCI());
    if (c.externalClock) {
        auto* dmi = new CDMIInterface;
        const std::vector<uint8_t> table = ProcessorTable(c.externalClock);
        ASSERT_EQ(dmi->DecodeTable(table), 1);
        sdk().m_pDMI = dmi;
        sdk().m_pInterfaces->AddTail(dmi);
    }
    std::map<machine::PciAddress, std::vector<uint8_t>> before;
    for (const FunctionDump& f : c.functions) before[f.Address()] = Config(f.Address());
    record();

    ASSERT_EQ(sdk().CreateChipsetInterface(), 1);
    CChipsetInterface* chipset = sdk().m_pChipset;
    ASSERT_TRUE(chipset->m_pNorthBridge);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    const Expected& e = c.expect;
    if (e.model) { EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, e.model); }
    EXPECT_EQ(m.m_iMemoryType, e.type);
    EXPECT_STREQ(m.m_szRatio, e.ratioText);
    EXPECT_FLOAT_EQ(m.m_fFSBDRAMRatio, e.ratio);
    EXPECT_EQ(m.m_fCASLatency, e.cl);
    EXPECT_EQ(m.m_iRASToCASDelay, e.rcd);
    EXPECT_EQ(m.m_iRASPrecharge, e.rp);
    EXPECT_EQ(m.m_iCycleTime, e.ras);
    EXPECT_EQ(m.m_iBankCycleTime, e.rc);
    EXPECT_EQ(m.m_iRowRefreshCycleTime, e.rfc);
    EXPECT_EQ(m.m_iCommandRate, e.commandRate);
    EXPECT_EQ(m.m_iChannels, e.channels);
    EXPECT_EQ(m.m_iDRAMIdleTimer, e.idle);
    EXPECT_EQ(m.m_iRowToColumnDelay, e.rowToColumn);
    EXPECT_EQ(m.m_iTotalCAS, e.totalCAS);
    EXPECT_EQ(m.m_iTCCD, e.tccd);
    EXPECT_EQ(m.m_iTCCD_L, e.tccdL);
    EXPECT_EQ(m.m_iTCCD_WR, e.tccdWR);
    EXPECT_EQ(m.m_iTCCD_WR_L, e.tccdWRL);
    EXPECT_EQ(m.m_fUncoreRatio, e.uncore);
    EXPECT_EQ(m.m_bAsynchronous, 0);
    if (!(e.ratio > 0.0f)) { EXPECT_EQ(m.GetDRAMFrequency(133.33f, 20.0f), -1.0f) << "no ratio, no DRAM clock"; }

    // A second pass gives the same record and leaves the registers too.
    EXPECT_EQ(chipset->Refresh(), 1);
    EXPECT_EQ(m.m_iMemoryType, e.type);
    EXPECT_STREQ(m.m_szRatio, e.ratioText);
    EXPECT_EQ(m.m_fCASLatency, e.cl);
    for (const auto& [fn, bytes] : before)
        EXPECT_EQ(Config(fn), bytes) << int(fn.bus) << ":" << int(fn.device) << "." << int(fn.function);
    EXPECT_EQ(MessageBusWrites(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Families, IntelControllers, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
