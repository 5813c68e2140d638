// The vexa program's chipset section on the samples: the GM965 notebook's
// memory controller as its MCHBAR window gives it, the X58 board's as the
// processor's uncore functions give it, with its ICH10R, the Dell's 5000X
// with its FB-DIMMs, and the 790GX board with the Phenom II's DDR2
// controllers.
#include <gtest/gtest.h>

#include <regex>

#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaResult;
using vexa::test::VexaRun;

const std::string kRule = std::string(73, '-');

// The chipset section's lines before its MCHBAR dump.
std::string ChipsetLines(const std::string& machine) {
    VexaRun run(vexa::test::sourcePath(machine));
    const VexaResult result = run.run({"-txt=r"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    const std::string title = "칩셋\n" + kRule + "\n\n";
    const size_t start = report.find(title);
    if (start == std::string::npos) return "(no chipset section)";
    const size_t body = start + title.size();
    const size_t end = report.find("MCHBAR registers", body);
    return report.substr(body, end == std::string::npos ? report.find("\n\n", body) - body : end - body);
}

// A measured clock's line: `pattern` matches it with the number in its
// first group, which must lie within 2 % of `expected`; the line is then
// replaced by `fixed`, so the rest compares exactly.
void FixMeasuredClock(std::string& lines, const std::string& pattern, double expected, const std::string& fixed) {
    const std::regex line(pattern);
    std::smatch found;
    if (!std::regex_search(lines, found, line)) {
        ADD_FAILURE() << "no line like " << pattern << " in\n" << lines;
        return;
    }
    EXPECT_NEAR(std::stod(found[1].str()), expected, expected * 0.02) << lines;
    lines = std::regex_replace(lines, line, fixed);
}

// The DRAM clock is 3/5 of the bus clock, which the Core 2 description
// measures from the time-stamp counter (200 MHz within the measurement's
// error, which grows on a busy machine), so it may move by a few MHz.
TEST(ChipsetRuns, TheGM965SampleShowsItsDualChannelDDR2) {
    std::string lines = ChipsetLines("machines/fujitsu-p8010-gm965");
    FixMeasuredClock(lines, "Memory Frequency\t\t(3[23][0-9]\\.[0-9]) MHz \\(3:5\\)\n", 1000.0 / 3,
                     "Memory Frequency\t\t333.3 MHz (3:5)\n");
    EXPECT_EQ(lines,
              "Northbridge\t\t\tIntel GM965 rev. C0\n"
              "Southbridge\t\t\tIntel 82801HBM (ICH8-ME) rev. B1\n"
              "Memory Type\t\t\tDDR2\n"
              "Memory Size\t\t\t2 GBytes\n"
              "Channels\t\t\tDual, (Symmetric)\n"
              "Memory Frequency\t\t333.3 MHz (3:5)\n"
              "CAS# latency (CL)\t\t4.0\n"
              "RAS# to CAS# delay (tRCD)\t5\n"
              "RAS# Precharge (tRP)\t\t5\n"
              "Cycle Time (tRAS)\t\t13\n"
              "MCHBAR I/O Base address\t\t0x0FED14000\n"
              "MCHBAR I/O Size\t\t\t4096\n");
}

// The X58 hub names itself; the memory controller is the Core i7 920's,
// read from its uncore functions on bus 0xff: DRAM at 4 x the 133.33 MHz
// base clock and the uncore at 16 x, both measured, so they may move by a
// few MHz.
TEST(ChipsetRuns, TheX58SampleShowsItsTripleChannelDDR3) {
    std::string lines = ChipsetLines("machines/x58-nehalem");
    FixMeasuredClock(lines, "Memory Frequency\t\t(5[0-9][0-9]\\.[0-9]) MHz \\(2:8\\)\n", 1600.0 / 3,
                     "Memory Frequency\t\t533.3 MHz (2:8)\n");
    // The last line of the section, without its line end.
    FixMeasuredClock(lines, "Uncore Frequency\t\t(2[01][0-9][0-9]\\.[0-9]) MHz$", 6400.0 / 3,
                     "Uncore Frequency\t\t2133.3 MHz");
    EXPECT_EQ(lines,
              "Northbridge\t\t\tIntel X58 rev. 12\n"
              "Southbridge\t\t\tIntel 82801JR (ICH10R) rev. 00\n"
              "Graphic Interface\t\tPCI-Express\n"
              "PCI-E Link Width\t\tx16\n"
              "PCI-E Max Link Width\t\tx16\n"
              "Memory Type\t\t\tDDR3\n"
              "Memory Size\t\t\t16 GBytes\n"
              "Channels\t\t\tTriple\n"
              "Memory Frequency\t\t533.3 MHz (2:8)\n"
              "CAS# latency (CL)\t\t9.0\n"
              "RAS# to CAS# delay (tRCD)\t9\n"
              "RAS# Precharge (tRP)\t\t9\n"
              "Cycle Time (tRAS)\t\t24\n"
              "Row Refresh Cycle Time (tRFC)\t139\n"
              "Command Rate (CR)\t\t2T\n"
              "Uncore Frequency\t\t2133.3 MHz");
}

// The Dell's 5000X: FB-DIMMs at 4/5 of the 266.67 MHz bus (DDR2-667),
// the bus measured; the timings from the first buffer behind the
// controller's window.
TEST(ChipsetRuns, TheDellSampleShowsItsFBDIMMs) {
    std::string lines = ChipsetLines("machines/dell-precision-490");
    FixMeasuredClock(lines, "Memory Frequency\t\t(3[2-4][0-9]\\.[0-9]) MHz \\(4:5\\)\n", 1000.0 / 3,
                     "Memory Frequency\t\t333.3 MHz (4:5)\n");
    EXPECT_EQ(lines,
              "Northbridge\t\t\tIntel 5000X rev. 12\n"
              "Memory Type\t\t\tFB-DDR2\n"
              "Memory Frequency\t\t333.3 MHz (4:5)\n"
              "CAS# latency (CL)\t\t5.0\n"
              "RAS# to CAS# delay (tRCD)\t5\n"
              "RAS# Precharge (tRP)\t\t5\n"
              "Cycle Time (tRAS)\t\t15\n"
              "Bank Cycle Time (tRC)\t\t20");
}

// Two unganged DDR2-800 channels of the Phenom II's controllers; the DRAM
// clock is twice the bus clock the K10 description measures.
TEST(ChipsetRuns, ThePhenomIISampleShowsItsSB750AndDDR2) {
    std::string lines = ChipsetLines("machines/m3a78t-phenom-ii");
    FixMeasuredClock(lines, "Memory Frequency\t\t([34][0-9][0-9]\\.[0-9]) MHz \\(1:2\\)\n", 400.0,
                     "Memory Frequency\t\t400.0 MHz (1:2)\n");
    EXPECT_EQ(lines.substr(0, lines.find("Channels")), "Northbridge\t\t\tAMD 790GX rev. 00\n"
                                                          "Southbridge\t\t\tAMD SB750 rev. 3A\n"
                                                          "Memory Type\t\t\tDDR2\n");
    const std::string timings = lines.substr(lines.find("Channels"), lines.find("Uncore") - lines.find("Channels"));
    EXPECT_EQ(timings,
              "Channels\t\t\tDual, (Unganged)\n"
              "Memory Frequency\t\t400.0 MHz (1:2)\n"
              "CAS# latency (CL)\t\t5.0\n"
              "RAS# to CAS# delay (tRCD)\t5\n"
              "RAS# Precharge (tRP)\t\t5\n"
              "Cycle Time (tRAS)\t\t18\n"
              "Bank Cycle Time (tRC)\t\t23\n"
              "Command Rate (CR)\t\t1T\n");
    // (5 + 4) x the bus clock.
    FixMeasuredClock(lines, "Uncore Frequency\t\t(1[78][0-9][0-9]\\.[0-9]) MHz", 1800.0,
                     "Uncore Frequency\t\t1800.0 MHz");
}

} // namespace
