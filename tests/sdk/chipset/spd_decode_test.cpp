// The SPD decoders by memory type, on bytes built for each case: clock
// figures and speed texts, CAS tables, sizes, maker IDs, and what bytes
// that would divide by zero or overflow leave unknown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/module_info.h"
#include "sdk/chipset/spd_interface.h"
#include "tests/sdk/chipset/spd_test_support.h"

namespace vexa::test {
namespace {

constexpr uint8_t kRDRAM = 1, kSDRAM = 4, kDDR = 7, kDDR2 = 8, kFBDIMM = 9, kDDR3 = 11, kDDR4 = 12;

// A DDR3 module with a medium time base of 1/8 ns.
SpdImage DDR3(uint8_t tCKUnits, uint8_t tAAUnits = 105) {
    return SpdImage(kDDR3).Set(10, {1, 8, tCKUnits}).Set(16, tAAUnits);
}

std::vector<float> Latencies(const CModuleInfo& r) {
    std::vector<float> latencies;
    for (int i = 0; CAS_Table* entry = r.GetCASTable(i); ++i) latencies.push_back(entry->m_fCASLatency);
    return latencies;
}

std::vector<float> Frequencies(const CModuleInfo& r) {
    std::vector<float> frequencies;
    for (int i = 0; CAS_Table* entry = r.GetCASTable(i); ++i) frequencies.push_back(entry->m_fFrequency);
    return frequencies;
}

struct ClockCase {
    const char* name;
    SpdImage bytes;
    int clock;
    int rating;
    int dataRate;
    const char* speed;
};

class ClockFigures : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockFigures, FromTheCycleTime) {
    const ClockCase& c = GetParam();
    const auto r = Decoded(c.bytes.Bytes());
    EXPECT_EQ(r->m_iClock, c.clock);
    EXPECT_EQ(r->m_iPCRating, c.rating);
    EXPECT_EQ(r->m_iDataRate, c.dataRate);
    EXPECT_STREQ(r->m_szSpeed, c.speed);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ClockFigures,
    ::testing::Values(
        // DDR3 rounds the clock; the speed-bin letter follows the clock and raw tAA byte.
        ClockCase{"ddr3_1333_H", DDR3(12, 108), 667, 10700, 1333, "PC3-10700H"},
        ClockCase{"ddr3_1333_no_bin", DDR3(12, 105), 667, 10700, 1333, "PC3-10700"},
        ClockCase{"ddr3_1600_K", DDR3(10, 110), 800, 12800, 1600, "PC3-12800K"},
        ClockCase{"ddr3_1600_no_bin", DDR3(10, 105), 800, 12800, 1600, "PC3-12800"},
        // The fine correction of byte 34: 9 x 0.125 ns - 54 ps = 1.071 ns.
        ClockCase{"ddr3_fine_1866", DDR3(9).Set(9, 0x11).Set(34, 0xCA), 934, 14900, 1867, "PC3-14900"},
        ClockCase{"ddr3_1066_F", DDR3(15), 533, 8500, 1067, "PC3-8500F"},
        // DDR4: tCK 0.938 ns is DDR4-2133; the half is added before rounding.
        ClockCase{"ddr4_2133", SpdImage(kDDR4, 512).Set(18, 8).Set(125, 0xC2), 1066, 17100, -1, "DDR4-2133"},
        ClockCase{"ddr4_2401", SpdImage(kDDR4, 512).Set(18, 7).Set(125, 0xD6), 1200, 19200, -1, "DDR4-2401"},
        ClockCase{"ddr4_3201", SpdImage(kDDR4, 512).Set(18, 5), 1600, 25600, -1, "DDR4-3201"},
        // DDR2 and DDR truncate the clock.
        ClockCase{"ddr2_800", SpdImage(kDDR2).Set(9, 0x25), 400, 6400, 800, "PC2-6400"},
        ClockCase{"ddr2_533", SpdImage(kDDR2).Set(9, 0x3D), 266, 4300, 533, "PC2-4300"},
        ClockCase{"ddr_400", SpdImage(kDDR).Set(9, 0x50), 200, 3200, 400, "PC3200"},
        ClockCase{"ddr_333", SpdImage(kDDR).Set(9, 0x60), 166, 2700, 333, "PC2700"},
        ClockCase{"sdram_133", SpdImage(kSDRAM).Set(9, 0x75), 133, 133, 133, "PC133"},
        ClockCase{"fbdimm_667", SpdImage(kFBDIMM).Set(9, {1, 4, 12}), 333, 5300, 667, "PC2-5300"},
        ClockCase{"rdram_800_40", SpdImage(kRDRAM).Set(37, 0x90).Set(35, 0x01).Set(12, 8), 400, 800, 800, "PC800-40"},
        ClockCase{"rdram_no_grade", SpdImage(kRDRAM).Set(37, 0x90).Set(35, 0x01).Set(12, 9), 400, 800, 800, "PC800"},
        // A cycle time of 0, or a time base dividing by 0, leaves the clock unknown.
        ClockCase{"ddr3_mtb_divisor_0", DDR3(10).Set(11, 0), 0, 0, -1, ""},
        ClockCase{"ddr3_tck_0", DDR3(0), 0, 0, -1, ""},
        // 1 x 0.1 ns less 125 x 0.8 ps leaves a float remainder of 7e-9 ns.
        ClockCase{"ddr3_fine_cancels_the_base", DDR3(1).Set(9, {0xCF, 1, 10}).Set(34, 0x83), 0, 0, -1, ""},
        ClockCase{"ddr4_tck_0", SpdImage(kDDR4, 512), 0, 0, -1, ""},
        ClockCase{"ddr2_tck_ff", SpdImage(kDDR2).Set(9, 0xFF), 0, 0, -1, ""},
        ClockCase{"ddr_tck_0", SpdImage(kDDR).Set(9, 0x05), 0, 0, -1, ""},
        ClockCase{"sdram_tck_0", SpdImage(kSDRAM), 0, 0, -1, ""},
        ClockCase{"fbdimm_mtb_divisor_0", SpdImage(kFBDIMM).Set(9, {1, 0, 12}), 0, 0, -1, ""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DDR3Decoder, CASFrequenciesAreCappedAtTheModuleClock) {
    const auto r = Decoded(DDR3(12).Set(14, 0xFC).Bytes());  // latencies 6 to 11, tAA 13.125 ns
    EXPECT_EQ(Latencies(*r), (std::vector<float>{6, 7, 8, 9, 10, 11}));
    const auto frequencies = Frequencies(*r);
    EXPECT_NEAR(frequencies[0], 457.14f, 0.01f);
    EXPECT_NEAR(frequencies[5], 666.67f, 0.01f) << "838 MHz by the formula, capped";
    EXPECT_EQ(r->m_fMaxCASLatency, -1.0f) << "not set for DDR3";
}

TEST(DDR3Decoder, SizeFormatVoltageAndTimings) {
    SpdImage bytes = DDR3(10).Set(3, 0x02).Set(4, 0x03).Set(7, 0x09).Set(8, 0x03);
    bytes.Set(18, 105).Set(20, 105).Set(21, 0x11).Set(22, 0x18).Set(23, 0x79).Set(6, 0x06);
    const auto r = Decoded(bytes.Bytes());
    EXPECT_EQ(r->m_iSize, 4096) << "two ranks of x8 2 Gbit devices, 64 bits";
    EXPECT_STREQ(r->m_szModuleFormat, "UDIMM");
    EXPECT_EQ(r->m_iBanks, 8);
    EXPECT_EQ(r->m_fVoltage, 1.2f) << "the 1.2 V bit wins over 1.35 V";
    EXPECT_EQ(r->m_fRCD, 13.125f);
    EXPECT_EQ(r->m_fRAS, 35.0f);
    EXPECT_EQ(r->m_fRC, 47.125f);
    EXPECT_EQ(r->m_iMemoryType, MEMORY_TYPE_DDR3);
    EXPECT_EQ(r->m_iDataWidth, 0) << "not set for DDR3";

    bytes.Set(7, 0x04);  // device width code 4: outside the table
    EXPECT_EQ(Decoded(bytes.Bytes())->m_iSize, 0);
}

TEST(DDR3Decoder, ManufacturerIDBytes) {
    const struct {
        uint8_t count, code;
        std::vector<uint8_t> id;
        const char* name;
    } cases[] = {
        {0x80, 0xCE, {0xCE, 0}, "Samsung"},
        {0x01, 0x98, {0x7F, 0x98, 0}, "Kingston"},
        {0x05, 0x51, {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x51, 0}, "Qimonda"},
        {0x7F, 0x01, std::vector<uint8_t>(15, 0x7F), ""},  // at most 15 continuation codes, no bank
    };
    for (const auto& c : cases) {
        const auto r = Decoded(DDR3(10).Set(117, {c.count, c.code}).Bytes());
        EXPECT_EQ(std::vector<uint8_t>(r->m_byJEDECID, r->m_byJEDECID + c.id.size()), c.id) << int(c.count);
        EXPECT_STREQ(r->m_szManufacturer, c.name);
    }
}

TEST(DDR3Decoder, DateSerialAndPartNumber) {
    SpdImage bytes = DDR3(10).Set(120, {0x11, 0x39, 0x86, 0x3C, 0x51, 0x9C}).Text(128, "9905403-440.A00LF ");
    bytes.Set(140, 0xFF);
    const auto r = Decoded(bytes.Bytes());
    EXPECT_EQ(r->m_byYear, 11);
    EXPECT_EQ(r->m_byWeek, 39);
    EXPECT_EQ(r->m_dwSerialNumber, 0x863C519Cu);
    EXPECT_STREQ(r->m_szSerialNumber, "863C519C");
    EXPECT_STREQ(r->m_szPartNumber, "9905403-440.") << "an 0xFF byte ends the text";
}

TEST(DDR4Decoder, SizeLatenciesAndUpperPage) {
    SpdImage bytes(kDDR4, 512);
    bytes.Set(3, 0x01).Set(4, 0x84).Set(12, 0x00).Set(13, 0x0B).Set(18, 8).Set(125, 0xC2);
    bytes.Set(20, {0xF8, 0x03, 0x2B}).Set(24, 110);  // byte 22: latencies 23, 24, 26 and 28
    bytes.Set(320, {0x80, 0xCE, 0, 0x17, 0x10, 0x35, 0x20, 0xC5, 0x0E}).Text(329, "M393A1G40EB1-CPB  ");
    const auto r = Decoded(bytes.Bytes());
    EXPECT_EQ(r->m_iSize, 8192);
    EXPECT_STREQ(r->m_szModuleFormat, "RDIMM");
    EXPECT_EQ(Latencies(*r), (std::vector<float>{10, 11, 12, 13, 14, 15, 16, 23, 24, 26, 28}));
    EXPECT_NEAR(Frequencies(*r)[5], 1066.1f, 0.1f) << "CL15 capped at the module clock";
    EXPECT_STREQ(r->m_szManufacturer, "Samsung");
    EXPECT_EQ(r->m_byYear, 17);
    EXPECT_EQ(r->m_byWeek, 10);
    EXPECT_STREQ(r->m_szSerialNumber, "3520C50E");
    EXPECT_STREQ(r->m_szPartNumber, "M393A1G40EB1-CPB  ");

    // Read with 256 bytes (a memory controller's engine): no upper page.
    std::vector<uint8_t> lower(bytes.Bytes().begin(), bytes.Bytes().begin() + 256);
    const auto shortRead = Decoded(lower);
    EXPECT_EQ(shortRead->m_iClock, 1066);
    EXPECT_STREQ(shortRead->m_szManufacturer, "");
    EXPECT_STREQ(shortRead->m_szPartNumber, "");
    EXPECT_EQ(shortRead->m_dwSerialNumber, 0u);
    EXPECT_EQ(shortRead->m_byWeek, 0);
}

TEST(DDR2Decoder, OrganisationTimingsAndLowerLatencyClocks) {
    SpdImage bytes(kDDR2);
    bytes.Set(5, 0x61).Set(6, 64).Set(8, 5).Set(9, 0x25).Set(11, 2).Set(12, 0x82).Set(18, 0x38).Set(20, 0x03);
    bytes.Set(23, 0x30).Set(25, 0x3D).Set(27, 0x32).Set(29, 0x32).Set(30, 37).Set(31, 0x01).Set(40, 0x30).Set(41, 54);
    bytes.Set(64, {0x7F, 0x7F, 0x7F, 0x13}).Set(93, {0x09, 0x44});
    const auto r = Decoded(bytes.Bytes());
    EXPECT_EQ(r->m_iBanks, 2) << "ranks";
    EXPECT_EQ(r->m_iSize, 2048);
    EXPECT_EQ(r->m_fVoltage, 1.8f);
    EXPECT_EQ(r->m_iCorrection, 2);
    EXPECT_EQ(r->m_iDataWidth, 64);
    EXPECT_EQ(r->m_fRefreshPeriod, 7.8f);
    EXPECT_STREQ(r->m_szModuleFormat, "Regular UDIMM") << "the highest set bit wins";
    EXPECT_EQ(Latencies(*r), (std::vector<float>{3, 4, 5}));
    EXPECT_EQ(r->m_fMaxCASLatency, 5.0f);
    const auto frequencies = Frequencies(*r);
    EXPECT_NEAR(frequencies[2], 400.0f, 0.01f);
    EXPECT_NEAR(frequencies[1], 333.33f, 0.01f);
    EXPECT_NEAR(frequencies[0], 266.67f, 0.01f);
    EXPECT_EQ(r->m_fRP, 12.5f);
    EXPECT_EQ(r->m_fRCD, 12.5f);
    EXPECT_EQ(r->m_fRAS, 37.0f);
    EXPECT_EQ(r->m_fRC, 54.5f);
    EXPECT_STREQ(r->m_szManufacturer, "Golden Empire");
    EXPECT_EQ(r->m_byYear, 9);
    EXPECT_EQ(r->m_byWeek, 44);

    bytes.Set(40, 0x60);  // fraction code 6 adds nothing
    EXPECT_EQ(Decoded(bytes.Bytes())->m_fRC, 54.0f);
}

TEST(DDR2Decoder, MissingCycleTimeBytesFallBackToTheOneBefore) {
    SpdImage bytes = SpdImage(kDDR2).Set(9, 0x25).Set(18, 0x38).Set(23, 0x00).Set(25, 0xFF);
    auto frequencies = Frequencies(*Decoded(bytes.Bytes()));
    EXPECT_EQ(frequencies, (std::vector<float>{400.0f, 400.0f, 400.0f}));
    // Without the highest latency's cycle time nothing is known.
    bytes.Set(9, 0x00);
    frequencies = Frequencies(*Decoded(bytes.Bytes()));
    EXPECT_EQ(frequencies, (std::vector<float>{-1.0f, -1.0f, -1.0f}));
}

TEST(DDRDecoder, HalfClockLatenciesWholeNanosecondsAndSize) {
    SpdImage bytes(kDDR);
    bytes.Set(5, 2).Set(6, 64).Set(8, 4).Set(9, 0x50).Set(18, 0x1C).Set(21, 0x02).Set(23, 0x60).Set(25, 0x00);
    bytes.Set(27, 0x28).Set(29, 0x3D).Set(30, 40).Set(31, 0x80).Set(64, {0x7F, 0x7F, 0x7F, 0x7F, 0xB0});
    bytes.Set(93, {0x04, 0x21});
    const auto r = Decoded(bytes.Bytes());
    EXPECT_EQ(Latencies(*r), (std::vector<float>{2.0f, 2.5f, 3.0f}));
    const auto frequencies = Frequencies(*r);
    EXPECT_EQ(frequencies[2], 200.0f);
    EXPECT_NEAR(frequencies[1], 166.67f, 0.01f);
    EXPECT_EQ(frequencies[0], -1.0f) << "byte 25 is 0";
    EXPECT_EQ(r->m_fRCD, 15.0f) << "the quarter bits dropped";
    EXPECT_EQ(r->m_fRP, 10.0f);
    EXPECT_EQ(r->m_fRC, -1.0f);
    EXPECT_EQ(r->m_iSize, 1024);
    EXPECT_EQ(r->m_iBanks, 2);
    EXPECT_EQ(r->m_iRegistered, 1);
    EXPECT_EQ(r->m_iBuffered, 0);
    EXPECT_EQ(r->m_fVoltage, 2.5f);
    EXPECT_STREQ(r->m_szManufacturer, "OCZ");
    EXPECT_EQ(r->m_byYear, 4) << "as stored, not BCD";
    EXPECT_EQ(r->m_byWeek, 0x21);
}

TEST(SDRAMDecoder, WholeClockLatenciesAndDensity) {
    const auto r = Decoded(SpdImage(kSDRAM).Set(5, 1).Set(8, 5).Set(9, 0x75).Set(18, 0x06).Set(31, 0x40).Bytes());
    EXPECT_EQ(Latencies(*r), (std::vector<float>{2, 3}));
    EXPECT_EQ(r->m_iSize, 256);
    EXPECT_EQ(r->m_fVoltage, -1.0f) << "SDRAM knows no 1.8 V level";
}

// Sizes that exceed 32 bits before the division.
TEST(OlderDecoders, LargestGeometriesDoNotOverflow) {
    const auto fbdimm = Decoded(SpdImage(kFBDIMM).Set(4, 0xFF).Set(7, 0x38).Bytes());
    EXPECT_EQ(fbdimm->m_iBanks, 32);
    EXPECT_EQ(fbdimm->m_iSize, 58720256) << "2^19 rows x 8 x 2^16 columns x 32 banks x 7 ranks / 2^20";
    const auto rdram = Decoded(SpdImage(kRDRAM).Set(4, 0x0F).Set(5, 0x07).Set(99, 254).Bytes());
    EXPECT_EQ(rdram->m_iSize, 8323072) << "2^15 x 2^7 x 254 devices x 8 / 1024";
    EXPECT_EQ(Decoded(SpdImage(kRDRAM).Set(99, 0xFF).Bytes())->m_iSize, 0) << "device count unknown";
}

TEST(Dispatch, TypesWithoutDecoderGetOnlyTheirText) {
    const struct {
        uint8_t type;
        const char* text;
        int memoryType;
    } cases[] = {{2, "EDO", MEMORY_TYPE_EDO}, {5, "ROM", -1}, {6, "DDR-SGRAM", -1}, {3, "", -1}, {13, "", -1}};
    for (const auto& c : cases) {
        const auto r = Decoded(SpdImage(c.type).Set(4, 0xFF).Set(31, 0xFF).Bytes());
        EXPECT_STREQ(r->m_szMemoryType, c.text) << int(c.type);
        EXPECT_EQ(r->m_iMemoryType, c.memoryType) << int(c.type);
        EXPECT_EQ(r->m_iSize, 0) << int(c.type);
    }
}

// Every byte value at every position of a short record: the decoders read
// nothing past the bytes they were given.
TEST(Dispatch, ShortRecordsOfEveryType) {
    for (uint8_t type = 0; type <= 13; ++type) {
        for (size_t length : {3, 64, 130, 200}) {
            std::vector<uint8_t> bytes(length, 0xA5);
            bytes[2] = type;
            const auto r = Decoded(bytes);
            EXPECT_LE(std::string(r->m_szPartNumber).size(), 18u);
        }
    }
}

} // namespace
} // namespace vexa::test
