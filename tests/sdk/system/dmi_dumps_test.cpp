// The real SMBIOS dumps of tests/data/smbios: a machine image with only
// smbios.bin gives a DMI report that agrees with each dump's .expect file
// in every field the structures decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_table.h"
#include "tests/sdk/system/dmi_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

const char* const kDumps[] = {
    "smbios/ASRock-Single-Ryzen.dump-bin",   "smbios/Beelink-EQ12.dmi",
    "smbios/DellPrecisionWorkStation-490.dmp", "smbios/LenovoThinkPad-T61p.dmp",
    "smbios/ProLiant-DL580-G5.0.dmidump",
};

std::map<std::string, std::string> ReadExpect(const std::string& dump) {
    std::map<std::string, std::string> facts;
    std::ifstream in(dataPath(dump + ".expect"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return facts;
}

std::string ReportOfImage(const std::string& dump) {
    const Bytes file = DataBytes(dump);
    machine::ScopedMachine scoped(MachineWithSmbios(std::string(file.begin(), file.end())));
    CDMIInterface dmi;
    EXPECT_EQ(dmi.Init(), 1);
    return ReportOf(dmi);
}

// ---- What the .expect files say, in the report's words ----

bool Absent(const std::string& value) {
    return value.empty() || value == "(none)" || value.rfind("(field absent", 0) == 0;
}

// A text the library cleans; "unknown" when there is none.
std::string Cleaned(const std::string& value) {
    if (Absent(value)) return "unknown";
    std::vector<char> text(value.begin(), value.end());
    text.push_back('\0');
    DMICleanText(text.data());
    return text[0] ? text.data() : "unknown";
}

// A text the library keeps as stored.
std::string AsStored(const std::string& value) { return Absent(value) ? "unknown" : value; }

// A clock in MHz: "%.1f MHz", absent when unknown (0).
std::string ClockLine(const std::string& value) {
    if (value.rfind("unknown", 0) == 0) return "(absent)";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MHz", std::stod(value));
    return text;
}

// A memory speed: "%d MHz", absent when unknown (0).
std::string SpeedLine(const std::string& value) {
    return value.rfind("unknown", 0) == 0 ? "(absent)" : value + " MHz";
}

// "1024 MB" -> "1024 MBytes"; no module: no line. The size word 0x7FFF
// that points at the extended size field is taken as 32767 MB.
std::string SizeLine(const std::string& value) {
    if (value.rfind("none", 0) == 0) return "(absent)";
    if (value.find("extended size field") != std::string::npos) return "32767 MBytes";
    return std::to_string(std::stol(value)) + " MBytes";
}

// "128 GB" -> "131072 MBytes".
std::string CapacityLine(const std::string& value) {
    const long amount = std::stol(value);
    return std::to_string(value.find("GB") != std::string::npos ? amount * 1024 : amount) + " MBytes";
}

// Chassis types by name as the library names them; other codes in the
// library's "%0xX" form.
std::string ChassisType(const std::string& value) {
    if (value == "Unknown (code 0x02)") return "2X";
    return value.substr(0, value.find(" (code"));
}

// The library names memory types up to DDR and the form factors before
// FB-DIMM; every later or "Unknown" one prints as unknown.
std::string MemoryType(const std::string& value) {
    const int code = std::stoi(value.substr(value.find("0x")), nullptr, 16);
    return code <= 0x12 && code >= 3 ? value.substr(0, value.find(" (code")) : "unknown";
}

std::string FormFactor(const std::string& value) {
    return value == "FB-DIMM" || value == "Unknown" ? "unknown" : value;
}

struct FieldRule {
    const char* fact;    // key after the group prefix
    const char* label;   // report label
    std::string (*convert)(const std::string&);
    // The library keeps this text as stored, surrounding blanks included,
    // where the .expect gives it trimmed: the blanks are compared apart.
    bool keepsBlanks = false;
};

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

struct GroupRule {
    const char* prefix;  // "bios", "cpu" (indexed: cpu0., cpu1., ...)
    bool indexed;
    const char* title;
    std::vector<FieldRule> fields;
};

const GroupRule kGroups[] = {
    {"bios", false, "DMI BIOS",
     {{"vendor", "vendor", Cleaned}, {"version", "version", Cleaned}, {"release_date", "date", Cleaned}}},
    {"system", false, "DMI System Information",
     {{"manufacturer", "manufacturer", Cleaned}, {"product", "product", Cleaned},
      {"version", "version", Cleaned}, {"serial", "serial", Cleaned}}},
    {"board", false, "DMI Baseboard",
     {{"manufacturer", "vendor", Cleaned}, {"product", "model", Cleaned}, {"version", "revision", Cleaned},
      {"serial", "serial", Cleaned}}},
    {"chassis", false, "DMI System Enclosure", {{"type", "chassis type", ChassisType}}},
    {"cpu", true, "DMI Processor",
     {{"manufacturer", "manufacturer", Cleaned}, {"version", "model", Cleaned},
      {"current_speed_mhz", "clock speed", ClockLine}, {"external_clock_mhz", "FSB speed", ClockLine}}},
    {"memarray", true, "DMI Physical Memory Array",
     {{"max_capacity", "max capacity", CapacityLine}, {"devices", "max# of devices", AsStored},
      {"use", "usage", AsStored}, {"ecc", "correction", AsStored}}},
    {"mem", true, "DMI Memory Device",
     {{"locator", "designation", AsStored, true}, {"size", "size", SizeLine}, {"form_factor", "format", FormFactor},
      {"type", "type", MemoryType}, {"speed_mts", "speed", SpeedLine}}},
};

std::vector<const ReportBlock*> BlocksTitled(const std::vector<ReportBlock>& blocks, const std::string& title) {
    std::vector<const ReportBlock*> found;
    for (const ReportBlock& block : blocks)
        if (block.title == title) found.push_back(&block);
    return found;
}

class DMIDump : public ::testing::TestWithParam<const char*> {};

TEST_P(DMIDump, ReportAgreesWithTheExpectedFacts) {
    const auto facts = ReadExpect(GetParam());
    ASSERT_FALSE(facts.empty());
    const auto blocks = ParseReport(ReportOfImage(GetParam()));
    size_t compared = 0;
    for (const GroupRule& group : kGroups) {
        const auto found = BlocksTitled(blocks, group.title);
        size_t expectedBlocks = 0;
        for (size_t index = 0;; ++index) {
            const std::string prefix =
                group.indexed ? group.prefix + std::to_string(index) + "." : std::string(group.prefix) + ".";
            if (!std::any_of(facts.begin(), facts.end(),
                             [&](const auto& fact) { return fact.first.rfind(prefix, 0) == 0; }))
                break;
            ++expectedBlocks;
            ASSERT_LT(index, found.size()) << "no block " << index << " titled " << group.title;
            for (const FieldRule& field : group.fields) {
                const auto fact = facts.find(prefix + field.fact);
                if (fact == facts.end()) continue;
                const std::string shown = found[index]->Value(field.label);
                EXPECT_EQ(field.keepsBlanks ? Trimmed(shown) : shown, field.convert(fact->second))
                    << prefix + field.fact << " = " << fact->second;
                ++compared;
            }
            if (!group.indexed) break;
        }
        EXPECT_EQ(found.size(), expectedBlocks) << group.title;
    }
    EXPECT_GT(compared, 20u);
}

// The blocks that name each machine, in full: what the .expect files do
// not list (ROM size, UUID, SKU, family, enclosure texts) checked against
// dmidecode 3.4, in the library's own words. The UUID is shown as Windows
// shows a GUID, the first three fields little-endian whatever the version.
struct IdentityCase {
    const char* dump;
    std::string blocks;
};

const IdentityCase kIdentities[] = {
    {"smbios/ASRock-Single-Ryzen.dump-bin",
     "DMI BIOS\t\t\n\tvendor\t\t\tAmerican Megatrends International LLC.\n\tversion\t\t\tP1.20\n"
     "\tdate\t\t\t05/19/2021\n\tROM size\t\t16384 KB\n\n"
     "DMI System Information\t\t\n\tmanufacturer\t\tTo Be Filled By O.E.M.\n\tproduct\t\t\tTo Be Filled By O.E.M.\n"
     "\tversion\t\t\tTo Be Filled By O.E.M.\n\tserial\t\t\tTo Be Filled By O.E.M.\n"
     "\tUUID\t\t\t{00000000-0000-0000-0000-D05099FAA835}\n\tSKU\t\t\tTo Be Filled By O.E.M.\n"
     "\tfamily\t\t\tTo Be Filled By O.E.M.\n\n"
     "DMI Baseboard\t\t\n\tvendor\t\t\tASRockRack\n\tmodel\t\t\tX570D4U\n\trevision\t\tunknown\n"
     "\tserial\t\t\t209624590000277\n\n"
     "DMI System Enclosure\t\t\n\tmanufacturer\t\tTo Be Filled By O.E.M.\n\tchassis type\t\t2X\n"
     "\tchassis serial\t\tTo Be Filled By O.E.M.\n\n"},
    {"smbios/Beelink-EQ12.dmi",
     "DMI BIOS\t\t\n\tvendor\t\t\tAmerican Megatrends International LLC.\n\tversion\t\t\tN95V106\n"
     "\tdate\t\t\t12/15/2023\n\tROM size\t\t16384 KB\n\n"
     "DMI System Information\t\t\n\tmanufacturer\t\tAZW\n\tproduct\t\t\tEQ\n\tversion\t\t\tDefault string\n"
     "\tserial\t\t\tBN1004GH10075\n\tUUID\t\t\t{03000200-0400-0500-0006-000700080009}\n"
     "\tSKU\t\t\tDefault string\n\tfamily\t\t\tDefault string\n\n"
     "DMI Baseboard\t\t\n\tvendor\t\t\tAZW\n\tmodel\t\t\tEQ\n\trevision\t\tDefault string\n"
     "\tserial\t\t\tDefault string\n\n"
     "DMI System Enclosure\t\t\n\tmanufacturer\t\tDefault string\n\tchassis type\t\tDesktop\n"
     "\tchassis serial\t\tDefault string\n\n"},
    {"smbios/DellPrecisionWorkStation-490.dmp",
     "DMI BIOS\t\t\n\tvendor\t\t\tDell Inc.\n\tversion\t\t\tA05\n\tdate\t\t\t05/24/2007\n"
     "\tROM size\t\t1024 KB\n\n"
     "DMI System Information\t\t\n\tmanufacturer\t\tDell Inc.\n\tproduct\t\t\tPrecision WorkStation 490\n"
     "\tversion\t\t\tunknown\n\tserial\t\t\tBLVX13J\n\tUUID\t\t\t{4C4C4544-004C-5610-8058-C2C04F31334A}\n"
     "\tSKU\t\t\tunknown\n\tfamily\t\t\tunknown\n\n"
     "DMI Baseboard\t\t\n\tvendor\t\t\tDell Inc.\n\tmodel\t\t\t0GU083\n\trevision\t\tA00\n"
     "\tserial\t\t\t..CN1374076601D8.\n\n"
     "DMI System Enclosure\t\t\n\tmanufacturer\t\tDell Inc.\n\tchassis type\t\tTower\n"
     "\tchassis serial\t\tBLVX13J\n\n"},
    {"smbios/LenovoThinkPad-T61p.dmp",
     "DMI BIOS\t\t\n\tvendor\t\t\tLENOVO\n\tversion\t\t\t7LET56WW (1.26 )\n\tdate\t\t\t10/18/2007\n"
     "\tROM size\t\t4096 KB\n\n"
     "DMI System Information\t\t\n\tmanufacturer\t\tLENOVO\n\tproduct\t\t\t64606XG\n"
     "\tversion\t\t\tThinkPad T61p\n\tserial\t\t\tL3C7558\n\tUUID\t\t\t{81282BD0-C749-CB11-AF0D-F6E4FB596C58}\n"
     "\tSKU\t\t\tunknown\n\tfamily\t\t\tThinkPad T61p\n\n"
     "DMI Baseboard\t\t\n\tvendor\t\t\tLENOVO\n\tmodel\t\t\t64606XG\n\trevision\t\tNot Available\n"
     "\tserial\t\t\tVF19X79H1H5\n\n"
     "DMI System Enclosure\t\t\n\tmanufacturer\t\tLENOVO\n\tchassis type\t\tNotebook\n"
     "\tchassis serial\t\tNot Available\n\n"},
    {"smbios/ProLiant-DL580-G5.0.dmidump",
     "DMI BIOS\t\t\n\tvendor\t\t\tHP\n\tversion\t\t\tP61\n\tdate\t\t\t12/07/2007\n\tROM size\t\t4096 KB\n\n"
     "DMI System Information\t\t\n\tmanufacturer\t\tHP\n\tproduct\t\t\tProLiant DL580 G5\n"
     "\tversion\t\t\tunknown\n\tserial\t\t\tSGH802DTDB\n\tUUID\t\t\t{30383334-3738-4753-4838-303244544442}\n"
     "\tSKU\t\t\t438087-371\n\tfamily\t\t\tProLiant\n\n"
     "DMI System Enclosure\t\t\n\tmanufacturer\t\tHP\n\tchassis type\t\tRack Mount Chassis\n"
     "\tchassis serial\t\tSGH802DTDB\n\n"},
};

TEST(DMIDumpIdentity, EachReportOpensWithTheBlocksThatNameTheMachine) {
    for (const IdentityCase& c : kIdentities) {
        const std::string report = ReportOfImage(c.dump);
        EXPECT_EQ(report.substr(0, c.blocks.size()), c.blocks) << c.dump;
    }
}

// "smbios/DellPrecisionWorkStation-490.dmp" -> "DellPrecisionWorkStation".
std::string DumpName(const ::testing::TestParamInfo<const char*>& row) {
    const std::string file = std::string(row.param).substr(std::string(row.param).find('/') + 1);
    return file.substr(0, file.find_first_of(".-"));
}

INSTANTIATE_TEST_SUITE_P(TestData, DMIDump, ::testing::ValuesIn(kDumps), DumpName);

} // namespace
} // namespace vexa::test
