// The "Hardware Monitors" section of the batch report: the GM965 notebook
// sample's battery and ACPI thermal zone, and this host, whose batteries
// (if any) are compared with an independent reading of /sys.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaResult;
using vexa::test::VexaRun;

std::string MonitorsSection(const std::string& report) {
    const std::string title = "Hardware Monitors\n" + std::string(73, '-') + "\n\n";
    const size_t start = report.find(title);
    if (start == std::string::npos) return "(no section)";
    const size_t body = start + title.size();
    const size_t next = report.find("\n" + std::string(73, '-') + "\n", body);
    return report.substr(body, next == std::string::npos ? std::string::npos : next - body);
}

std::string RunReport(VexaRun& run) {
    const VexaResult result = run.run({"-txt=r"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return vexa::test::readFile(run.programFile("r.txt"));
}

// The laptop's battery (design 56160 mWh, full 50540 mWh, 37900 mWh left at
// 11.65 V) and its thermal zone TZ00 at 3182 tenths of kelvin.
TEST(PlatformSensorRuns, TheGM965NotebookShowsItsBatteryAndThermalZone) {
    VexaRun run(vexa::test::sourcePath("machines/fujitsu-p8010-gm965"));
    const std::string monitors = MonitorsSection(RunReport(run));
    for (const char* line :
         {"Hardware monitor\tACPI\n\tTemperature 0\t45\u00B0C (113\u00B0F) [0xC6E] (TZ00)\n",
          "Hardware monitor\tBattery\n\tVoltage 0\t11.65 Volts [0x2D82] (Current Voltage)\n"
          "\tCapacity 0\t56160 mWh [0xDB60] (Designed Capacity)\n"
          "\tCapacity 1\t50540 mWh [0xC56C] (Full Charge Capacity)\n"
          "\tCapacity 2\t37900 mWh [0x940C] (Current Capacity)\n"})
        EXPECT_NE(monitors.find(line), std::string::npos) << line << "\n" << monitors;
}

// The x58's GeForce 210 reports its temperature through both NVIDIA
// display APIs, each as a monitor of its own; the Dell's two FB-DIMMs
// through their buffers.
TEST(PlatformSensorRuns, TheGpuAndTheFBDIMMsShowTheirTemperatures) {
    VexaRun x58(vexa::test::sourcePath("machines/x58-nehalem"));
    const std::string gpu = MonitorsSection(RunReport(x58));
    for (const char* line : {"Hardware monitor\tNVIDIA I/O\n\tTemperature 0\t45\u00B0C (113\u00B0F) [0x2D]",
                             "Hardware monitor\tNVIDIA NVAPI\n\tTemperature 0\t45\u00B0C (113\u00B0F) [0x2D]"})
        EXPECT_NE(gpu.find(line), std::string::npos) << line << "\n" << gpu;
    VexaRun dell(vexa::test::sourcePath("machines/dell-precision-490"));
    const std::string memory = MonitorsSection(RunReport(dell));
    // Half degrees: 0x5B is 45.5 degrees, which the report rounds.
    for (const char* line : {"Hardware monitor\tFB-DIMM\n\tTemperature 0\t46\u00B0C (113\u00B0F) [0x5B] (core)\n",
                             "Hardware monitor\tFB-DIMM\n\tTemperature 0\t44\u00B0C (111\u00B0F) [0x58] (core)\n"})
        EXPECT_NE(memory.find(line), std::string::npos) << line << "\n" << memory;
}

// Whether this host has a system battery as /sys lists it.
bool HostHasBattery() {
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/power_supply", code)) {
        std::ifstream type(entry.path() / "type"), scope(entry.path() / "scope");
        std::string typeText, scopeText;
        type >> typeText;
        scope >> scopeText;
        if (typeText == "Battery" && scopeText != "Device") return true;
    }
    return false;
}

// This host: a battery monitor exactly when /sys lists a system battery
// (one that reports only a percentage is left out by design, so only its
// absence is certain), and no error either way.
TEST(PlatformSensorRuns, ThisHostsBatteriesWithoutError) {
    VexaRun run;
    const std::string monitors = MonitorsSection(RunReport(run));
    if (!HostHasBattery()) { EXPECT_EQ(monitors.find("Hardware monitor\tBattery\n"), std::string::npos) << monitors; }
}

} // namespace
