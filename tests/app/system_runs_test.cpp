// The vexa program's software and storage sections: on this host, on the
// x58 sample, and on a VMware machine, where the scan runs limited and the
// settings file keeps the domains it left out switched off.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sys/utsname.h>

#include "app/unicode_text_file.h"
#include "tests/app/vexa_run.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::VexaResult;
using vexa::test::VexaRun;

const std::string kRule = std::string(73, '-');

std::string Title(const std::string& title) { return title + "\n" + kRule + "\n\n"; }

std::string SampleMachine() { return vexa::test::sourcePath("machines/x58-nehalem"); }

// The text between a section title and the title `until` (or the end).
std::string Section(const std::string& report, const std::string& title, const std::string& until) {
    const size_t start = report.find(Title(title));
    if (start == std::string::npos) return "(no section " + title + ")";
    const size_t body = start + Title(title).size();
    const size_t next = report.find(Title(until), body);
    return report.substr(body, next == std::string::npos ? std::string::npos : next - body);
}

VexaResult RunText(const VexaRun& run) {
    const VexaResult result = run.run({"-txt=r"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result;
}

TEST(SystemRuns, ThisHostNamesItsSystemAndListsItsDisks) {
    VexaRun run;
    const VexaResult result = RunText(run);
    EXPECT_EQ(result.err, "");
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    const std::string software = Section(report, "소프트웨어", "ACPI");
    utsname names {};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_NE(software.find(names.release), std::string::npos) << software;
    EXPECT_EQ(software.find("Windows Version\t\t\tMicrosoft"), std::string::npos) << software;
    EXPECT_EQ(software.find("DirectX"), std::string::npos) << software;
    if (std::filesystem::exists("/etc/debian_version")) {
        EXPECT_NE(software.find("Windows Version\t\t\tDebian"), std::string::npos) << software;
    }
    const std::string storage = Section(report, "저장소", "소프트웨어");
    EXPECT_NE(storage.find("USB Devices"), std::string::npos) << storage;
    if (std::filesystem::exists("/sys/block/vda/device")) {
        EXPECT_NE(storage.find("#vda#"), std::string::npos) << storage;
        EXPECT_NE(storage.find("\tName\t\t\tVirtio Block Device\n"), std::string::npos) << storage;
        EXPECT_NE(storage.find("\tSMART Support\t\tNo\n"), std::string::npos) << storage;
    }
}

// This host's graphics section: an adapter per PCI display function the
// kernel lists (a machine without one shows none), and no error.
TEST(SystemRuns, ThisHostsGraphicsSection) {
    VexaRun run;
    const VexaResult result = RunText(run);
    EXPECT_EQ(result.err, "");
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    EXPECT_NE(report.find(Title("그래픽")), std::string::npos) << report;
    bool displayFunction = false;
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/pci/devices", code)) {
        std::ifstream in(entry.path() / "class");
        std::string cls;
        if (in >> cls && cls.rfind("0x03", 0) == 0) displayFunction = true;
    }
    if (!displayFunction) {
        const std::string graphics = Section(report, "그래픽", "소프트웨어");
        EXPECT_NE(graphics.find("Number of adapters\t\t0\n"), std::string::npos) << graphics;
        EXPECT_EQ(graphics.find("Display adapter"), std::string::npos) << graphics;
    }
}

TEST(SystemRuns, TheX58SampleRunsWindows7WithItsCaviarBlack) {
    VexaRun run(SampleMachine());
    const VexaResult result = RunText(run);
    EXPECT_EQ(result.err, "");
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    EXPECT_EQ(Section(report, "소프트웨어", "ACPI"),
              "Windows Version\t\t\tMicrosoft Windows 7 (6.1) Ultimate Edition 64-bit  Service Pack 1 (Build 7601) \n"
              "DirectX Version\t\t\t11.0\n\n");
    const std::string storage = Section(report, "저장소", "소프트웨어");
    EXPECT_NE(storage.find("\tName\t\t\tWDC WD1001FALS-00J7B0"), std::string::npos) << storage;
    EXPECT_NE(storage.find("\tCapacity\t\t931.5 GB\n\tSMART Support\t\tYes\n"), std::string::npos) << storage;
    EXPECT_NE(storage.find("USB Device\t\t\tUSB Input Device, class=0x00"), std::string::npos) << storage;
}

// The sample's W83667HG: the super-I/O chip with its configuration
// registers, and its monitor with the register dump of its hardware-monitor
// block by banks.
TEST(SystemRuns, TheX58SampleReportsItsWinbondChipAndItsRegisters) {
    VexaRun run(SampleMachine());
    RunText(run);
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    const std::string lpcio = Section(report, "LPCIO", "Hardware Monitors");
    EXPECT_EQ(lpcio.rfind("LPCIO Vendor\t\tWinbond\nLPCIO Model\t\tW83667HG\nLPCIO Vendor ID\t\t0x5CA3\n"
                          "LPCIO Chip ID\t\t0xA5\nLPCIO Revision ID\t0x13\nConfig Mode I/O address\t0x2E\n"
                          "Config Mode LDN\t\t0xB\n",
                          0),
              0u)
        << lpcio;
    EXPECT_NE(lpcio.find("\t20\tA5 13 00 "), std::string::npos) << lpcio;
    EXPECT_NE(lpcio.find("Register space\t\tLPC, base address = 0x0100\n"), std::string::npos) << lpcio;
    const std::string monitors = Section(report, "Hardware Monitors", "PCI Devices");
    EXPECT_EQ(monitors.rfind("Hardware monitor\tWinbond W83667HG\n", 0), 0u) << monitors;
    EXPECT_NE(monitors.find("Hardware registers\t\nRegister space\t\tLPC, base address = 0x0100\nbank 0\t\n"
                            "\t\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
                            "\t00\t04 FF 04 FF 00 00 3C 20 01 9B 01 01 3C 3C 04 04 \n"),
              std::string::npos)
        << monitors;
    // Register 0x4E: bank 0 selected again; 0x4F the vendor id's low byte.
    EXPECT_NE(monitors.find("\t40\t03 00 00 FF FF 00 3F 35 2D 24 80 "), std::string::npos) << monitors;
    EXPECT_NE(monitors.find(" 10 95 00 A3 \n"), std::string::npos) << monitors;
    EXPECT_NE(monitors.find("bank 1\t\n\t50\t24 80 00 4B "), std::string::npos) << monitors;
    EXPECT_NE(monitors.find("bank 4\t\n\t50\t"), std::string::npos) << monitors;
    EXPECT_EQ(monitors.find("bank 5"), std::string::npos) << monitors;
}

// The graphics section of the x58 sample: its GeForce 210 and the monitor
// on it.
TEST(SystemRuns, TheX58SampleShowsItsGeForceAndMonitor) {
    VexaRun run(SampleMachine());
    RunText(run);
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    const std::string graphics = Section(report, "그래픽", "소프트웨어");
    for (const char* line : {"Number of adapters\t\t1\n", "Display adapter 0", "\tName\t\t\tNVIDIA GeForce 210\n",
                             "\tBoard Manufacturer\tEVGA Corp.\n", "\tVendor ID\t\t0x10DE (0x3842)\n",
                             "\tModel ID\t\t0x0A65 (0x1312)\n", "Monitor 0", "\tModel\t\t\tPhilips 190V (Philips)\n",
                             "\tMax Resolution\t\t1440 x 900 @ 59 Hz\n"})
        EXPECT_NE(graphics.find(line), std::string::npos) << line << "\n" << graphics;
    EXPECT_EQ(graphics.find("Display adapter 1"), std::string::npos) << graphics;
}

// The x58 sample's files, its manifest saying the machine is a VMware
// virtual machine.
class VMwareImage {
public:
    VMwareImage() {
        namespace fs = std::filesystem;
        path_ = (fs::temp_directory_path() / "vmware-image").string();
        fs::remove_all(path_);
        fs::copy(SampleMachine(), path_, fs::copy_options::recursive);
        const std::string manifestPath = path_ + "/machine.json";
        nlohmann::json manifest = nlohmann::json::parse(vexa::test::readFile(manifestPath));
        manifest["vm"] = "vmware";
        std::ofstream(manifestPath) << manifest.dump(2);
    }
    ~VMwareImage() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(SystemRuns, AVMwareMachineIsScannedLimitedAndTheSettingsStayOff) {
    VMwareImage image;
    VexaRun run(image.path());
    const VexaResult result = RunText(run);
    EXPECT_EQ(result.err, "");
    const std::string report = vexa::test::readFile(run.programFile("r.txt"));
    for (const char* absent : {"PCI Devices", "ACPI"})
        EXPECT_EQ(report.find(Title(absent)), std::string::npos) << absent;
    for (const char* present : {"프로세서", "DMI", "저장소", "소프트웨어", "모니터링"})
        EXPECT_NE(report.find(Title(present)), std::string::npos) << present;
    const std::wstring settings = DecodeUtf16LE(vexa::test::readFile(run.programFile("vexa.ini")).substr(2));
    for (const wchar_t* off : {L"\r\nACPI=0\r\n", L"\r\nPCI=0\r\n", L"\r\nSMBus=0\r\n", L"\r\nSensor=0\r\n",
                               L"\r\nDisplay=0\r\n"})
        EXPECT_NE(settings.find(off), std::wstring::npos) << std::string(off, off + wcslen(off));
    EXPECT_NE(settings.find(L"\r\nDMI=1\r\n"), std::wstring::npos);
}

} // namespace
