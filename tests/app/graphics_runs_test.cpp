// The vexa program's graphics section on the sample boards: the x58's
// GeForce 210 through the GPU's registers and the NVIDIA driver library,
// the M3A78-T's Radeon HD 4350 and the GM965 notebook's integrated
// graphics through the direct-register APIs.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaResult;
using vexa::test::VexaRun;

const std::string kRule = std::string(73, '-');

// The text of the report's graphics section.
std::string GraphicsSection(const std::string& machine) {
    VexaRun run(vexa::test::sourcePath(machine));
    const VexaResult result = run.run({"-txt=r"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    const std::string title = "그래픽\n" + kRule + "\n\n";
    const size_t start = report.find(title);
    if (start == std::string::npos) return "(no graphics section)\n" + report;
    const size_t end = report.find("소프트웨어\n" + kRule, start);
    return report.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TEST(GraphicsRuns, TheM3A78TSampleShowsItsRadeonWithMemoryAndClock) {
    const std::string graphics = GraphicsSection("machines/m3a78t-phenom-ii");
    for (const char* line :
         {"Number of adapters\t\t1\n", "Display adapter 0", "\tName\t\t\tATI Radeon HD 4350\n",
          "\tBoard Manufacturer\tGIGABYTE Technology\n", "\tCodename\t\tRV710\n", "\tMemory size\t\t512 MB\n",
          "\t\tCore clock\t600.0 MHz\n", "ATI I/O"})
        EXPECT_NE(graphics.find(line), std::string::npos) << line << "\n" << graphics;
}

TEST(GraphicsRuns, TheGM965SampleShowsItsIntegratedGraphics) {
    const std::string graphics = GraphicsSection("machines/fujitsu-p8010-gm965");
    for (const char* line : {"Display adapter 0", "\tName\t\t\tMobile Intel(R) 965 Express Chipset Family\n",
                             "Intel I/O"})
        EXPECT_NE(graphics.find(line), std::string::npos) << line << "\n" << graphics;
}

TEST(GraphicsRuns, X58SampleShowsItsGeForce210) {
    const std::string graphics = GraphicsSection("machines/x58-nehalem");
    for (const char* line : {"API\t\t\t\tNVIDIA I/O", "API\t\t\t\tNVIDIA NVAPI", "\tName\t\t\tNVIDIA GeForce 210\n",
                             "\tRevision\t\tA2\n", "\tCodename\t\tGT218\n", "\tTechnology\t\t40 nm\n",
                             "\tMemory size\t\t512 MB\n", "\t\tCore clock\t589.0 MHz\n",
                             "\t\tShader clock\t1402.0 MHz\n", "\t\tMemory clock\t500.0 MHz\n"})
        EXPECT_NE(graphics.find(line), std::string::npos) << line << "\n" << graphics;
}

} // namespace
