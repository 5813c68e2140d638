// The readings of the x58 sample's W83667HG in the "Hardware Monitors"
// section of a text report, against the readings recorded beside its
// register dump (tests/data/superio/w83667hg_p6t_se.expect). The board has
// no label tables of its own, so the class's default labels scale the
// inputs; the comparison is made at the chip's inputs: the register byte
// the report shows in brackets at 8 mV per step, times the chip's own
// divider of the AVCC and 3VCC inputs (both halved inside the chip).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaRun;

// "field=value" lines of the .expect file.
std::map<std::string, std::string> ExpectedFields() {
    std::map<std::string, std::string> fields;
    std::istringstream lines(vexa::test::readFile(vexa::test::dataPath("superio/w83667hg_p6t_se.expect")));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

// The value recorded for the list entry named `name` ("voltages", "Vin0"),
// field `field`; 0 where the entry has no such line (as the recording
// leaves zeros out).
double Expected(const std::map<std::string, std::string>& fields, const std::string& list, const std::string& name,
                const std::string& field) {
    for (int i = 0; i < 16; ++i) {
        const std::string entry = list + "[" + std::to_string(i) + "]";
        const auto named = fields.find(entry + ".name");
        if (named == fields.end() || named->second != name) continue;
        const auto value = fields.find(entry + "." + field);
        return value == fields.end() ? 0.0 : std::stod(value->second);
    }
    ADD_FAILURE() << "no " << list << " entry " << name;
    return -1;
}

struct Reading {
    double value;
    unsigned raw;
};

// The sensor lines of one kind ("Voltage", "Temperature", "Fan") by index.
std::map<int, Reading> Readings(const std::string& section, const std::string& kind, const std::string& unit) {
    std::map<int, Reading> readings;
    const std::regex line("\\t" + kind + " (\\d+)\\t+(-?[0-9.]+)" + unit + "[^\\n]*\\[0x([0-9A-F]+)\\]");
    for (auto it = std::sregex_iterator(section.begin(), section.end(), line); it != std::sregex_iterator(); ++it)
        readings[std::stoi((*it)[1])] = {std::stod((*it)[2]), unsigned(std::stoul((*it)[3], nullptr, 16))};
    return readings;
}

std::string MonitorSection(const std::string& report) {
    const std::string rule = "\n" + std::string(73, '-') + "\n\n";
    const size_t start = report.find("Hardware Monitors" + rule);
    const size_t end = report.find("PCI Devices" + rule);
    if (start == std::string::npos || end == std::string::npos || end < start) return {};
    return report.substr(start, end - start);
}

TEST(X58MonitorReadings, TheW83667HGReadsWhatItsDumpRecorded) {
    VexaRun run(vexa::test::sourcePath("machines/x58-nehalem"));
    const vexa::test::VexaResult result = run.run({"-txt=r"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string monitors = MonitorSection(vexa::test::readFile(run.programFile("r.txt")));
    // The chip's own block: the board's other sources (its GPU, its ACPI
    // thermal zone) follow with sensors of their own.
    const size_t chip = monitors.find("Hardware monitor\tWinbond W83667HG\n");
    ASSERT_NE(chip, std::string::npos) << monitors;
    const std::string section = monitors.substr(chip, monitors.find("Hardware monitor\t", chip + 1) - chip);
    const auto fields = ExpectedFields();

    // Inputs 0-6 at registers 0x20-0x26; input 5 reads 0xFF (the top of the
    // scale), which the chip's monitors take for an unconnected input.
    struct Input {
        int index;
        const char* name;
        double divider;
        bool defaultLabelScalesAsChip;  // the default label's formula is the chip's divider
    };
    const Input inputs[] = {{0, "Vcore", 1, true}, {1, "Vin0", 1, true},  {2, "AVcc", 2, true},
                            {3, "3Vcc", 2, false}, {4, "Vin1", 1, false}, {6, "Vin2", 1, true}};
    const auto voltages = Readings(section, "Voltage", " Volts");
    EXPECT_EQ(voltages.size(), std::size(inputs)) << section;
    EXPECT_EQ(voltages.count(5), 0u) << section;
    EXPECT_DOUBLE_EQ(Expected(fields, "voltages", "Vcore_refin", "value"), 0xFF * 0.008);
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        ASSERT_EQ(voltages.count(input.index), 1u) << section;
        const Reading& reading = voltages.at(input.index);
        const double expected = Expected(fields, "voltages", input.name, "value");
        EXPECT_NEAR(reading.raw * 0.008 * input.divider, expected, 1e-6);
        if (input.defaultLabelScalesAsChip) { EXPECT_NEAR(reading.value, expected, 0.005 + 1e-9); }
    }

    // SYSTIN at 0x27 in whole degrees, CPUTIN and AUXTIN of banks 1 and 2 in
    // half degrees; the report rounds to whole degrees.
    const std::pair<int, const char*> temperatures[] = {{0, "SYSTIN"}, {1, "CPUTIN"}, {2, "AUXTIN"}};
    const auto degrees = Readings(section, "Temperature", "\xC2\xB0" "C");
    EXPECT_EQ(degrees.size(), std::size(temperatures)) << section;
    for (const auto& [index, name] : temperatures) {
        SCOPED_TRACE(name);
        ASSERT_EQ(degrees.count(index), 1u) << section;
        const double expected = Expected(fields, "temperatures", name, "value");
        EXPECT_EQ(degrees.at(index).raw / (index ? 2.0 : 1.0), expected);
        EXPECT_EQ(degrees.at(index).value, std::floor(expected + 0.5));
    }

    // Fans: the recording truncates the speed, the report rounds it. Fans 2
    // and 4 count no pulses (no speed recorded) and are not shown.
    const std::pair<int, const char*> fans[] = {{0, "SYSFAN"}, {1, "CPUFAN"}, {3, "AUXFAN1"}};
    const auto speeds = Readings(section, "Fan", " RPM");
    EXPECT_EQ(speeds.size(), std::size(fans)) << section;
    EXPECT_EQ(Expected(fields, "fans", "AUXFAN", "speed[0].value"), 0);
    EXPECT_EQ(Expected(fields, "fans", "AUXFAN2", "speed[0].value"), 0);
    for (const auto& [index, name] : fans) {
        SCOPED_TRACE(name);
        ASSERT_EQ(speeds.count(index), 1u) << section;
        EXPECT_NEAR(speeds.at(index).value, Expected(fields, "fans", name, "speed[0].value"), 1.0);
    }
}

} // namespace
