// Every real SPD image of tests/data/spd, alone on the SMBus of a machine
// image, found by the scan through the ICH controller and decoded: the
// "Memory SPD" section agrees with the facts of its .expect file. Texts
// are the report's own where they differ in wording (speed ratings, maker
// names); the facts behind them must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/chipset/spd_interface.h"
#include "sdk/core/report_generator.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using Facts = std::map<std::string, std::string>;

constexpr const char* kSpdFiles[] = {
    "DDR-OCZ4001024ELPE.spd",      "DDR2-GoldenEmpire-1.spd",    "DDR3-9905403-440.A00LF.spd",
    "DDR3-M378B5173DB0-CK0.spd",   "DDR3-M391B1G73QH0-CMA.spd",  "DDR4-M393A1G40EB1-CPB.spd",
    "Hynix_HMT425S6CFR6A.spd.hex", "Micron_4KTF25664HZ.spd.hex", "Samsung_K4B4G1646Q.spd.hex",
    "micron-MT40A1G16KD-062E-E.spd.hex"};

Facts ReadExpect(const std::string& file) {
    Facts facts;
    std::istringstream lines(readFile(dataPath("spd/" + file + ".expect")));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return facts;
}

bool StartsWithNone(const std::string& value) { return value.rfind("none", 0) == 0; }

// The value of a report line "\t<label><pad><value>"; empty when absent.
std::string LineValue(const std::string& report, const std::string& label) {
    const std::regex line("\n\t" + label + "\t+([^\n]*)");
    std::smatch match;
    return std::regex_search(report, match, line) ? match[1].str() : std::string();
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The first "<name>-<rate>" of a speed text, as in "DDR3-1333 (PC3-10600)".
int DataRateOf(const std::string& speed) {
    std::smatch match;
    return std::regex_search(speed, match, std::regex("DDR\\d?-(\\d+)")) ? std::stoi(match[1].str()) : -1;
}

// "CL-tRCD-tRP-tRAS" of "9-9-9-24" or "2.5-3-2-5".
std::vector<float> Timings(const std::string& text) {
    std::vector<float> values;
    std::smatch match;
    if (std::regex_search(text, match, std::regex("^([0-9.]+)-(\\d+)-(\\d+)-(\\d+)")))
        for (int i = 1; i <= 4; ++i) values.push_back(std::stof(match[i].str()));
    return values;
}

// The JEDEC row at the highest clock with the lowest latency there.
std::vector<float> TimingsAtMaximum(const std::string& report) {
    const std::regex row("\tJEDEC #\\d+\t+([0-9.]+-\\d+-\\d+-\\d+)-[^ ]+ @ (\\d+) MHz");
    int best = -1;
    std::vector<float> timings;
    for (std::sregex_iterator it(report.begin(), report.end(), row), end; it != end; ++it) {
        const int frequency = std::stoi((*it)[2].str());
        const std::vector<float> values = Timings((*it)[1].str());
        if (frequency > best || (frequency == best && values[0] < timings[0])) {
            best = frequency;
            timings = values;
        }
    }
    return timings;
}

// The latencies of "11 10 9" or "2.5", lowest first.
std::vector<float> Latencies(const std::string& text) {
    std::vector<float> values;
    std::istringstream words(text);
    for (std::string word; words >> word;) values.push_back(std::stof(word));
    std::sort(values.begin(), values.end());
    return values;
}

// The latencies of the JEDEC table's rows, in row order.
std::vector<float> JEDECLatencies(const std::string& report) {
    const std::regex row("\tJEDEC #\\d+\t+([0-9.]+)-");
    std::vector<float> values;
    for (std::sregex_iterator it(report.begin(), report.end(), row), end; it != end; ++it)
        values.push_back(std::stof((*it)[1].str()));
    return values;
}

// Voltages named in a text ("1.5 V and 1.35 V", "SSTL 2.5V").
std::set<std::string> Voltages(const std::string& text) {
    std::set<std::string> volts;
    const std::regex number("(\\d+\\.\\d+) ?V");
    for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it) {
        char formatted[16];
        std::snprintf(formatted, sizeof formatted, "%.2f Volts", std::stof((*it)[1].str()));
        volts.insert(formatted);
    }
    return volts;
}

// The ten JEDEC ID bytes of "bank N ..., code 0xCC".
std::string JEDECIDText(const std::string& jep106) {
    std::smatch bank, code;
    EXPECT_TRUE(std::regex_search(jep106, bank, std::regex("bank (\\d)")));
    EXPECT_TRUE(std::regex_search(jep106, code, std::regex("code 0x([0-9A-F]{2})")));
    std::string id;
    for (int i = 1; i < std::stoi(bank[1].str()); ++i) id += "7F";
    id += code[1].str();
    id.resize(20, '0');
    return id;
}

// The report's maker names where the standard's wording differs.
std::string ReportMakerName(const std::string& name) { return name == "SK Hynix" ? "Hyundai Electronics" : name; }

class RealModule : public PciTest, public ::testing::WithParamInterface<const char*> {
protected:
    // The machine: the x58 sample's chipset and processor with nothing on
    // its SMBus but this module, at 0x50.
    std::string ScanAlone(const std::string& file) {
        ImageDir image;
        image.write("machine.json", R"({"smbus": {"controller": "ich", "devices": [{"address": "0x50", "spd": "spd/)" +
                                        file + R"("}]}})");
        image.write("lspci.txt", X58Lspci());
        image.write("cpuid.txt", readFile(sourcePath("machines/x58-nehalem/cpuid.txt")));
        image.copyData("spd/" + file, "spd/" + file);
        start(image.load());
        EXPECT_TRUE(scannedPCI());
        EXPECT_EQ(sdk().CreateSMBusInterface(), 1);
        EXPECT_EQ(spd_.Scan(nullptr), 1);
        EXPECT_EQ(spd_.m_iModuleCount, 1);
        spd_.DecodeModules(nullptr);
        CReportGenerator_Buffer report;
        spd_.WriteReport(&report);
        return report.GetText();
    }

    CSPDInterface spd_;
};

TEST_P(RealModule, ReportAgreesWithTheExpectedFacts) {
    const std::string file = GetParam();
    const Facts facts = ReadExpect(file);
    const std::string report = "\n" + ScanAlone(file);
    SCOPED_TRACE(report);
    auto fact = [&](const char* key) {
        const auto found = facts.find(key);
        EXPECT_NE(found, facts.end()) << key;
        return found == facts.end() ? std::string() : found->second;
    };

    const std::string type = fact("memory_type").substr(0, fact("memory_type").find(' '));
    EXPECT_EQ(LineValue(report, "Memory type"), type);
    EXPECT_EQ(LineValue(report, "Size"), fact("size_mb") + " MBytes");
    EXPECT_EQ(TrimRight(LineValue(report, "Part number")), fact("part_number"));

    // The maker: its JEP106 bank and code, and its name.
    const std::string maker = LineValue(report, "Manufacturer \\(ID\\)");
    EXPECT_EQ(maker, ReportMakerName(fact("manufacturer")) + " (" + JEDECIDText(fact("manufacturer_jep106")) + ")");

    const std::string serial = fact("serial");
    const std::string expectedSerial = StartsWithNone(serial) ? "" : serial.substr(2);
    EXPECT_EQ(LineValue(report, "Serial number"), expectedSerial);
    std::smatch date;
    const std::string made = fact("manufacture_date");
    const std::string expectedDate = std::regex_search(made, date, std::regex("^\\d\\d(\\d\\d) week (\\d+)"))
                                         ? "Week " + date[2].str() + "/Year " + date[1].str()
                                         : "";
    EXPECT_EQ(LineValue(report, "Manufacturing date"), expectedDate);

    // The fastest JEDEC speed: the clock of the data rate, and the timings there.
    std::smatch clock;
    const std::string bandwidth = LineValue(report, "Max bandwidth");
    ASSERT_TRUE(std::regex_search(bandwidth, clock, std::regex("\\((\\d+) MHz\\)"))) << bandwidth;
    EXPECT_NEAR(2 * std::stoi(clock[1].str()), DataRateOf(fact("jedec_max_speed")), 2) << bandwidth;
    EXPECT_EQ(TimingsAtMaximum(report), Timings(fact("jedec_timings_at_max")));
    EXPECT_EQ(JEDECLatencies(report), Latencies(fact("cas_latencies")));

    const std::string voltage = facts.count("voltage") ? fact("voltage") : fact("voltage_interface");
    EXPECT_TRUE(Voltages(voltage).count(LineValue(report, "Nominal Voltage"))) << voltage;
    const std::string format = LineValue(report, "Module format");
    const std::string moduleType = fact("module_type");
    if (!format.empty()) {
        EXPECT_NE(moduleType.find(format.substr(format.rfind(' ') + 1)), std::string::npos) << format;
    }

    // Ranks and data width, where the type's decoder reports them.
    if (type == "DDR" || type == "DDR2") {
        EXPECT_EQ(LineValue(report, "Number of banks"), fact("ranks"));
        EXPECT_EQ(LineValue(report, "Data width"), fact("data_width_bits") + " bits");
        if (fact("ecc_bits") == "0") {
            EXPECT_EQ(LineValue(report, "Correction"), "None");
        }
    }

    EXPECT_EQ(LineValue(report, "EPP"), "no");
    const std::string xmp = fact("xmp");
    if (StartsWithNone(xmp)) {
        EXPECT_EQ(LineValue(report, "XMP"), "no");
        EXPECT_EQ(report.find("XMP profile"), std::string::npos);
        return;
    }
    EXPECT_EQ(LineValue(report, "XMP"), "yes");
    std::smatch version;
    ASSERT_TRUE(std::regex_search(xmp, version, std::regex("version (\\d\\.\\d)")));
    EXPECT_EQ(LineValue(report, "XMP revision"), version[1].str());
    std::smatch profile;
    const std::string profile1 = fact("xmp_profile1");
    ASSERT_TRUE(std::regex_search(profile1, profile,
                                  std::regex("DDR3-(\\d+) \\(tCK ([0-9.]+) ns\\) ([0-9-]+) at ([0-9.]+) V; .*tWR "
                                             "(\\d+) ns, tRC (\\d+) ns")))
        << profile1;
    EXPECT_NE(report.find("XMP profile\t\t\tXMP-" + profile[1].str() + "\n"), std::string::npos);
    char text[64];
    std::snprintf(text, sizeof text, "%.3f ns", std::stof(profile[2].str()));
    EXPECT_EQ(LineValue(report, "Min Cycle time").substr(0, std::string(text).size()), text);
    std::snprintf(text, sizeof text, "%.3f Volts", std::stof(profile[4].str()));
    EXPECT_EQ(LineValue(report, "Voltage level"), text);
    EXPECT_EQ(LineValue(report, "Min tWR"), profile[5].str() + ".00 ns");
    EXPECT_EQ(LineValue(report, "Min tRC"), profile[6].str() + ".00 ns");
    const std::vector<float> timings = Timings(profile[3].str());
    std::snprintf(text, sizeof text, "%.1f-%d-%d-%d-", timings[0], int(timings[1]), int(timings[2]), int(timings[3]));
    const std::string rowAtProfileClock = std::string(text) + "[^\n]*@ " + std::to_string(std::stoi(profile[1].str()) / 2) +
                                          " MHz";
    EXPECT_TRUE(std::regex_search(report, std::regex("\tXMP #\\d+\t+" + rowAtProfileClock))) << rowAtProfileClock;
}

INSTANTIATE_TEST_SUITE_P(
    SpdFiles, RealModule, ::testing::ValuesIn(kSpdFiles),
    [](const auto& test) {
        std::string name = test.param;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// Every image of the folder is one of the cases above.
TEST(RealModuleFiles, EveryImageOfTheFolderIsTested) {
    std::set<std::string> images;
    for (const auto& entry : std::filesystem::directory_iterator(dataPath("spd")))
        if (entry.path().extension() != ".expect") images.insert(entry.path().filename().string());
    std::set<std::string> tested(std::begin(kSpdFiles), std::end(kSpdFiles));
    EXPECT_EQ(images, tested);
}

} // namespace
} // namespace vexa::test
