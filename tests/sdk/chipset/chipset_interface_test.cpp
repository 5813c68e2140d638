// The chipset domain: the bridges it finds on the PCI bus, the DRAM clock
// it computes from the memory record, its report section and the
// memory-controller window dump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

// The memory controller of the X58 dump's Core i7 920 as its uncore
// channel registers give it: DDR3 in three channels at 9-9-9-24, tRFC 139
// and 2T (no bus clock here, so no DRAM clock).
constexpr const char* kX58MemoryLines =
    "Memory Type\t\t\tDDR3\n"
    "Channels\t\t\tTriple\n"
    "CAS# latency (CL)\t\t9.0\n"
    "RAS# to CAS# delay (tRCD)\t9\n"
    "RAS# Precharge (tRP)\t\t9\n"
    "Cycle Time (tRAS)\t\t24\n"
    "Row Refresh Cycle Time (tRFC)\t139\n"
    "Command Rate (CR)\t\t2T\n";

class Chipset : public PciTest {
protected:
    // The chipset domain through its creator, on a scanned PCI bus.
    CChipsetInterface* CreateChipset() {
        if (!scannedPCI()) return nullptr;
        EXPECT_EQ(sdk().CreateChipsetInterface(), 1);
        return sdk().m_pChipset;
    }

    static std::string ReportOf(CChipsetInterface& chipset) {
        CReportGenerator_Buffer report;
        chipset.WriteReport(&report);
        return report.GetText();
    }

    static std::string DumpOf(CChipsetInterface& chipset) {
        CReportGenerator_Buffer report;
        chipset.DumpMCHBAR(&report);
        return report.GetText();
    }

    // A processor domain whose measured bus clock is `busClock`.
    void UseBusClock(float busClock) {
        auto* cpu = new CCPUInterface(0);
        cpu->m_fBusClock = busClock;
        sdk().m_pCPU = cpu;
        sdk().m_pInterfaces->AddTail(cpu);
    }
};

TEST_F(Chipset, X58BridgesAreFoundAndNamed) {
    startX58();
    CChipsetInterface* chipset = CreateChipset();
    ASSERT_TRUE(chipset);
    EXPECT_EQ(sdk().FindInterface(INTERFACE_CHIPSET), chipset);
    ASSERT_TRUE(chipset->m_pNorthBridge);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szVendor, "Intel");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "X58");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, "12");
    EXPECT_EQ(location(*chipset->m_pNorthBridge->m_pDevice), "00:00.0");
    // The I/O hub and the processor's uncore functions on bus 0xff.
    EXPECT_EQ(chipset->m_pNorthBridges->GetCount(), 20u);
    EXPECT_EQ(location(*chipset->m_pNorthBridges->m_pHead->m_pPayload->m_pDevice), "00:00.0");
    ASSERT_TRUE(chipset->m_pSouthBridge);
    EXPECT_EQ(location(*chipset->m_pSouthBridge->m_pDevice), "00:1f.0");
    EXPECT_STREQ(chipset->m_pSouthBridge->m_szVendor, "Intel");
    EXPECT_STREQ(chipset->m_pSouthBridge->m_szModel, "82801JR (ICH10R)");
    EXPECT_EQ(chipset->m_pSouthBridge->ReadConfig(0), 0x3A168086u);
    EXPECT_EQ(chipset->m_pNorthBridge->ReadConfig(0), 0x34058086u);
    EXPECT_EQ(chipset->m_pMemoryInfo->m_fDRAMFrequency, -1.0f) << "no bus clock without the processor domain";

    EXPECT_EQ(ReportOf(*chipset),
              "Northbridge\t\t\tIntel X58 rev. 12\n"
              "Southbridge\t\t\tIntel 82801JR (ICH10R) rev. 00\n"
              "Graphic Interface\t\tPCI-Express\n"
              "PCI-E Link Width\t\tx16\n"
              "PCI-E Max Link Width\t\tx16\n" +
                  std::string(kX58MemoryLines));
    EXPECT_EQ(DumpOf(*chipset), "") << "no memory-controller window is mapped";
}

// The bridges and the graphics link of two real configuration dumps, as
// their .expect files give them: the X58 I/O hub with the processor's
// uncore functions and a GT218 at x16, and the GM965 whose integrated
// graphics has neither an AGP nor a PCI Express capability.
TEST_F(Chipset, RealDumpsBridgesAndGraphicsLink) {
    const struct {
        const char* dump;
        size_t hostBridges;
        const char* head;
        const char* memory;
    } cases[] = {
        {"pci/tree-asus-p6t6", 20,
         "Northbridge\t\t\tIntel X58 rev. 12\nSouthbridge\t\t\tIntel 82801JR (ICH10R) rev. 00\n"
         "Graphic Interface\t\tPCI-Express\nPCI-E Link Width\t\tx16\nPCI-E Max Link Width\t\tx16\n",
         kX58MemoryLines},
        // The dump has no memory behind its controller window, which then
        // gives no memory record.
        {"pci/tree-fujitsu-p8010", 1, "Northbridge\t\t\tIntel GM965 rev. C0\nSouthbridge\t\t\tIntel 82801HBM (ICH8-ME) rev. B1\n",
         "Memory Type\t\t\t\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dump);
        startImage(readFile(dataPath(c.dump)));
        CChipsetInterface* chipset = CreateChipset();
        ASSERT_TRUE(chipset);
        EXPECT_EQ(chipset->m_pNorthBridges->GetCount(), c.hostBridges);
        const std::string report = ReportOf(*chipset);
        EXPECT_EQ(report, std::string(c.head) + c.memory);
        ReleaseSDK();
    }
}

TEST_F(Chipset, NoPCIDomainNoChipsetDomain) {
    startX58();
    EXPECT_EQ(sdk().CreateChipsetInterface(), 0);
    EXPECT_EQ(sdk().m_pChipset, nullptr);
    EXPECT_EQ(sdk().FindInterface(INTERFACE_CHIPSET), nullptr);
}

// A function at 00:00.0 of another class still serves as the main bridge.
TEST_F(Chipset, MainBridgeFallsBackToTheFunctionAt0000) {
    startImage(LspciText({FunctionDump({0, 0, 0}, 0x1166, 0x0012).Class(0x05, 0x00),
                          FunctionDump({0, 0x1F, 0}, 0x8086, 0x2440).Class(0x06, 0x01).Byte(0x08, 0x02)}));
    CChipsetInterface* chipset = CreateChipset();
    ASSERT_TRUE(chipset);
    ASSERT_TRUE(chipset->m_pNorthBridge);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szVendor, "ServerWorks");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "NB7430 Grand Champion LE");
    EXPECT_EQ(chipset->m_pNorthBridges->GetCount(), 1u);
    EXPECT_EQ(ReportOf(*chipset),
              "Northbridge\t\t\tServerWorks NB7430 Grand Champion LE rev. 00\n"
              "Southbridge\t\t\tIntel 82801BA (ICH2) rev. 02\n"
              "Memory Type\t\t\t\n");
}

// Host bridges of a processor beside the one at 00:00.0: all are kept in
// scan order, only the one at 00:00.0 is the main bridge.
TEST_F(Chipset, SeveralHostBridgesOneMainBridge) {
    startImage(LspciWithHostBridge({FunctionDump({0, 0x18, 0}, 0x1022, 0x1100).Class(0x06, 0x00).HeaderType(0x80),
                                    FunctionDump({0, 0x18, 1}, 0x17F3, 0x6021).Class(0x06, 0x00)}));
    CChipsetInterface* chipset = CreateChipset();
    ASSERT_TRUE(chipset);
    EXPECT_EQ(chipset->m_pSouthBridge, nullptr);
    std::vector<std::string> bridges;
    CTListIterator<CNorthBridge> it(chipset->m_pNorthBridges);
    for (CNorthBridge* bridge = it.GetFirst(); bridge; bridge = it.GetNext())
        bridges.push_back(location(*bridge->m_pDevice) + " " + bridge->m_szVendor + " " + bridge->m_szModel);
    EXPECT_EQ(bridges, (std::vector<std::string>{"00:00.0 Intel i440FX", "00:18.0 AMD K8 Bridge",
                                                 "00:18.1 RDC R6021"}));
    EXPECT_EQ(chipset->m_pNorthBridge, chipset->m_pNorthBridges->m_pHead->m_pPayload);
}

// The graphics bus lines: the first AGP or PCI Express capability of the
// VGA controllers decides; a disabled AGP port ends the search silently.
TEST_F(Chipset, GraphicsBusLines) {
    auto vga = [](uint8_t device) { return FunctionDump({0, uint8_t(device + 2), 0}, 0x10DE, 0x0181).Class(0x03, 0x00); };
    auto agp = [&](uint8_t device, uint32_t status, uint32_t command) {
        return vga(device).Capability(0x44, 0x01, 0x60).Capability(0x60, 0x02, 0).Byte(0x62, 0x30).Dword(0x64, status).Dword(
            0x68, command);
    };
    auto express = [&](uint8_t device, unsigned maxWidth, unsigned width) {
        return vga(device).Capability(0x60, 0x10, 0).Dword(0x6C, maxWidth << 4).Word(0x72, uint16_t(width << 4));
    };
    const struct {
        const char* name;
        std::vector<FunctionDump> displays;
        const char* lines;
    } cases[] = {
        {"AGP 3.0 at 8x with sideband addressing",
         {agp(0, 0x20B, 0x302)},
         "Graphic Interface\t\tAGP\nAGP Revision\t\t\t3.0\nAGP Transfer Rate\t\t8x\nAGP SBA\t\t\t\tsupported, enabled\n"},
        {"AGP 2x, sideband not supported",
         {agp(0, 0x007, 0x102)},
         "Graphic Interface\t\tAGP\nAGP Revision\t\t\t3.0\nAGP Transfer Rate\t\t2x\nAGP SBA\t\t\t\tnot supported, not "
         "enabled\n"},
        {"disabled AGP port before a PCI Express card", {agp(0, 0x20B, 0x002), express(1, 16, 8)}, ""},
        {"PCI Express x8 of x16", {vga(0), express(1, 16, 8)}, "Graphic Interface\t\tPCI-Express\nPCI-E Link Width\t\tx8\n"
                                                                "PCI-E Max Link Width\t\tx16\n"},
        {"no capability", {vga(0)}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startImage(LspciWithHostBridge(c.displays));
        CChipsetInterface* chipset = CreateChipset();
        ASSERT_TRUE(chipset);
        const std::string report = ReportOf(*chipset);
        EXPECT_EQ(report.substr(0, report.find("Memory Type")), std::string("Northbridge\t\t\tIntel i440FX rev. 00\n") + c.lines);
        ReleaseSDK();
    }
}

// Without a main bridge, southbridge or PCI domain the lines are absent.
TEST(ChipsetReport, NothingButTheMemoryRecordWithoutBridges) {
    CChipsetInterface chipset;
    CReportGenerator_Buffer report;
    chipset.WriteReport(&report);
    chipset.DumpMCHBAR(&report);
    EXPECT_STREQ(report.GetText(), "Memory Type\t\t\t\n");
    ReleaseSDK();
}

// The memory clock of the TM8000: byte 0x4E of the first function 1-4
// where it is not 0, times 16.6667 MHz. A read through the configuration
// ports that fails is no clock byte (its all-ones value would give
// 4250 MHz).
TEST_F(Chipset, TransmetaTM8000MemoryClock) {
    const struct {
        std::vector<uint8_t> clockBytes;  // of functions 1 to 4
        bool portReadsFail;
        float frequency;
        int asynchronous;
    } cases[] = {{{12, 0, 0, 0}, false, 200.0004f, 1},
                 {{0, 0, 9, 10}, false, 150.0003f, 1},
                 {{0, 0, 0, 0}, false, -1.0f, 0},
                 {{12, 0, 0, 0}, true, -1.0f, 0}};
    for (const auto& c : cases) {
        std::vector<FunctionDump> functions{FunctionDump({0, 0, 0}, 0x1279, 0x0060).Class(0x06, 0x00).HeaderType(0x80)};
        for (uint8_t function = 1; function <= 4; ++function)
            functions.push_back(FunctionDump({0, 0, function}, 0x1279, 0x0061).Byte(0x4E, c.clockBytes[function - 1]));
        startImage(LspciText(functions));
        ASSERT_TRUE(scannedPCI());
        if (c.portReadsFail)
            hw().injectFault(machine::Fault{machine::AccessKind::Port, machine::AccessDir::Read, 0xCFC, 0xCFF});
        ASSERT_EQ(sdk().CreateChipsetInterface(), 1);
        CChipsetInterface* chipset = sdk().m_pChipset;
        ASSERT_TRUE(chipset);
        EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "TM8000");
        const CMemoryInfo& memory = *chipset->m_pMemoryInfo;
        EXPECT_EQ(memory.m_iMemoryType, MEMORY_TYPE_DDR);
        EXPECT_FLOAT_EQ(memory.m_fDRAMFrequency, c.frequency);
        EXPECT_EQ(memory.m_bAsynchronous, c.asynchronous);
        ReleaseSDK();
    }
}

TEST(MemoryInfo, DRAMClockFromTheFirstSourceThatApplies) {
    const struct {
        const char* name;
        float ratio, offset;
        int divisor;
        int asynchronous;
        float stored;
        float busClock, multiplier;
        float expected;
    } cases[] = {
        {"ratio", 1.25f, -1.0f, -1, 0, -1.0f, 200.0f, 11.0f, 250.0f},
        {"negative offset", -1.0f, -33.34f, -1, 0, -1.0f, 200.0f, 11.0f, 166.66f},
        {"divisor", -1.0f, -1.0f, 11, 0, -1.0f, 200.0f, 11.0f, 200.0f},
        {"divisor, unknown multiplier", -1.0f, -1.0f, 11, 0, -1.0f, 200.0f, -1.0f, -200.0f / 11.0f},
        {"divisor 0", -1.0f, -1.0f, 0, 0, -1.0f, 200.0f, 11.0f, -1.0f},
        {"no source", -1.0f, -1.0f, -1, 0, -1.0f, 200.0f, 11.0f, -1.0f},
        {"bus clock unknown", 1.25f, -1.0f, -1, 0, -1.0f, -1.0f, 11.0f, -1.0f},
        {"asynchronous", 1.25f, -1.0f, -1, 1, 333.0f, -1.0f, 11.0f, 333.0f},
    };
    for (const auto& c : cases) {
        CMemoryInfo memory;
        memory.m_fFSBDRAMRatio = c.ratio;
        memory.m_fDRAMOffset = c.offset;
        memory.m_iCPUDivisor = c.divisor;
        memory.m_bAsynchronous = c.asynchronous;
        memory.m_fDRAMFrequency = c.stored;
        EXPECT_FLOAT_EQ(memory.GetDRAMFrequency(c.busClock, c.multiplier), c.expected) << c.name;
    }
}

// The refresh computes the clock again from the processor's bus clock.
TEST_F(Chipset, RefreshRecomputesTheDRAMClock) {
    startX58();
    CChipsetInterface* chipset = CreateChipset();
    ASSERT_TRUE(chipset);
    chipset->m_pMemoryInfo->m_fFSBDRAMRatio = 4.0f;
    EXPECT_EQ(chipset->Refresh(), 1);
    EXPECT_EQ(chipset->m_pMemoryInfo->m_fDRAMFrequency, -1.0f) << "no processor domain, no bus clock";
    UseBusClock(133.33f);
    EXPECT_EQ(CChipsetInterface::GetMultiplier(), -1.0f) << "no processor 0";
    chipset->Refresh();
    EXPECT_FLOAT_EQ(chipset->m_pMemoryInfo->m_fDRAMFrequency, 533.32f);
    std::snprintf(chipset->m_pMemoryInfo->m_szRatio, CMemoryInfo::kRatioTextSize, "1:4");
    EXPECT_NE(ReportOf(*chipset).find("Memory Frequency\t\t533.3 MHz (1:4)\n"), std::string::npos);
}

TEST_F(Chipset, MemoryRecordLines) {
    startX58();
    CChipsetInterface* chipset = CreateChipset();
    ASSERT_TRUE(chipset);
    // The lines of a record filled here, in place of the one the processor's
    // memory controller gave.
    delete chipset->m_pMemoryInfo;
    chipset->m_pMemoryInfo = new CMemoryInfo;
    CMemoryInfo& m = *chipset->m_pMemoryInfo;
    auto memoryLines = [&] {
        const std::string report = ReportOf(*chipset);
        return report.substr(report.find("Memory Type"));
    };
    const struct {
        int size;
        const char* line;
    } sizes[] = {{1024, "Memory Size\t\t\t1024 MBytes\n"}, {2048, "Memory Size\t\t\t2 GBytes\n"},
                 {1536, "Memory Size\t\t\t1536 MBytes\n"}, {0, ""}, {-1, ""}};
    for (const auto& c : sizes) {
        m.m_iSize = c.size;
        EXPECT_EQ(memoryLines(), std::string("Memory Type\t\t\t\n") + c.line) << c.size;
    }

    m.m_iSize = -1;
    m.m_iMemoryType = MEMORY_TYPE_DDR3;
    m.m_iChannels = 3;
    m.m_iChannelMode = 1;
    m.m_fDRAMFrequency = 166.66f;
    std::snprintf(m.m_szRatio, sizeof m.m_szRatio, "FSB - 33 MHz");
    m.m_iInterleave = 0;
    m.m_fCASLatency = 2.5f;
    m.m_iRASToCASDelay = 3;
    m.m_iCommandRate = 2;
    m.m_iTCCD_WR_L = 4;
    m.m_fUncoreRatio = 2.0f;
    UseBusClock(-1.0f);
    EXPECT_EQ(memoryLines(),
              "Memory Type\t\t\tDDR3\n"
              "Channels\t\t\tTriple\n"
              "Memory Frequency\t\t166.7 MHz (FSB - 33 MHz)\n"
              "DRAM Interleave\t\t\tnone\n"
              "CAS# latency (CL)\t\t2.5\n"
              "RAS# to CAS# delay (tRCD)\t3\n"
              "Command Rate (CR)\t\t2T\n"
              "tCCD_WR_L\t\t\t4\n");

    const struct {
        int mode;
        const char* line;
    } modes[] = {{0x02000001, "Channels\t\t\tDual, (Ganged)\n"}, {0x02000000, "Channels\t\t\tDual, (Unganged)\n"},
                 {1, "Channels\t\t\tDual, (Symmetric)\n"},       {0, "Channels\t\t\tDual, (Asymmetric)\n"},
                 {7, "Channels\t\t\tDual\n"},                    {-1, "Channels\t\t\tDual\n"}};
    m.m_iChannels = 2;
    for (const auto& c : modes) {
        m.m_iChannelMode = c.mode;
        EXPECT_NE(memoryLines().find(c.line), std::string::npos) << c.mode;
    }
    m.m_iChannels = 5;
    EXPECT_NE(memoryLines().find("Channels\t\t\tUndefined\n"), std::string::npos);
}

TEST_F(Chipset, BoardCachePerformanceModeAndUncoreClock) {
    startX58();
    CChipsetInterface* chipset = CreateChipset();
    ASSERT_TRUE(chipset);
    chipset->m_pBoardCache = new CCacheDescriptor;
    EXPECT_EQ(ReportOf(*chipset).find("On Board Cache"), std::string::npos) << "size unknown";
    chipset->m_pBoardCache->m_iSize = 512;
    chipset->m_pNorthBridge->m_iPerformanceMode = 0;
    chipset->m_pMemoryInfo->m_fUncoreRatio = 16.0f;
    UseBusClock(133.33f);
    const std::string report = ReportOf(*chipset);
    EXPECT_NE(report.find("On Board Cache\t\t\t512 KBytes\nMemory Type"), std::string::npos) << report;
    EXPECT_NE(report.find("Performance Mode\t\tdisabled\nUncore Frequency\t\t2133.3 MHz\n"), std::string::npos)
        << report;
}

// The window's bytes in rows of 16; a window that cannot be read is said
// to be so, never dumped.
TEST_F(Chipset, MemoryControllerWindowDump) {
    std::string manifest = X58Manifest();
    manifest.insert(manifest.find('{') + 1, R"("memory": [{"base": "0xFED10000", "size": "0x1000", "fill": "0x5A"}],)");
    startX58Variant(X58Lspci(), manifest);
    CChipsetInterface* chipset = CreateChipset();
    ASSERT_TRUE(chipset);
    CMemoryIOSpace window(0, 0xFED10000, 4096);
    chipset->m_pNorthBridge->m_pMCHBAR = &window;
    std::string dump = DumpOf(*chipset);
    EXPECT_EQ(dump.substr(0, dump.find("\t\t00 01")),
              "MCHBAR I/O Base address\t\t0x0FED10000\nMCHBAR I/O Size\t\t\t4096\nMCHBAR registers\t\n");
    EXPECT_NE(dump.find("\t\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"), std::string::npos);
    EXPECT_NE(dump.find("\n\t00\t5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A \n"), std::string::npos);
    EXPECT_NE(dump.find("\n\tFF0\t5A "), std::string::npos);
    size_t rows = 0;
    for (size_t at = dump.find("\n\t"); at != std::string::npos; at = dump.find("\n\t", at + 1)) ++rows;
    EXPECT_EQ(rows, 257u) << "the header and 256 rows";

    CMemoryIOSpace large(0, 0xFED10000, 16384);
    chipset->m_pNorthBridge->m_pMCHBAR = &large;
    EXPECT_EQ(DumpOf(*chipset),
              "MCHBAR I/O Base address\t\t0x0FED10000\nMCHBAR I/O Size\t\t\t16384\nMCHBAR registers\t\n");

    CMemoryIOSpace partial(1, 0x00001000, 40);
    chipset->m_pNorthBridge->m_pMCHBAR = &partial;
    hw().injectFault(machine::Fault{machine::AccessKind::Memory, machine::AccessDir::Read, 0x100001000ull, 0x100001FFFull});
    EXPECT_EQ(DumpOf(*chipset),
              "MCHBAR I/O Base address\t\t0x11000\nMCHBAR I/O Size\t\t\t40\nMCHBAR registers\tn.a.\n");
    chipset->m_pNorthBridge->m_pMCHBAR = nullptr;
}

} // namespace
} // namespace vexa::test
