// The vexa program's graphics section on the x58 sample: its GeForce 210
// named and described through the GPU's registers and the NVIDIA driver
// library, with the memory size of its video controller.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

TEST(GraphicsRuns, X58SampleShowsItsGeForce210) {
    vexa::test::VexaRun run(vexa::test::sourcePath("machines/x58-nehalem"));
    const vexa::test::VexaResult result = run.run({"-txt=r"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    const size_t start = report.find("Display Adapters\n");
    ASSERT_NE(start, std::string::npos) << report;
    const std::string section = report.substr(start, report.find("\nMonitor 0", start) - start);
    for (const char* line : {"API\t\t\t\tNVIDIA I/O", "API\t\t\t\tNVIDIA NVAPI"})
        EXPECT_NE(report.find(line), std::string::npos) << line;
    for (const char* line : {"\tName\t\t\tNVIDIA GeForce 210\n", "\tRevision\t\tA2\n", "\tCodename\t\tGT218\n",
                             "\tTechnology\t\t40 nm\n", "\tMemory size\t\t512 MB\n", "\t\tCore clock\t589.0 MHz\n",
                             "\t\tShader clock\t1402.0 MHz\n", "\t\tMemory clock\t500.0 MHz\n"})
        EXPECT_NE(section.find(line), std::string::npos) << line << "\n" << section;
}

} // namespace
