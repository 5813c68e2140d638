// Monitors from the EDID of machine images: every EDID of tests/data/edid
// alone in an image, decoded to the facts its .expect file states and
// reported; blocks too short, timings without totals, the vendor table.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/edid.h"
#include "tests/sdk/hw/access_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

std::vector<std::string> EdidFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dataPath("edid")))
        if (entry.path().extension() == ".bin") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> ExpectedFacts(const std::string& name) {
    std::map<std::string, std::string> facts;
    std::ifstream in(dataPath("edid/" + name + ".expect"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        // "(none: ...)" states that the block lacks the field.
        if (equals != std::string::npos && line.compare(equals + 1, 5, "(none") != 0)
            facts[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return facts;
}

std::vector<int> Numbers(const std::string& text) {
    std::vector<int> numbers;
    static const std::regex number("[0-9]+");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it)
        numbers.push_back(std::stoi(it->str()));
    return numbers;
}

class MonitorTest : public AccessTest {
protected:
    // The display domain of an image that holds these EDID files only.
    CDisplayInterface* ScanWithEdids(const std::vector<std::string>& contents) {
        ImageDir image;
        for (size_t i = 0; i < contents.size(); ++i) image.write("edid/" + std::to_string(i) + ".bin", contents[i]);
        start(image.load());
        EXPECT_EQ(sdk().CreateDisplayInterface(0), 1);
        return sdk().m_pDisplay;
    }

    static std::vector<_EDID_INFOS*> MonitorsOf(CDisplayInterface* display) {
        std::vector<_EDID_INFOS*> monitors;
        CTListIterator<_EDID_INFOS> it(display->Monitors);
        for (_EDID_INFOS* monitor = it.GetFirst(); monitor; monitor = it.GetNext()) monitors.push_back(monitor);
        return monitors;
    }
};

std::string ReadData(const std::string& name) {
    std::ifstream in(dataPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class EdidSample : public MonitorTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(EdidSample, DecodesAndReportsTheStatedFacts) {
    const std::string name = GetParam();
    auto facts = ExpectedFacts(name);
    CDisplayInterface* display = ScanWithEdids({ReadData("edid/" + name)});
    ASSERT_NE(display, nullptr);
    const auto monitors = MonitorsOf(display);
    ASSERT_EQ(monitors.size(), 1u);
    const _EDID_INFOS& m = *monitors[0];

    // "DEL" and the product code 0x2005 give the id DEL2005, as the file is named.
    std::smatch product;
    ASSERT_TRUE(std::regex_search(facts["product_code"], product, std::regex(R"(0x([0-9A-F]{4}))")));
    EXPECT_EQ(std::string(m.MonitorID), facts["pnp_id"] + product[1].str());
    EXPECT_EQ(name.substr(0, 7), m.MonitorID);
    const char* maker = MonitorVendorName(facts["pnp_id"].c_str());
    EXPECT_STREQ(m.Manufacturer, maker ? maker : "");

    const auto made = Numbers(facts["manufacture"]);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(m.Week, made[0]);
    EXPECT_EQ(m.Year, made[1]);
    EXPECT_EQ(std::string(m.Version), facts["edid_version"]);

    const auto size = facts.count("screen_size_cm") ? Numbers(facts["screen_size_cm"]) : std::vector<int>{0, 0};
    EXPECT_EQ(m.WidthCm, size[0]);
    EXPECT_EQ(m.HeightCm, size[1]);
    EXPECT_NEAR(m.DiagonalInches, std::hypot(size[0], size[1]) / 2.54, 0.001);

    std::smatch timing;
    ASSERT_TRUE(std::regex_search(facts["preferred_timing"], timing, std::regex(R"((\d+)x(\d+) @ ([0-9.]+) Hz)")));
    EXPECT_EQ(m.PreferredWidth, std::stoi(timing[1]));
    EXPECT_EQ(m.PreferredHeight, std::stoi(timing[2]));
    const double hz = std::stod(timing[3]);
    EXPECT_LE(m.PreferredRefresh, hz + 0.0005);  // truncated, never rounded up
    EXPECT_GT(m.PreferredRefresh, hz - 1.0);

    std::string model = facts["monitor_name"];
    if (const std::string raw = facts["monitor_name_raw"]; !raw.empty()) model = raw.substr(1, raw.find('\'', 1) - 1);
    EXPECT_EQ(std::string(m.ModelName), model);
    // Every sample is EDID 1.3: the serial descriptor's text, which the
    // record keeps with the blanks the monitor put before it.
    std::string serial = m.SerialNumber;
    serial.erase(0, serial.find_first_not_of(' '));
    EXPECT_EQ(serial, facts["serial_string"]);

    const auto limits = Numbers(facts["range_limits"]);
    if (limits.size() == 5) {
        EXPECT_EQ(m.VerticalMinHz, limits[0]);
        EXPECT_EQ(m.VerticalMaxHz, limits[1]);
        EXPECT_EQ(m.HorizontalMinKHz, limits[2]);
        EXPECT_EQ(m.HorizontalMaxKHz, limits[3]);
        EXPECT_EQ(m.MaxPixelClockMHz, limits[4]);
    } else {
        EXPECT_EQ(m.VerticalMaxHz, 0);
        EXPECT_EQ(m.MaxPixelClockMHz, 0);
    }

    CReportGenerator_Buffer report;
    display->Dump(&report);
    const std::string text = report.GetText();
    EXPECT_NE(text.find("Monitor 0"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(m.ModelName) + " (" + m.Manufacturer + ")"), std::string::npos) << text;
    EXPECT_NE(text.find(timing[1].str() + " x " + timing[2].str() + " @ " + std::to_string(m.PreferredRefresh) + " Hz"),
              std::string::npos)
        << text;
}

INSTANTIATE_TEST_SUITE_P(Samples, EdidSample, ::testing::ValuesIn(EdidFiles()),
                         [](const auto& sample) { return sample.param.substr(0, sample.param.find('.')); });

TEST_F(MonitorTest, MonitorsFollowTheImageNumbering) {
    CDisplayInterface* display =
        ScanWithEdids({ReadData("edid/SNY0571_CF384E9579A9.bin"), ReadData("edid/DEL2005_0771A94A1DAD.bin")});
    const auto monitors = MonitorsOf(display);
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_STREQ(monitors[0]->MonitorID, "SNY0571");
    EXPECT_STREQ(monitors[1]->MonitorID, "DEL2005");
    EXPECT_EQ(sdk().m_pDisplay->Adapters->GetCount(), 0u);
}

// A block shorter than 128 bytes is read only as far as it goes: the rest
// counts as zero. A preferred timing without totals gives no refresh rate.
TEST_F(MonitorTest, ShortBlocksAndEmptyTimings) {
    std::string edid = ReadData("edid/SNY0571_CF384E9579A9.bin").substr(0, 0x40);
    edid[0x18] = char(edid[0x18] | 0x02);
    // The first descriptor's pixel clock stays, its totals become zero.
    for (size_t i = 0x36 + 2; i < 0x36 + 8 && i < edid.size(); ++i) edid[i] = 0;
    CDisplayInterface* display = ScanWithEdids({edid, std::string("\x10\xAC", 2)});
    const auto monitors = MonitorsOf(display);
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_STREQ(monitors[0]->MonitorID, "SNY0571");
    EXPECT_EQ(monitors[0]->PreferredRefresh, 0);
    EXPECT_EQ(monitors[0]->PreferredWidth, 0);
    EXPECT_STREQ(monitors[0]->ModelName, "");
    EXPECT_STREQ(monitors[1]->MonitorID, "@@@0000");
    EXPECT_STREQ(monitors[1]->Manufacturer, "Nissei Sangyo");
    EXPECT_EQ(monitors[1]->Year, 1990);
}

TEST(Edid, DecodesTheFieldsOfAHandMadeBlock) {
    uint8_t b[128] = {};
    b[8] = 0x10, b[9] = 0xAC, b[10] = 0x34, b[11] = 0x12;  // DEL1234
    b[0x0C] = 0x78, b[0x0D] = 0x56, b[0x0E] = 0x34, b[0x0F] = 0x12;
    b[0x12] = 1, b[0x13] = 1;  // revision 1.1: the serial comes from the id bytes
    b[0x15] = 52, b[0x16] = 32, b[0x17] = 120, b[0x18] = 0x02;
    const uint8_t timing[] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40};  // 1920x1080, 148.5 MHz
    std::copy(std::begin(timing), std::end(timing), b + 0x36);
    const uint8_t serial[] = {0, 0, 0, 0xFF, 0, 'S', 'N'};
    std::copy(std::begin(serial), std::end(serial), b + 0x48);
    const uint8_t name[] = {0, 0, 0, 0xFC, 0, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 0x0A};
    std::copy(std::begin(name), std::end(name), b + 0x5A);
    _EDID_INFOS m;
    ParseEDID(b, sizeof b, &m);
    EXPECT_STREQ(m.MonitorID, "DEL1234");
    EXPECT_STREQ(m.Manufacturer, "Dell Computer");
    EXPECT_STREQ(m.SerialNumber, "78563412");
    EXPECT_STREQ(m.ModelName, "ABCDEFGHIJ");
    EXPECT_STREQ(m.Version, "1.1");
    EXPECT_FLOAT_EQ(m.Gamma, 2.2f);
    EXPECT_NEAR(m.DiagonalInches, 24.038, 0.001);  // printed as 24.0
    EXPECT_EQ(m.PreferredWidth, 1920);
    EXPECT_EQ(m.PreferredHeight, 1080);
    EXPECT_EQ(m.PreferredRefresh, 60);
}

} // namespace
} // namespace vexa::test
