// The drive and operating-system queries (slots 142-147) after a scan, the
// storage and software sections of the reports, and the limited scan of a
// virtual machine.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/local_info_parser.h"
#include "app/settings.h"
#include "sdk/core/interface.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "tests/support/ata_sectors.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::ImageDir;

struct QueryLayer {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser parser{settings, noValidation};
    ~QueryLayer() { parser.Close(); }
};

// The x58 sample's processors with the given manifest and files.
std::unique_ptr<vexa::machine::Machine> SampleWith(const std::string& manifest,
                                                   const std::map<std::string, std::string>& files = {}) {
    ImageDir image;
    image.write("machine.json", manifest);
    image.write("cpuid.txt", vexa::test::readFile(vexa::test::sourcePath("machines/x58-nehalem/cpuid.txt")));
    for (const auto& [name, content] : files) image.write(name, content);
    return image.load();
}

std::wstring Text(int (CInfoParser::*query)(wchar_t*), CInfoParser& parser) {
    wchar_t text[kInfoTextChars] = L"untouched";
    return (parser.*query)(text) ? std::wstring(text) : L"(0) " + std::wstring(text);
}

std::wstring DriveName(CInfoParser& parser, int D) {
    wchar_t text[kInfoTextChars] = L"untouched";
    return parser.GetDriveName(D, text) ? std::wstring(text) : L"(0) " + std::wstring(text);
}

constexpr const char* kDrives = R"("drives": [
    {"property": {"product": "First Fixed"}, "sectors": 2097152},
    {"property": {"product": "Card Reader"}, "sectors": 3862528, "removable": true},
    {"property": {"product": "Second Fixed"}, "sectors": 4194304},
    {"property": {"vendor": ""}, "sectors": 1048576}])";

TEST(SystemQueries, FixedDrivesSkipTheRemovableOnes) {
    vexa::machine::ScopedMachine machine(SampleWith(std::string("{") + kDrives + "}"));
    QueryLayer layer;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);
    CInfoParser& parser = layer.parser;
    EXPECT_EQ(parser.GetDriveCount(), 3);
    EXPECT_EQ(DriveName(parser, 0), L"First Fixed");
    EXPECT_EQ(DriveName(parser, 1), L"Second Fixed");
    EXPECT_EQ(DriveName(parser, 2), L"(0) untouched") << "no model text";
    EXPECT_EQ(DriveName(parser, 3), L"(0) untouched");
    EXPECT_EQ(DriveName(parser, -1), L"(0) untouched");
    EXPECT_EQ(parser.GetDriveCapacity(0), 1019);  // 130 cylinders of 255 x 63 sectors
    EXPECT_EQ(parser.GetDriveCapacity(1), 2047);  // 261 cylinders
    EXPECT_EQ(parser.GetDriveCapacity(3), -1);
}

TEST(SystemQueries, WindowsAndDirectXTexts) {
    vexa::machine::ScopedMachine machine(SampleWith(R"({"os": {"windows": {"major": 6, "minor": 1, "build": 7601,
        "csd": "Service Pack 1", "product_type": 1, "product_info": 1, "dxdiag": {"long_english": "DirectX 11"}}}})"));
    QueryLayer layer;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);
    EXPECT_EQ(Text(&CInfoParser::GetWindowsVersion, layer.parser),
              L"Microsoft Windows 7 (6.1) Ultimate Edition 64-bit ");
    EXPECT_EQ(Text(&CInfoParser::GetWindowsBuild, layer.parser), L"Service Pack 1 (Build 7601) ");
    EXPECT_EQ(Text(&CInfoParser::GetDirectXVersion, layer.parser), L"11.0");

    CReportGenerator_Buffer report;
    layer.parser.WriteReport(&report);
    const std::string text = report.GetText();
    EXPECT_NE(text.find("소프트웨어\n" + std::string(73, '-') +
                        "\n\nWindows Version\t\t\tMicrosoft Windows 7 (6.1) Ultimate Edition 64-bit  Service Pack 1 "
                        "(Build 7601) \nDirectX Version\t\t\t11.0\n\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("저장소\n" + std::string(73, '-') + "\n\nUSB Devices\n"), std::string::npos) << text;
}

TEST(SystemQueries, WithoutTheDomainsTheQueriesAnswerNothing) {
    vexa::machine::ScopedMachine machine(SampleWith(std::string("{") + kDrives + "}"));
    QueryLayer layer;
    layer.settings.Storage = 0;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);
    EXPECT_EQ(layer.parser.GetDriveCount(), 0);
    EXPECT_EQ(layer.parser.GetDriveCapacity(0), -1);
    EXPECT_EQ(DriveName(layer.parser, 0), L"(0) untouched");
    EXPECT_EQ(Text(&CInfoParser::GetDirectXVersion, layer.parser), L"(0) untouched") << "an empty DirectX text";
}

// A virtual machine of VMware: the scan leaves out the domains that touch
// hardware it fakes, refuses the validation record and says why.
TEST(SystemQueries, VMwareLimitsTheScan) {
    vexa::machine::ScopedMachine machine(SampleWith(R"({"vm": "vmware"})"));
    QueryLayer layer;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);
    EXPECT_EQ(error, SCAN_ERROR_LIMITED);
    EXPECT_EQ(layer.noValidation, 1);
    EXPECT_EQ(layer.settings.PCI, 0);
    EXPECT_EQ(layer.settings.ACPI, 0);
    EXPECT_EQ(layer.settings.SMBus, 0);
    EXPECT_EQ(layer.settings.Sensor, 0);
    EXPECT_EQ(layer.settings.Display, 0);
    EXPECT_FALSE(GetSDK()->m_pPCI);
    EXPECT_FALSE(GetSDK()->m_pACPI);
    EXPECT_TRUE(GetSDK()->FindInterface(INTERFACE_STORAGE));
}

TEST(SystemQueries, RealHardwareIsNotLimited) {
    vexa::machine::ScopedMachine machine(SampleWith(R"({"vm": "none"})"));
    QueryLayer layer;
    int error = -1, detail = 0;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);
    EXPECT_EQ(error, SCAN_ERROR_NONE);
    EXPECT_EQ(layer.settings.PCI, 1);
}

} // namespace
