// The vexa program run as a child process: the batch reports, the
// precedence of the options, the settings file it leaves, and a driver of
// the wrong version. Every run must leave its temporary folder empty and
// no driver service behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/unicode_text_file.h"
#include "platform/object_namespace.h"
#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaResult;
using vexa::test::VexaRun;
using Files = std::vector<std::string>;

const std::string kRule = std::string(73, '-');

// "%d.%d%d.%d" of the program's four version words.
std::string VersionText() {
    return std::to_string(VEXA_VERSION_MAJOR) + "." + std::to_string(VEXA_VERSION_MINOR) +
           std::to_string(VEXA_VERSION_PATCH) + "." + std::to_string(VEXA_VERSION_TWEAK + 0);
}

std::string TextTitle(const std::string& title) { return title + "\n" + kRule + "\n\n"; }

std::string BinariesBlock() {
    return TextTitle("Binaries") + "Vexa version\t\t\t" + VersionText() + "\n\n";
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string SampleMachine() { return vexa::test::sourcePath("machines/x58-nehalem"); }

// What every run leaves: success, the settings file, an empty temporary
// folder (no driver log, no driver file) and no driver service.
void ExpectCleanRun(const VexaRun& run, const VexaResult& result, bool quiet = true) {
    EXPECT_EQ(result.exitCode, 0) << result.err;
    if (quiet) {
        EXPECT_EQ(result.err, "");
    }
    EXPECT_TRUE(std::filesystem::exists(run.programFile("vexa.ini")));
    EXPECT_EQ(run.tempFiles(), Files{});
    EXPECT_FALSE(std::filesystem::exists(vexa::platform::objectPath("service", "vexa138")));
}

// ---- The batch reports, on the sample machine and on the host ----

class Reports : public ::testing::TestWithParam<std::string> {
protected:
    VexaRun run{GetParam() == "host" ? std::string() : SampleMachine()};
};

TEST_P(Reports, TextReportStartsWithTitleAndBinaries) {
    const VexaResult result = run.run({"-txt=r"});
    ExpectCleanRun(run, result);
    EXPECT_EQ(run.programFiles(), (Files{"r.txt", "vexa.ini"}));
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    EXPECT_TRUE(StartsWith(report, TextTitle("Vexa TXT Report") + BinariesBlock())) << report;
    EXPECT_NE(report.find(TextTitle("모니터링")), std::string::npos) << report;
    EXPECT_EQ(result.out, "");
}

TEST_P(Reports, HtmlReportHasTheFrame) {
    const VexaResult result = run.run({"-html=r"});
    ExpectCleanRun(run, result);
    EXPECT_EQ(run.programFiles(), (Files{"r.htm", "vexa.ini"}));
    const std::string page = vexa::test::readFile(run.programFile("r.htm"));
    EXPECT_TRUE(StartsWith(page, "<html><head><title>Vexa HTML report file</title></head>")) << page;
    const std::string tail = "</font></body></html>\n";
    ASSERT_GE(page.size(), tail.size());
    EXPECT_EQ(page.substr(page.size() - tail.size()), tail);
    const size_t vexa = page.find("<b>Vexa</b>"), binaries = page.find("<b>Binaries</b>"),
                 version = page.find("<small>Vexa version</small>");
    EXPECT_LT(vexa, binaries);
    EXPECT_LT(binaries, version);
    EXPECT_NE(page.find(">" + VersionText() + "<", version), std::string::npos);
}

TEST_P(Reports, ConsoleReportGoesToStandardOutput) {
    const VexaResult result = run.run({"-console"});
    ExpectCleanRun(run, result);
    EXPECT_TRUE(StartsWith(result.out, TextTitle("Vexa Console Report") + BinariesBlock())) << result.out;
    EXPECT_EQ(run.programFiles(), Files{"vexa.ini"});
}

TEST_P(Reports, TextWinsOverHtml) {
    ExpectCleanRun(run, run.run({"-txt=a", "-html=b"}));
    EXPECT_EQ(run.programFiles(), (Files{"a.txt", "vexa.ini"}));
}

TEST_P(Reports, TextWithoutNameWritesVexaTxt) {
    ExpectCleanRun(run, run.run({"-txt="}));
    EXPECT_EQ(run.programFiles(), (Files{"vexa.ini", "vexa.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Machines, Reports, ::testing::Values("x58_nehalem", "host"));

// ---- Which option wins ----

struct Precedence {
    const char* name;
    std::vector<std::string> arguments;
    Files files;
    bool quiet = true;  // the window mode says on standard error that there is no display
};

void PrintTo(const Precedence& row, std::ostream* out) { *out << row.name; }

class Options : public ::testing::TestWithParam<Precedence> {};

TEST_P(Options, OnlyTheWinningJobRuns) {
    VexaRun run(SampleMachine());
    const VexaResult result = run.run(GetParam().arguments);
    ExpectCleanRun(run, result, GetParam().quiet);
    EXPECT_EQ(run.programFiles(), GetParam().files);
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, Options,
    ::testing::Values(Precedence{"extension_appended", {"-txt=report.txt"}, {"report.txt.txt", "vexa.ini"}},
                      Precedence{"mask_replaces_console", {"-console", "-coremask=3"}, {"vexa.ini"}},
                      Precedence{"removeservice_wins", {"-txt=x", "-removeservice"}, {"vexa.ini"}},
                      Precedence{"core_is_no_batch_run", {"-core=2"}, {"vexa.ini"}, false}),
    [](const ::testing::TestParamInfo<Precedence>& row) { return std::string(row.param.name); });

// ---- The settings file ----

std::string Utf16File(const std::wstring& text) {
    std::wstring crlf;
    for (wchar_t c : text) crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    return "\xFF\xFE" + EncodeUtf16LE(crlf);
}

TEST(SettingsFile, ProgramRewritesItsSettingsInTheFixedLayout) {
    VexaRun run(SampleMachine());
    std::ofstream(run.programFile("vexa.ini"), std::ios::binary)
        << Utf16File(L"[Other]\nACPI=0\n[Vexa]\nPCI=5\nMaxPCIBus=1000\nACPI=OFF\nDMI=yes\n BusClock=0\n"
                     L"BusClock=OFF\nUseDisplayAPI=0\nTextFontColor=FF0000\nTextFontName=Nanum Gothic\n");
    ExpectCleanRun(run, run.run({"-removeservice"}));
    const std::wstring version = L"VERSION=" + std::to_wstring(VEXA_VERSION_MAJOR) + L"." +
                                 std::to_wstring(VEXA_VERSION_MINOR) + L"." + std::to_wstring(VEXA_VERSION_PATCH) +
                                 L"." + std::to_wstring(VEXA_VERSION_TWEAK + 0);
    EXPECT_EQ(vexa::test::readFile(run.programFile("vexa.ini")),
              Utf16File(L"[Vexa]\n" + version +
                        L"\nTextFontName=Nanum Gothic\nTextFontSize=14\nTextFontColor=FF0000\nLabelFontName=\n"
                        L"LabelFontSize=14\nACPI=0\nPCI=2\nMaxPCIBus=256\nDMI=1\nSensor=1\nSMBus=1\nDisplay=1\n"
                        L"UseDisplayAPI=0\nBusClock=1\nChipset=1\nSPD=1\nCheckUpdates=1\n"));
}

// ---- A driver of the wrong version ----

// The sample machine's files, its manifest saying the driver reports 311.
class OldDriverImage {
public:
    OldDriverImage() {
        namespace fs = std::filesystem;
        path_ = (fs::temp_directory_path() / "old-driver-image").string();
        fs::remove_all(path_);
        fs::copy(SampleMachine(), path_, fs::copy_options::recursive);
        const std::string manifestPath = path_ + "/machine.json";
        nlohmann::json manifest = fs::exists(manifestPath) ? nlohmann::json::parse(vexa::test::readFile(manifestPath))
                                                           : nlohmann::json::object();
        manifest["driver"]["version"] = 311;
        std::ofstream(manifestPath) << manifest.dump(2);
    }
    ~OldDriverImage() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(OldDriver, IsReportedAndRemoved) {
    OldDriverImage image;
    VexaRun run(image.path());
    const VexaResult result = run.run({"-txt=r"});
    ExpectCleanRun(run, result, false);
    EXPECT_EQ(result.err,
              "Driver Error: A previous version of the device driver is already running. "
              "This program requires driver version 1.37.\n");
    // The report of a failed scan is still written.
    EXPECT_TRUE(StartsWith(vexa::test::readFile(run.programFile("r.txt")), TextTitle("Vexa TXT Report")));
}

// ---- A machine of 256 logical processors in four processor groups ----

TEST(ManyProcessors, TheTextReportDumpsEveryOneOf256) {
    VexaRun run(vexa::test::sourcePath("machines/nehalem-256-threads"));
    const VexaResult result = run.run({"-txt=r"});
    ExpectCleanRun(run, result);
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    EXPECT_NE(report.find("Number of processors\t\t32\nNumber of threads\t\t256\n"), std::string::npos);
    // Each processor's dump reads its own leaf 0xB: its x2APIC id, once.
    for (unsigned i = 0; i < 256; ++i) {
        char leaf[96];
        std::snprintf(leaf, sizeof leaf, "\t0x0000000B\t\t0x00000001\t0x00000002\t0x00000100\t0x%08X\n",
                      (i / 8) << 4 | (i % 8 / 2) << 1 | (i % 2));
        const size_t at = report.find(leaf);
        EXPECT_NE(at, std::string::npos) << i;
        EXPECT_EQ(report.find(leaf, at + 1), std::string::npos) << i;
    }
}

} // namespace
