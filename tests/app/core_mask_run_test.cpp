// "-coremask=" as a batch run: on a processor whose description writes the
// core enable mask the program says so and asks for a restart; on one
// without, it ends silently. Either way it writes no report.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaResult;
using vexa::test::VexaRun;

TEST(CoreMaskRun, FamilyTenHProcessorTakesTheMaskAndAsksForARestart) {
    VexaRun run(vexa::test::sourcePath("machines/m3a78t-phenom-ii"));
    const VexaResult result = run.run({"-coremask=3"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "Vexa: Core mask set, please restart Windows to validate.\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(run.programFiles(), std::vector<std::string>{"vexa.ini"});
    EXPECT_EQ(run.tempFiles(), std::vector<std::string>{});
}

TEST(CoreMaskRun, ProcessorWithoutACoreMaskEndsSilently) {
    VexaRun run(vexa::test::sourcePath("machines/x58-nehalem"));
    const VexaResult result = run.run({"-coremask=3"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
}

} // namespace
