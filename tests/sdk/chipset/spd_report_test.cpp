// The "Memory SPD" report section and the SPD register dump: labels, pads
// and the clock arithmetic of the timing tables.
#include <gtest/gtest.h>

#include <string>

#include "sdk/chipset/module_info.h"
#include "sdk/chipset/module_info_profiles.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/report_generator.h"
#include "tests/sdk/chipset/spd_test_support.h"

namespace vexa::test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void AddCAS(CModuleInfo& r, float latency, float frequency) {
    auto* entry = new CAS_Table;
    entry->m_fCASLatency = latency;
    entry->m_fFrequency = frequency;
    r.m_pCASTables->AddTail(entry);
}

TEST(SPDReport, JEDECRowsInClocksAtEachFrequency) {
    CModuleInfo ddr;
    ddr.m_fRCD = 15.0f;
    ddr.m_fRP = 15.0f;
    ddr.m_fRAS = 40.0f;
    AddCAS(ddr, 2.0f, -1.0f);  // skipped, but numbered
    AddCAS(ddr, 2.5f, 200.0f);
    const std::string report = ModuleReport(ddr);
    EXPECT_TRUE(Contains(report, "JEDEC timings table\t\tCL-tRCD-tRP-tRAS-tRC @ frequency\n"));
    EXPECT_FALSE(Contains(report, "JEDEC #1"));
    EXPECT_TRUE(Contains(report, "\tJEDEC #2\t\t2.5-3-3-8-n.a. @ 200 MHz\n")) << report;

    CModuleInfo ddr3;
    ddr3.m_fRCD = ddr3.m_fRP = 13.125f;
    ddr3.m_fRAS = 36.0f;
    ddr3.m_fRC = 49.125f;
    AddCAS(ddr3, 9.0f, 1000.0f / 1.5f);
    // 36 ns at 666.67 MHz is 24 clocks in single precision, not 25.
    EXPECT_TRUE(Contains(ModuleReport(ddr3), "\tJEDEC #1\t\t9.0-9-9-24-33 @ 666 MHz\n")) << ModuleReport(ddr3);
}

TEST(SPDReport, LinesAppearOnlyWithKnownValues) {
    CModuleInfo empty;
    empty.m_iIndex = 2;
    empty.m_ucAddress = 0x52;
    EXPECT_EQ(ModuleReport(empty),
              "DIMM #\t\t\t\t3\n"
              "\tSMBus address\t\t0x52\n"
              "\tMemory type\t\t\n"
              "\tManufacturer (ID)\t (00000000000000000000)\n"
              "\tPart number\t\t\n"
              "\tEPP\t\t\tno\n"
              "\tXMP\t\t\tno\n"
              "\tAMP\t\t\tno\n");

    CModuleInfo full;
    full.m_iIndex = 0;
    full.m_ucAddress = 0x50;
    std::snprintf(full.m_szMemoryType, sizeof full.m_szMemoryType, "DDR2");
    std::snprintf(full.m_szModuleFormat, sizeof full.m_szModuleFormat, "Regular UDIMM");
    std::snprintf(full.m_szManufacturer, sizeof full.m_szManufacturer, "Golden Empire");
    std::snprintf(full.m_szSpeed, sizeof full.m_szSpeed, "PC2-6400");
    std::snprintf(full.m_szPartNumber, sizeof full.m_szPartNumber, "CL4-4-4  DDR2-800");
    for (int i = 0; i < 3; ++i) full.m_byJEDECID[i] = 0x7F;
    full.m_byJEDECID[3] = 0x13;
    full.m_iSize = 1024;
    full.m_iClock = 400;
    full.m_dwSerialNumber = 0xFF;
    full.m_byWeek = 44;
    full.m_byYear = 9;
    full.m_iBanks = 1;
    full.m_iDataWidth = 64;
    full.m_iCorrection = 5;
    full.m_iRegistered = 0;
    full.m_iBuffered = 1;
    full.m_fVoltage = 1.8f;
    full.m_bEPP = full.m_bEPP2 = 1;
    full.m_bXMP = 1;
    full.m_byXMPRevision = 0x12;
    full.m_bAMP = 1;
    EXPECT_EQ(ModuleReport(full),
              "DIMM #\t\t\t\t1\n"
              "\tSMBus address\t\t0x50\n"
              "\tMemory type\t\tDDR2\n"
              "\tModule format\t\tRegular UDIMM\n"
              "\tManufacturer (ID)\tGolden Empire (7F7F7F13000000000000)\n"
              "\tSize\t\t\t1024 MBytes\n"
              "\tMax bandwidth\t\tPC2-6400 (400 MHz)\n"
              "\tPart number\t\tCL4-4-4  DDR2-800\n"
              "\tSerial number\t\t000000FF\n"
              "\tManufacturing date\tWeek 44/Year 09\n"
              "\tNumber of banks\t\t1\n"
              "\tData width\t\t64 bits\n"
              "\tCorrection\t\tunknown\n"
              "\tRegistered\t\tno\n"
              "\tBuffered\t\tyes\n"
              "\tNominal Voltage\t\t1.80 Volts\n"
              "\tEPP\t\t\tyes (0 profiles)\n"
              "\tEPP 2.0\t\t\tyes\n"
              "\tXMP\t\t\tyes\n"
              "\tXMP revision\t\t1.2\n"
              "\tAMP\t\t\tyes\n");
}

TEST(SPDReport, EPPRowsOfBothLayouts) {
    SpdImage bytes = SpdImage(8).Set(99, {'m', 'V', 'N', 0xA1, 0x10}).Set(104, {0x86, 0x25, 0x10, 0x32, 0x32, 37});
    std::string report = ModuleReport(*Decoded(bytes.Bytes()));
    EXPECT_TRUE(Contains(report, "EPP timings table\t\tCL-tRCD-tRP-tRAS-tRC-CR @ frequency (voltage)\n"));
    EXPECT_TRUE(Contains(report, "\tEPP profile #1 (abb)\t4.0-5-5-15-xx-2T @ 400 MHz (1.950 Volts)\n")) << report;

    bytes.Set(102, 0xB1).Set(104, {0x06, 0, 0, 0, 0, 0x30, 0x08, 0x3C, 0x3C, 45, 0, 60});
    report = ModuleReport(*Decoded(bytes.Bytes()));
    EXPECT_TRUE(Contains(report, "\tEPP profile #1 (full)\t3.0-5-5-15-20-1T @ 333 MHz (1.950 Volts)\n")) << report;

    // A profile without a cycle time gives no clock and prints no row.
    bytes.Set(109, 0x00);
    EXPECT_FALSE(Contains(ModuleReport(*Decoded(bytes.Bytes())), "EPP profile #1"));
}

TEST(SPDReport, XMPProfileBlockAndTable) {
    const auto r = Decoded(SpdFileBytes("DDR3-9905403-440.A00LF.spd"));
    const std::string report = ModuleReport(*r);
    const std::string xmp = report.substr(report.find("XMP profile"));
    EXPECT_EQ(xmp,
              "XMP profile\t\t\tXMP-1600\n"
              "\tSpecification\t\tPC3-12800\n"
              "\tVoltage level\t\t1.650 Volts\n"
              "\tMin Cycle time\t\t1.250 ns (800 MHz)\n"
              "\tMax CL\t\t\t9.0\n"
              "\tMin tRP\t\t\t11.25 ns\n"
              "\tMin tRCD\t\t11.25 ns\n"
              "\tMin tWR\t\t\t15.00 ns\n"
              "\tMin tRAS\t\t33.75 ns\n"
              "\tMin tRC\t\t\t45.00 ns\n"
              "\tMin tRFC\t\t160.00 ns\n"
              "\tMin tRTP\t\t7.50 ns\n"
              "\tMin tRRD\t\t6.00 ns\n"
              "XMP timings table\t\tCL-tRCD-tRP-tRAS-tRC-CR @ frequency (voltage)\n"
              "\tXMP #1\t\t\t6.0-6-6-18-24-n.a @ 533 MHz (1.650 Volts)\n"
              "\tXMP #2\t\t\t7.0-7-7-21-28-n.a @ 622 MHz (1.650 Volts)\n"
              "\tXMP #3\t\t\t8.0-8-8-24-32-n.a @ 711 MHz (1.650 Volts)\n"
              "\tXMP #4\t\t\t9.0-9-9-27-36-n.a @ 800 MHz (1.650 Volts)\n");
}

TEST(SPDReport, AMPProfileRoundsToNearestClocks) {
    SpdImage bytes = SpdImage(11).Set(9, {0x11, 1, 8, 12});
    bytes.Set(80, {0xC8, 0, 10, 0, 0, 0, 90, 0, 90, 0, 88, 0, 0x11, 0x10, 0x68});
    const std::string report = ModuleReport(*Decoded(bytes.Bytes()));
    const std::string amp = report.substr(report.find("AMP profile"));
    EXPECT_EQ(amp,
              "AMP profile\n"
              "\tMin Cycle time\t\t1.250 ns (800 MHz)\n"
              "\tMax CL\t\t\t9.0\n"
              "\tMin tRP\t\t\t11.00 ns\n"
              "\tMin tRCD\t\t11.25 ns\n"
              "\tMin tRAS\t\t34.00 ns\n"
              "\tMin tRFC\t\t0.00 ns\n"
              "AMP timings table\t\tCL-tRCD-tRP-tRAS-tRC @ frequency\n"
              "\tAMP #1\t\t\t9.0-9-9-27-36 @ 800 MHz\n");
}

TEST(SPDReport, RegisterDumpRowsFollowTheLength) {
    const struct {
        int length;
        int rows;
        const char* lastLabel;
    } cases[] = {{256, 16, "\tF0\t"}, {512, 32, "\t1F0\t"}, {40, 2, "\t10\t"}};
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(c.length);
        for (int i = 0; i < c.length; ++i) bytes[i] = static_cast<uint8_t>(i);
        bytes[2] = 0x0B;
        const auto r = Decoded(bytes);
        CReportGenerator_Buffer report;
        CSPDInterface::DumpModule(&report, *r);
        const std::string text = report.GetText();
        EXPECT_EQ(text.substr(0, text.find("\t\t00 01")),
                  "DIMM #\t\t\t\t1\nSPD registers\t\n") << c.length;
        EXPECT_TRUE(Contains(text, "\t\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"));
        size_t rows = 0;
        for (size_t at = text.find("\n\t"); at != std::string::npos; at = text.find("\n\t", at + 1)) ++rows;
        EXPECT_EQ(rows, size_t(c.rows) + 1) << "the header and the rows, " << c.length;
        EXPECT_TRUE(Contains(text, c.lastLabel)) << c.length;
        EXPECT_TRUE(Contains(text, "\t10\t10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \n"));
    }
}

TEST(SPDReport, SectionWritesEachModuleAndNothingWithout) {
    CSPDInterface spd;
    CReportGenerator_Buffer none;
    spd.WriteReport(&none);
    spd.DumpRegisters(&none);
    EXPECT_STREQ(none.GetText(), "");

    spd.m_iModuleCount = 2;
    spd.m_pModules[0].m_iIndex = 0;
    spd.m_pModules[1].m_iIndex = 1;
    CReportGenerator_Buffer two;
    spd.WriteReport(&two);
    const std::string text = two.GetText();
    EXPECT_TRUE(Contains(text, "DIMM #\t\t\t\t1\n"));
    EXPECT_TRUE(Contains(text, "\tAMP\t\t\tno\n\nDIMM #\t\t\t\t2\n"));
    EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
}

} // namespace
} // namespace vexa::test
