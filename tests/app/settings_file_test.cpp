// vexa.ini: reading applies the [Vexa] section's lines by key, writing
// gives the fixed layout, and the application object keeps the file in
// its program folder.
#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cwchar>
#include <filesystem>
#include <fstream>

#include "app/unicode_text_file.h"
#include "app/vexa_app.h"
#include "sdk/core/file_version.h"
#include "sdk/core/helpers.h"
#include "tests/app/app_test_support.h"
#include "tests/support/test_paths.h"

namespace {

FileVersionInfo UnknownVersion() {
    FileVersionInfo version;
    version.Init();
    return version;
}

// Settings compared by everything the file holds of them.
std::wstring Written(const VexaSettings& settings) { return SettingsFileText(settings, UnknownVersion()); }

VexaSettings ReadFromText(const std::wstring& text) {
    const std::string path = (std::filesystem::temp_directory_path() / "vexa.ini").string();
    EXPECT_TRUE(WriteUnicodeTextFile(path.c_str(), text));
    VexaSettings settings;
    ReadSettingsFile(path.c_str(), settings);
    return settings;
}

TEST(SettingsFile, KeysAcceptTheirFormsAndIgnoreTheRest) {
    struct Case {
        const char* name;
        const wchar_t* lines;  // after "[Vexa]"
        void (*expect)(VexaSettings&);
    };
    const Case cases[] = {
        {"PCI above 2 clamps", L"PCI=5", [](VexaSettings& s) { s.PCI = 2; }},
        {"PCI below 0 clamps", L"PCI=-1", [](VexaSettings& s) { s.PCI = 0; }},
        {"PCI ON", L"PCI=0\nPCI=ON", [](VexaSettings& s) { s.PCI = 1; }},
        {"PCI OFF", L"PCI=OFF", [](VexaSettings& s) { s.PCI = 0; }},
        {"MaxPCIBus 0 clamps", L"MaxPCIBus=0", [](VexaSettings& s) { s.MaxPCIBus = 1; }},
        {"MaxPCIBus 1000 clamps", L"MaxPCIBus=1000", [](VexaSettings& s) { s.MaxPCIBus = 256; }},
        {"MaxPCIBus has no OFF", L"MaxPCIBus=OFF", [](VexaSettings&) {}},
        {"ACPI OFF", L"ACPI=OFF", [](VexaSettings& s) { s.ACPI = 0; }},
        {"ACPI ON", L"ACPI=0\nACPI=ON", [](VexaSettings& s) { s.ACPI = 1; }},
        {"ACPI yes changes nothing", L"ACPI=0\nACPI=yes", [](VexaSettings& s) { s.ACPI = 0; }},
        {"a switch is 1 for any number but 0", L"SMBus=0\nSMBus=7", [](VexaSettings&) {}},
        {"BusClock has no OFF", L"BusClock=OFF", [](VexaSettings&) {}},
        {"BusClock 0", L"BusClock=0", [](VexaSettings& s) { s.BusClock = 0; }},
        {"leading blank", L" ACPI=0", [](VexaSettings&) {}},
        {"UseDisplayAPI leaves Display", L"UseDisplayAPI=0", [](VexaSettings& s) { s.UseDisplayAPI = 0; }},
        {"Display leaves UseDisplayAPI", L"Display=0", [](VexaSettings& s) { s.Display = 0; }},
        {"colour is read as RRGGBB", L"TextFontColor=FF0000", [](VexaSettings& s) { s.TextFontColor = 0x0000FF; }},
        {"colour that is no number", L"TextFontColor=navy", [](VexaSettings&) {}},
        {"font size", L"TextFontSize=20\nLabelFontSize=9", [](VexaSettings& s) { s.TextFontSize = 20, s.LabelFontSize = 9; }},
        {"font size that is no number", L"TextFontSize=big", [](VexaSettings&) {}},
        {"font names", L"LabelFontName=Nanum Gothic\nTextFontName=굴림",
         [](VexaSettings& s) {
             std::wcscpy(s.LabelFontName, L"Nanum Gothic");
             std::wcscpy(s.TextFontName, L"굴림");
         }},
        {"every switch off",
         L"DMI=0\nSensor=OFF\nChipset=0\nSPD=0\nCheckUpdates=0",
         [](VexaSettings& s) { s.DMI = s.Sensor = s.Chipset = s.SPD = s.CheckUpdates = 0; }},
        {"unknown keys and the version line", L"VERSION=9.9.9.9\nColour=1\nnonsense", [](VexaSettings&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VexaSettings expected;
        c.expect(expected);
        EXPECT_EQ(Written(ReadFromText(std::wstring(L"[Vexa]\n") + c.lines + L"\n")), Written(expected));
    }
}

TEST(SettingsFile, OnlyLinesAfterTheFirstSectionLineApply) {
    struct Case {
        const char* name;
        const wchar_t* text;
        void (*expect)(VexaSettings&);
    };
    const Case cases[] = {
        {"other sections first, later ones read too", L"[Other]\nDMI=0\n[Vexa]\nSMBus=0\n[Later]\nSensor=0\n",
         [](VexaSettings& s) { s.SMBus = 0, s.Sensor = 0; }},
        {"no section", L"ACPI=0\nDMI=0\n", [](VexaSettings&) {}},
        {"section line with more on it", L"; [Vexa] settings\nACPI=0\n", [](VexaSettings& s) { s.ACPI = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VexaSettings expected;
        c.expect(expected);
        EXPECT_EQ(Written(ReadFromText(c.text)), Written(expected));
    }
}

TEST(SettingsFile, ValueIsTheTextAfterTheFirstEqualsSignWithinItsBuffer) {
    struct Case {
        std::wstring line;
        std::wstring value;
    };
    const Case cases[] = {
        {L"TextFontName=Arial\n", L"Arial"},
        {L"a=b=c", L"b=c"},
        {L"no equals sign", L""},
        {L"TextFontName=" + std::wstring(300, L'x'), std::wstring(255, L'x')},
    };
    for (const Case& c : cases) {
        wchar_t value[kSettingsTextChars];
        IniLineValue(c.line.c_str(), value);
        EXPECT_EQ(value, c.value) << c.line.substr(0, 40).c_str();
    }
}

TEST(SettingsFile, WritesTheFixedLayout) {
    VexaSettings settings;
    std::wcscpy(settings.TextFontName, L"Tahoma");
    settings.TextFontColor = 0x0000FF;
    settings.ACPI = 0;
    settings.PCI = 2;
    settings.MaxPCIBus = 32;
    settings.Sensor = 5;  // any non-zero switch is written as 1
    FileVersionInfo version = UnknownVersion();
    version.Major = 1, version.Minor = 7, version.Build = 1, version.Revision = 0;
    EXPECT_EQ(SettingsFileText(settings, version),
              L"[Vexa]\nVERSION=1.7.1.0\nTextFontName=Tahoma\nTextFontSize=14\nTextFontColor=FF0000\n"
              L"LabelFontName=\nLabelFontSize=14\nACPI=0\nPCI=2\nMaxPCIBus=32\nDMI=1\nSensor=1\nSMBus=1\n"
              L"Display=1\nUseDisplayAPI=1\nBusClock=1\nChipset=1\nSPD=1\nCheckUpdates=1\n");
    EXPECT_NE(SettingsFileText(VexaSettings{}, UnknownVersion()).find(L"VERSION=-1.-1.-1.-1\n"), std::wstring::npos);
}

TEST(SettingsFile, LongFontNamesAreCutToTheLineBuffer) {
    VexaSettings settings;
    std::wmemset(settings.TextFontName, L'n', VexaSettings::kFontNameChars - 1);
    settings.TextFontName[VexaSettings::kFontNameChars - 1] = L'\0';
    const std::wstring text = SettingsFileText(settings, UnknownVersion());
    const std::wstring expected = L"TextFontName=" + std::wstring(255 - 13, L'n') + L"\n";
    EXPECT_NE(text.find(expected), std::wstring::npos);
}

// The application object reads and writes the file in its program folder,
// which becomes the current directory.
TEST(SettingsFile, ApplicationRoundTripsItsSettingsInTheProgramFolder) {
    vexa::test::ProgramFolder folder;
    const std::wstring original =
        L"[Vexa]\nVERSION=0.0.0.0\nTextFontName=Tahoma\nTextFontSize=12\nTextFontColor=FF0000\n"
        L"LabelFontName=Verdana\nLabelFontSize=11\nACPI=0\nPCI=2\nMaxPCIBus=64\nDMI=0\nSensor=0\nSMBus=0\n"
        L"Display=0\nUseDisplayAPI=0\nBusClock=0\nChipset=0\nSPD=0\nCheckUpdates=0\n";
    ASSERT_TRUE(WriteUnicodeTextFile(folder.file("vexa.ini").c_str(), original));
    {
        CvexaApp app;
        app.ReadIni();
        char current[4096];
        ASSERT_TRUE(getcwd(current, sizeof current));
        EXPECT_EQ(std::filesystem::canonical(current), std::filesystem::canonical(folder.path()));
        EXPECT_EQ(app.m_Settings.TextFontColor, 0x0000FFu);
        std::filesystem::remove(folder.file("vexa.ini"));
        app.WriteIni();
        std::wstring expected = original;
        wchar_t versionLine[64];
        FormatStringW(versionLine, 64, L"VERSION=%d.%d.%d.%d", static_cast<int>(app.m_pVersionInfo->Major),
                      static_cast<int>(app.m_pVersionInfo->Minor), static_cast<int>(app.m_pVersionInfo->Build),
                      static_cast<int>(app.m_pVersionInfo->Revision));
        expected.replace(expected.find(L"VERSION=0.0.0.0"), 15, versionLine);
        std::wstring crlf;
        for (wchar_t c : expected) crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
        EXPECT_EQ(vexa::test::readFile(folder.file("vexa.ini")), "\xFF\xFE" + EncodeUtf16LE(crlf));
    }
}

TEST(SettingsFile, MissingFileKeepsTheDefaultsAndUncreatableFileIsSkipped) {
    vexa::test::ProgramFolder folder;
    CvexaApp app;
    app.ReadIni();
    EXPECT_EQ(Written(app.m_Settings), Written(VexaSettings{}));
    std::filesystem::create_directory(folder.file("vexa.ini"));  // in the way of the file
    app.WriteIni();
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("vexa.ini")));
}

} // namespace
