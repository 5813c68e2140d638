// The program on the Dell workstation sample: its Core 2 E6300 is named and
// clocked from its registers, at the rate its time-stamp counter runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaResult;
using vexa::test::VexaRun;

// The value of a console report line "<label>\t...<value>", from its first
// character that is not a tab.
std::string LineValue(const std::string& report, const std::string& label) {
    const size_t at = report.find("\t" + label + "\t");
    if (at == std::string::npos) return {};
    const size_t start = report.find_first_not_of('\t', at + label.size() + 1);
    return report.substr(start, report.find('\n', start) - start);
}

TEST(SampleProcessor, DellCore2ReadsItsClockAndMultiplier) {
    const VexaResult result = VexaRun(vexa::test::sourcePath("machines/dell-precision-490")).run({"-console"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(LineValue(result.out, "Name"), "Intel Core 2 Duo E6300");
    EXPECT_EQ(LineValue(result.out, "Codename"), "Conroe");
    // "%.1f MHz" of the core clock and "%.1f x %.1f MHz" of multiplier and
    // bus: 7 x 266.67 MHz, measured against the time-stamp counter. A busy
    // machine stretches a measurement by tenths of a percent; the bounds
    // still tell the real clock from the 2133 MHz a wrong multiplier gives.
    const std::string core = LineValue(result.out, "Core Speed");
    EXPECT_NEAR(std::atof(core.c_str()), 1866.7, 1866.7 * 0.02) << core;
    const std::string clocks = LineValue(result.out, "Multiplier x Bus Speed");
    ASSERT_EQ(clocks.rfind("7.0 x ", 0), 0u) << clocks;
    EXPECT_NEAR(std::atof(clocks.c_str() + 6), 266.7, 266.7 * 0.02) << clocks;
    EXPECT_EQ(LineValue(result.out, "Stock frequency"), "1866 MHz");
}

} // namespace
