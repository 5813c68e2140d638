// The software domain: the Windows name and build texts of every Windows
// family, the kernel's version replacing the one Windows 8.1 and later
// tell, the DirectX version from the diagnostic provider and from the
// system files, the two virtual-machine probes, and the Linux host
// describing itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/utsname.h>

#include "machine/host_machine.h"
#include "platform/testing.h"
#include "sdk/core/sdk.h"
#include "sdk/system/software_interface.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

using test::PrintTo;

using machine::WindowsIdentity;

struct Texts {
    std::string name, build, directX;
    int virtualMachine = 0;
};

Texts Describe() {
    CSoftwareInterface software;
    EXPECT_EQ(software.Init(), 1);
    return Texts{software.m_szWindowsName, software.m_szBuild, software.m_szDirectX, software.m_iVirtualMachine};
}

// A simulated machine with this manifest.
std::unique_ptr<machine::Machine> Image(const std::string& manifest) {
    ImageDir image;
    image.write("machine.json", manifest);
    return image.load();
}

// ---- Windows names ----

struct NameCase {
    const char* name;
    WindowsIdentity identity;
    const char* windowsName;
    const char* build;
};

class WindowsNames : public ::testing::TestWithParam<NameCase> {
protected:
    void TearDown() override {
        platform::testing::overrideWindowsIdentity(std::nullopt);
        ReleaseSDK();
    }
    machine::ScopedMachine machine_{Image("{}")};
};

TEST_P(WindowsNames, NameAndBuild) {
    platform::testing::overrideWindowsIdentity(GetParam().identity);
    const Texts texts = Describe();
    EXPECT_EQ(texts.name, GetParam().windowsName);
    EXPECT_EQ(texts.build, GetParam().build);
}

WindowsIdentity Nt(uint32_t major, uint32_t minor, uint32_t build, const char* csd, uint8_t productType,
                   uint16_t suite = 0x100, uint16_t architecture = 9, uint32_t productInfo = 0x30) {
    WindowsIdentity identity;
    identity.majorVersion = major;
    identity.minorVersion = minor;
    identity.buildNumber = build;
    identity.csdVersion = csd;
    identity.productType = productType;
    identity.suiteMask = suite;
    identity.processorArchitecture = architecture;
    identity.productInfo = productInfo;
    return identity;
}

WindowsIdentity With(WindowsIdentity identity, void (*change)(WindowsIdentity&)) {
    change(identity);
    return identity;
}

WindowsIdentity NineX(uint32_t minor, const char* csd, uint32_t major = 4) {
    WindowsIdentity identity = Nt(major, minor, 1998, csd, 0);
    identity.platformId = 1;
    return identity;
}

INSTANTIATE_TEST_SUITE_P(
    Families, WindowsNames,
    ::testing::Values(
        NameCase{"windows7_ultimate_sp1_64bit", Nt(6, 1, 7601, "Service Pack 1", 1, 0x100, 9, 1),
                 "Microsoft Windows 7 (6.1) Ultimate Edition 64-bit ", "Service Pack 1 (Build 7601) "},
        NameCase{"windows7_business_32bit", Nt(6, 1, 7600, "", 1, 0x100, 0, 6),
                 "Microsoft Windows 7 (6.1) Business Edition 32-bit ", " (Build 7600) "},
        NameCase{"vista_home_premium_sp2", Nt(6, 0, 6002, "Service Pack 2", 1, 0x300, 0, 3),
                 "Microsoft Windows Vista (6.0) Home Premium Edition 32-bit ", "Service Pack 2 (Build 6002) "},
        NameCase{"windows8_told_6_2", Nt(6, 2, 9200, "", 1, 0x100, 9, 0x30), "Microsoft Windows 8 (6.2) 64-bit ",
                 " (Build 9200) "},
        NameCase{"server_6_2_is_2012_r2", Nt(6, 2, 9200, "", 3, 0x110, 9, 8),
                 "Microsoft Windows Server 2012 R2 Datacenter Edition (Full) 64-bit ", " (Build 9200) "},
        NameCase{"server_2008_r2", Nt(6, 1, 7601, "Service Pack 1", 3, 0x112, 9, 10),
                 "Microsoft Windows Server 2008 R2 Enterprise Edition (Full) 64-bit ",
                 "Service Pack 1 (Build 7601) "},
        NameCase{"windows_6_4", Nt(6, 4, 9841, "", 1, 0x100, 9, 4),
                 "Microsoft Windows 10 (6.4) Enterprise Edition 64-bit ", " (Build 9841) "},
        NameCase{"unknown_6_5_keeps_the_preset", Nt(6, 5, 1, "", 1, 0x100, 6, 0x30), "Microsoft Windows NT6.5 ",
                 " (Build 1) "},
        NameCase{"windows10", Nt(10, 0, 19045, "", 1), "Microsoft Windows 10 (10.0) ", " (Build 19045) "},
        NameCase{"server10", Nt(10, 0, 17763, "", 3, 0x110), "Microsoft Windows Server (10.0) ", " (Build 17763) "},
        NameCase{"build_uses_the_low_16_bits", Nt(10, 0, 0x12345, "", 1), "Microsoft Windows 10 (10.0) ",
                 " (Build 9029) "},
        NameCase{"xp_professional_sp3", Nt(5, 1, 2600, "Service Pack 3", 1, 0x100, 0),
                 "Microsoft Windows XP Professional ", "Service Pack 3 (Build 2600) "},
        NameCase{"xp_home", Nt(5, 1, 2600, "Service Pack 2", 1, 0x300, 0), "Microsoft Windows XP Home Edition ",
                 "Service Pack 2 (Build 2600) "},
        NameCase{"xp_media_center_and_tablet",
                 With(Nt(5, 1, 2600, "Service Pack 2", 1, 0x100, 0),
                      [](WindowsIdentity& w) { w.mediaCenter = w.tabletPc = true; }),
                 "Microsoft Windows XP Media Center Edition Tablet PC Edition Professional ",
                 "Service Pack 2 (Build 2600) "},
        NameCase{"xp_x64", Nt(5, 2, 3790, "Service Pack 2", 1), "Microsoft Windows XP x64 Professional ",
                 "Service Pack 2 (Build 3790) "},
        NameCase{"xp_ia64", Nt(5, 2, 3790, "", 1, 0x100, 6), "Microsoft Windows XP IA64 Professional ",
                 " (Build 3790) "},
        NameCase{"server2003_datacenter", Nt(5, 2, 3790, "", 3, 0x190),
                 "Microsoft Windows Server 2003 Datacenter Edition ", " (Build 3790) "},
        NameCase{"server2003_enterprise", Nt(5, 2, 3790, "", 2, 0x112),
                 "Microsoft Windows Server 2003 Enterprise Edition ", " (Build 3790) "},
        NameCase{"server2003_web", Nt(5, 2, 3790, "", 3, 0x400), "Microsoft Windows Server 2003 Web Edition ",
                 " (Build 3790) "},
        NameCase{"server2003_small_business", Nt(5, 2, 3790, "", 3, 0x1),
                 "Microsoft Windows Server 2003 Small Business Edition ", " (Build 3790) "},
        NameCase{"server2003_standard", Nt(5, 2, 3790, "", 3, 0x110), "Microsoft Windows Server 2003 Standard Edition ",
                 " (Build 3790) "},
        NameCase{"windows2000_professional", Nt(5, 0, 2195, "Service Pack 4", 1, 0, 0),
                 "Microsoft Windows 2000 Professional ", "Service Pack 4 (Build 2195) "},
        NameCase{"windows2000_datacenter", Nt(5, 0, 2195, "", 3, 0x80, 0), "Microsoft Windows 2000 Datacenter Server ",
                 " (Build 2195) "},
        NameCase{"windows2000_advanced_server", Nt(5, 0, 2195, "", 3, 0x2, 0),
                 "Microsoft Windows 2000 Advanced Server ", " (Build 2195) "},
        NameCase{"windows2000_server", Nt(5, 0, 2195, "", 2, 0, 0), "Microsoft Windows 2000 Server ",
                 " (Build 2195) "},
        NameCase{"nt4_workstation", Nt(4, 0, 1381, "Service Pack 5", 1, 0, 0),
                 "Microsoft Windows NT Workstation 4.0 ", "Service Pack 5 (Build 1381) "},
        NameCase{"nt4_enterprise_server", Nt(4, 0, 1381, "", 3, 0x2, 0),
                 "Microsoft Windows NT Server 4.0, Enterprise Edition ", " (Build 1381) "},
        NameCase{"nt4_server", Nt(4, 0, 1381, "", 3, 0, 0), "Microsoft Windows NT Server 4.0 ", " (Build 1381) "},
        NameCase{"nt4_sp6_without_the_hotfix", Nt(4, 0, 1381, "Service Pack 6", 1, 0, 0),
                 "Microsoft Windows NT Workstation 4.0 ", "Service Pack 6 (Build 1381) "},
        NameCase{"nt4_sp6a", With(Nt(4, 0, 1381, "service pack 6", 1, 0, 0), [](WindowsIdentity& w) {
                     w.registryKeys = {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009"};
                 }),
                 "Microsoft Windows NT Workstation 4.0 ", "Service Pack 6a (Build 1381) "},
        NameCase{"nt3_51", Nt(3, 51, 1057, "Service Pack 5", 1, 0, 0), "Microsoft Windows NT ",
                 "Service Pack 5 (Build 1057) "},
        NameCase{"windows95", NineX(0, " A"), "Microsoft Windows 95", ""},
        NameCase{"windows95_osr2", NineX(0, " C"), "Microsoft Windows 95 OSR2 ", ""},
        NameCase{"windows95_osr2_b", NineX(0, " B"), "Microsoft Windows 95 OSR2 ", ""},
        NameCase{"windows98", NineX(10, ""), "Microsoft Windows 98", ""},
        NameCase{"windows98_se", NineX(10, " A"), "Microsoft Windows 98 SE ", ""},
        NameCase{"windows_me", NineX(90, ""), "Microsoft Windows Millennium Edition ", ""},
        NameCase{"windows_4_20_has_no_name", NineX(20, ""), "", ""},
        NameCase{"windows9x_of_another_major", NineX(0, "", 5), "Microsoft Windows 9x ", ""},
        NameCase{"win32s", With(Nt(3, 10, 0, "", 0), [](WindowsIdentity& w) { w.platformId = 0; }),
                 "Microsoft Win32s", ""}),
    CaseName());

class WindowsNameLookups : public WindowsNames {};

// GetProductInfo and GetNativeSystemInfo are looked up by name; without
// them the edition and the word size are left out.
TEST_F(WindowsNameLookups, MissingFunctionsLeaveOutEditionAndWordSize) {
    platform::testing::overrideWindowsIdentity(Nt(6, 1, 7601, "Service Pack 1", 1, 0x100, 9, 1));
    platform::testing::hideExport("kernel32.dll", "GetProductInfo");
    EXPECT_EQ(Describe().name, "Microsoft Windows 7 (6.1) 64-bit ");
    platform::testing::hideExport("kernel32.dll", "GetNativeSystemInfo");
    EXPECT_EQ(Describe().name, "Microsoft Windows 7 (6.1) ");
    platform::testing::restoreLibraries();
    EXPECT_EQ(Describe().name, "Microsoft Windows 7 (6.1) Ultimate Edition 64-bit ");
}

// ---- The kernel's version, through the kernel driver ----

class KernelVersion : public KMDriverOnMachine {
protected:
    void Boot(const std::string& windows) {
        install(Image(R"({"os": {"windows": )" + windows + "}}"));
        GetSDK()->m_pDriver = &lockedDriver();
    }
    void TearDown() override {
        ReleaseSDK();
        KMDriverOnMachine::TearDown();
    }
};

TEST_F(KernelVersion, Windows81ToldSixTwoIsNamedByItsKernel) {
    Boot(R"({"major": 6, "minor": 3, "build": 9600, "product_info": "0x30",
             "reported_version": {"major": 6, "minor": 2, "build": 9200}})");
    const Texts texts = Describe();
    EXPECT_EQ(texts.name, "Microsoft Windows 8.1 (6.3) 64-bit ");
    EXPECT_EQ(texts.build, " (Build 9600) ");
}

TEST_F(KernelVersion, WithoutTheDriverTheToldVersionStands) {
    install(Image(R"({"os": {"windows": {"major": 6, "minor": 3, "build": 9600,
                                         "reported_version": {"major": 6, "minor": 2, "build": 9200}}}})"));
    EXPECT_EQ(Describe().name, "Microsoft Windows 8 (6.2) 64-bit ");
}

// Windows 10 tells 6.2 as well; its kernel's major version 10 is taken with
// the rest, or it would read as Windows Vista (6.0).
TEST_F(KernelVersion, Windows10ToldSixTwoIsNamedWindows10) {
    Boot(R"({"major": 10, "minor": 0, "build": 19045, "reported_version": {"major": 6, "minor": 2, "build": 9200}})");
    const Texts texts = Describe();
    EXPECT_EQ(texts.name, "Microsoft Windows 10 (10.0) ");
    EXPECT_EQ(texts.build, " (Build 19045) ");
}

// ---- Images ----

TEST(SoftwareImages, Windows7UltimateSp1With64BitsAndDirectX11) {
    machine::ScopedMachine machine(Image(R"({"os": {"windows": {
        "major": 6, "minor": 1, "build": 7601, "csd": "Service Pack 1", "service_pack_major": 1,
        "product_type": 1, "architecture": 9, "product_info": 1,
        "dxdiag": {"long_english": "DirectX 11", "english": "4.09.0000.0904", "major": 9, "minor": 0}}}})"));
    const Texts texts = Describe();
    EXPECT_EQ(texts.name, "Microsoft Windows 7 (6.1) Ultimate Edition 64-bit ");
    EXPECT_EQ(texts.build, "Service Pack 1 (Build 7601) ");
    EXPECT_EQ(texts.directX, "11.0");  // the long text wins over the numbers
    ReleaseSDK();
}

TEST(SoftwareImages, WindowsXpSp3WithDirectX90c) {
    machine::ScopedMachine machine(Image(R"({"os": {"windows": {
        "major": 5, "minor": 1, "build": 2600, "csd": "Service Pack 3", "service_pack_major": 3,
        "product_type": 1, "architecture": 0,
        "dxdiag": {"long_english": "DirectX 9.0c", "letter": "c"}}}})"));
    const Texts texts = Describe();
    EXPECT_EQ(texts.name, "Microsoft Windows XP Professional ");
    EXPECT_EQ(texts.build, "Service Pack 3 (Build 2600) ");
    EXPECT_EQ(texts.directX, "9.0c");
    ReleaseSDK();
}

// ---- DirectX ----

struct DirectXCase {
    const char* name;
    const char* windows;  // the keys of os.windows beyond the version
    const char* directX;
};

class DirectX : public ::testing::TestWithParam<DirectXCase> {
protected:
    void TearDown() override { ReleaseSDK(); }
};

TEST_P(DirectX, Version) {
    machine::ScopedMachine machine(
        Image(R"({"os": {"windows": {"major": 5, "minor": 1, "build": 2600)" + std::string(GetParam().windows) + "}}}"));
    EXPECT_EQ(Describe().directX, GetParam().directX);
}

INSTANTIATE_TEST_SUITE_P(
    ProviderAndFiles, DirectX,
    ::testing::Values(
        DirectXCase{"provider_9_0c", R"(, "dxdiag": {"long_english": "DirectX 9.0c", "letter": "c"})", "9.0c"},
        DirectXCase{"provider_11_without_minor", R"(, "dxdiag": {"long_english": "DirectX 11"})", "11.0"},
        DirectXCase{"provider_letter_in_upper_case", R"(, "dxdiag": {"long_english": "DirectX 9.0", "letter": "C"})",
                    "9.0c"},
        DirectXCase{"provider_english_text", R"(, "dxdiag": {"long_english": "unknown", "english": "Direct X 8.1"})",
                    "8.1"},
        DirectXCase{"provider_numbers", R"(, "dxdiag": {"major": 7, "minor": 0, "letter": "a"})", "7.0a"},
        DirectXCase{"provider_without_a_version_leaves_it_to_the_files",
                    R"(, "dxdiag": {"letter": "c"}, "system_files": {"d3d9.dll": "5.3.2600.5512"})", "9.0"},
        DirectXCase{"no_provider_and_no_files", "", ""},
        DirectXCase{"ddraw_of_directx_6", R"(, "system_files": {"ddraw.dll": "4.6.0.318"})", "6.0"},
        DirectXCase{"dplayx_of_6_1a", R"(, "system_files": {"ddraw.dll": "4.6.0.436", "dplayx.dll": "4.6.3.518"})",
                    "6.1a"},
        DirectXCase{"ddraw_of_windows_xp_is_8_0", R"(, "system_files": {"DDRAW.DLL": "5.1.2258.400"})", "8.0"},
        DirectXCase{"ddraw_5_below_the_xp_version", R"(, "system_files": {"ddraw.dll": "5.0.2180.1"})", "7.0"},
        DirectXCase{"d3d8_of_8_1a", R"(, "system_files": {"ddraw.dll": "5.1.2600.0", "d3d8.dll": "5.1.2600.901"})",
                    "8.1a"},
        DirectXCase{"mpg2splt_of_8_1b", R"(, "system_files": {"d3d8.dll": "4.8.1.881", "mpg2splt.ax": "6.3.1.885"})",
                    "8.1b"},
        DirectXCase{"dpnet_of_8_2", R"(, "system_files": {"dpnet.dll": "4.9.0.134"})", "8.2"},
        DirectXCase{"d3d11_wins", R"(, "system_files": {"d3d9.dll": "1.0.0.0", "d3d11.dll": "1.0.0.0"})", "11.0"},
        DirectXCase{"d3d10", R"(, "system_files": {"d3d10.dll": "6.0.6000.16386"})", "10.0"}),
    CaseName());

// ---- Virtual machines ----

struct ProbeCase {
    const char* name;
    const char* manifest;
    int kind;
};

class VirtualMachineProbes : public ::testing::TestWithParam<ProbeCase> {
protected:
    void TearDown() override { ReleaseSDK(); }
};

TEST_P(VirtualMachineProbes, Kind) {
    machine::ScopedMachine machine(Image(GetParam().manifest));
    EXPECT_EQ(Describe().virtualMachine, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Kinds, VirtualMachineProbes,
                         ::testing::Values(ProbeCase{"real_hardware", "{}", VIRTUAL_MACHINE_NONE},
                                           ProbeCase{"said_none", R"({"vm": "none"})", VIRTUAL_MACHINE_NONE},
                                           ProbeCase{"vmware", R"({"vm": "vmware"})", VIRTUAL_MACHINE_VMWARE},
                                           ProbeCase{"virtual_pc", R"({"vm": "virtualpc"})",
                                                     VIRTUAL_MACHINE_VIRTUAL_PC}),
                         CaseName());

// ---- The Linux host ----

// A fake /etc and /proc for the host backend.
class HostTree {
public:
    HostTree() {
        root_ = (std::filesystem::temp_directory_path() / "host-tree").string();
        std::filesystem::create_directories(root_ + "/etc");
        std::filesystem::create_directories(root_ + "/proc/sys/kernel");
    }
    ~HostTree() { std::filesystem::remove_all(root_); }
    void write(const std::string& name, const std::string& text) const { std::ofstream(root_ + name) << text; }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

std::string Architecture() {
    utsname names {};
    return uname(&names) == 0 ? names.machine : "";
}

TEST(HostSoftware, DescribesTheDistributionAndKernelAndNoDirectX) {
    HostTree tree;
    tree.write("/etc/os-release",
               "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
    tree.write("/proc/sys/kernel/ostype", "Linux\n");
    tree.write("/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    machine::ScopedMachine machine(std::make_unique<machine::HostMachine>(tree.root()));
    const Texts texts = Describe();
    EXPECT_EQ(texts.name, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(texts.build, "Linux 6.1.0-18-amd64 (" + Architecture() + ")");
    EXPECT_EQ(texts.directX, "");
    EXPECT_EQ(texts.name.find("Windows"), std::string::npos);
    ReleaseSDK();
}

TEST(HostSoftware, NameWithoutPrettyNameAndNoReleaseFile) {
    HostTree tree;
    tree.write("/etc/os-release", "NAME='Alpine Linux'\n");
    machine::ScopedMachine machine(std::make_unique<machine::HostMachine>(tree.root()));
    EXPECT_EQ(Describe().name, "Alpine Linux");
    std::filesystem::remove(tree.root() + "/etc/os-release");
    EXPECT_EQ(Describe().name, "Linux");
    ReleaseSDK();
}

// This host: its own os-release and running kernel.
TEST(HostSoftware, ThisHostNamesItsDistributionAndRunningKernel) {
    machine::ScopedMachine machine(std::make_unique<machine::HostMachine>());
    utsname names {};
    ASSERT_EQ(uname(&names), 0);
    const Texts texts = Describe();
    EXPECT_NE(texts.build.find(names.release), std::string::npos) << texts.build;
    std::ifstream release("/etc/os-release");
    std::string line, pretty;
    while (std::getline(release, line))
        if (line.rfind("PRETTY_NAME=", 0) == 0) pretty = line.substr(12);
    if (pretty.size() >= 2 && pretty.front() == '"') pretty = pretty.substr(1, pretty.size() - 2);
    if (!pretty.empty()) {
        EXPECT_EQ(texts.name, pretty);
    }
    EXPECT_EQ(texts.directX, "");
    ReleaseSDK();
}

TEST(SoftwareCreator, IsTheRootsSoftwareInterface) {
    machine::ScopedMachine machine(Image(R"({"vm": "vmware"})"));
    BRENIKSDK* sdk = GetSDK();
    ASSERT_EQ(sdk->CreateSoftwareInterface(), 1);
    ASSERT_TRUE(sdk->m_pSoftware);
    EXPECT_EQ(sdk->FindInterface(INTERFACE_SOFTWARE), sdk->m_pSoftware);
    EXPECT_EQ(sdk->m_pSoftware->m_iVirtualMachine, VIRTUAL_MACHINE_VMWARE);
    ReleaseSDK();
}

} // namespace
} // namespace vexa::test
