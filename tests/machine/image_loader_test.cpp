// Loading machine images: what each file contributes, what a missing file
// means, and the messages for malformed ones.
#include "machine/image_loader.h"

#include "tests/support/image_dir.h"
#include "tests/support/manual_clock_guard.h"

#include <gtest/gtest.h>

#include <set>

namespace vexa::machine {
namespace {

using test::ImageDir;

constexpr const char* kI7 = "cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test";

TEST(ImageLoader, EmptyDirectoryIsAMachineWithoutHardware) {
    const ImageDir image;
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine->processorCount(), 1u);
    EXPECT_EQ(machine->cpuid(0, 0, 0), CpuidRegs{});
    EXPECT_EQ(machine->tscHz(), 1'000'000'000u);
    uint8_t id[2];
    EXPECT_TRUE(machine->readPciConfig(PciAddress{}, 0, id));
    EXPECT_EQ(id[0], 0xFF);
    EXPECT_FALSE(machine->smbios());
    EXPECT_TRUE(machine->acpiTables().empty());
}

TEST(ImageLoader, TscRateComesFromTheManifestOrTheBrandString) {
    struct Case {
        const char* dump;
        const char* manifest;
        uint64_t hz;
    };
    const Case cases[] = {
        {kI7, "{}", 2'670'000'000},                            // "@ 2.67GHz"
        {kI7, R"({"cpu": {"tsc_mhz": 2666.667}})", 2'666'667'000},
        {"cpuid/via-c7/via-c7-m-processor-1200mhz.test", "{}", 1'200'000'000},
        {"cpuid/amd-k6/amd-k6-2-chomper.test", "{}", 1'000'000'000},  // no rate in the name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dump);
        const ImageDir image;
        image.copyData(c.dump, "cpuid.txt");
        image.write("machine.json", c.manifest);
        const auto machine = image.load();
        ASSERT_TRUE(machine);
        EXPECT_EQ(machine->tscHz(), c.hz);
    }
    EXPECT_DOUBLE_EQ(brandStringMhz("Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz"), 2670.0);
    EXPECT_DOUBLE_EQ(brandStringMhz("VIA C7-M Processor 1200MHz"), 1200.0);
    EXPECT_DOUBLE_EQ(brandStringMhz("AMD Athlon(tm) 64 X2"), 0.0);
    EXPECT_DOUBLE_EQ(brandStringMhz("GHz"), 0.0);
}

TEST(ImageLoader, ManifestShapesProcessorsMsrsPortsAndMemory) {
    const ImageDir image;
    image.copyData(kI7, "cpuid.txt");
    image.write("rom.bin", std::string("\x55\xAA\x40", 3));
    image.write("machine.json", R"({
      "cpu": {"logical_processors": 4, "apic_ids": [0, 2, 4, 6],
              "msrs": {"0x17": "0x0004000000000000", "0xCE": {"value": "0x1400", "read_only": true}}},
      "ports": {"acpi_pm_timer": 1032},
      "memory": [{"base": "0xC0000", "size": "0x8000", "file": "rom.bin"}],
      "os": {"windows": {"major": 6, "minor": 1, "build": 7601}}
    })");
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    ASSERT_EQ(machine->processorCount(), 4u);
    EXPECT_EQ(machine->cpuid(3, 1, 0).ebx >> 24, 6u);
    uint64_t value = 0;
    ASSERT_TRUE(machine->readMsr(2, 0x17, value));
    EXPECT_EQ(value, 0x0004000000000000u);
    EXPECT_FALSE(machine->writeMsr(2, 0xCE, 0));
    EXPECT_FALSE(machine->readMsr(0, 0x1B, value));  // not listed: absent
    test::ManualClockGuard time(0);
    time.clock().advanceNs(1'000'000'000);
    ASSERT_TRUE(machine->readMsr(3, 0x10, value));  // the time-stamp counter, at the brand string's rate
    EXPECT_EQ(value, 2'670'000'000u);
    EXPECT_EQ(value, machine->readTsc(3));
    uint32_t ticks = 0;
    ASSERT_TRUE(machine->readPort(1032, 4, ticks));
    EXPECT_EQ(ticks, 3579545u);
    uint8_t rom[4];
    ASSERT_TRUE(machine->readPhysical(0xC0000, rom));
    EXPECT_EQ(rom[0], 0x55);
    EXPECT_EQ(rom[3], 0xFF);
    EXPECT_EQ(machine->windowsIdentity().buildNumber, 7601u);
}

TEST(ImageLoader, ManifestGivesTheBusClockDriverAndAcpiNamespace) {
    const ImageDir image;
    image.write("machine.json", R"({
      "cpu": {"logical_processors": 2, "bus_mhz": 133.33, "tsc_mhz": 1000,
              "msrs": {"0x10": {"value": 77, "cpus": [0]}}},
      "driver": {"version": 311, "fail": ["0x9C402400"]},
      "acpi_namespace": {"_SB_": {"PCI0": {}, "ATKD": {"RTMP": {"returns": [42, "text", {"buffer": "01 02 0a"}]}}},
                         "_TZ_": {}},
      "os": {"device_tree": [{"description": "root"}, {"parent": 0, "description": "GPU"}]}
    })");
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    EXPECT_DOUBLE_EQ(machine->busClockMHz(), 133.33);
    EXPECT_EQ(machine->driverBehaviour().version, 311u);
    EXPECT_EQ(machine->driverBehaviour().failingRequests, std::set<uint32_t>{0x9C402400});
    const std::vector<AcpiNamespaceNode> acpi = machine->acpiNamespace();
    ASSERT_EQ(acpi.size(), 6u);
    EXPECT_EQ(acpi[0], (AcpiNamespaceNode{"\\___", -1, false, {}}));
    EXPECT_EQ(acpi[2], (AcpiNamespaceNode{"PCI0", 1, false, {}}));
    EXPECT_EQ(acpi[4], (AcpiNamespaceNode{"RTMP", 3, true,
                                           {AcpiValue::fromInteger(42), AcpiValue::fromString("text"),
                                            AcpiValue::fromBytes({1, 2, 10})}}));
    EXPECT_EQ(acpi[5].name, "_TZ_");
    const std::vector<DeviceNode> tree = machine->deviceTree();
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[1].properties.at(DeviceNode::kDescription), "GPU");
    EXPECT_EQ(tree[2].parent, 0);
    EXPECT_EQ(tree[2].properties.at(DeviceNode::kEnumerator), "ACPI_HAL");
    EXPECT_EQ(tree[2].properties.at(DeviceNode::kPdoName), "\\Device\\00000001");
    // MSR 0x10 as the manifest lists it on processor 0, the counter elsewhere.
    test::ManualClockGuard time(2'000);
    uint64_t value = 0;
    ASSERT_TRUE(machine->readMsr(0, 0x10, value));
    EXPECT_EQ(value, 77u);
    ASSERT_TRUE(machine->readMsr(1, 0x10, value));
    EXPECT_EQ(value, 2'000u);
}

TEST(ImageLoader, FirmwareFilesAreLoaded) {
    const ImageDir image;
    image.copyData("smbios/LenovoThinkPad-T61p.dmp", "smbios.bin");
    std::string facp(36, '\0');
    facp.replace(0, 4, "FACP");
    facp[4] = 36;
    image.write("acpi/facp.dat", facp);
    image.write("acpi/dsdt.txt", "DSDT @ 0x0\n  0000: 44 53 44 54 08 00 00 00\n");
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    ASSERT_TRUE(machine->smbios());
    EXPECT_EQ(machine->smbios()->minorVersion, 4);
    const auto tables = machine->acpiTables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].signature, "DSDT");
    EXPECT_EQ(tables[1].signature, "FACP");
}

TEST(ImageLoader, BareSmbiosTableTakesTheManifestVersion) {
    const ImageDir image;
    image.write("smbios.bin", std::string("\x7F\x04\x00\x00\x00\x00", 6));
    image.write("machine.json", R"({"smbios": {"version": "2.7"}})");
    const auto machine = image.load();
    ASSERT_TRUE(machine && machine->smbios());
    EXPECT_EQ(machine->smbios()->majorVersion, 2);
    EXPECT_EQ(machine->smbios()->minorVersion, 7);
    EXPECT_TRUE(machine->smbios()->entryPoint.empty());
}

// A malformed file stops the load; the message names the file and, for
// text, the line.
TEST(ImageLoader, MalformedFilesAreNamed) {
    struct Case {
        const char* file;
        std::string content;
        const char* message;
    };
    const Case cases[] = {
        {"machine.json", "{\n\"cpu\": [\n", "machine.json: parse error at line 3"},
        {"machine.json", R"({"cpu": {"tsc_mhz": 1, "typo": 2}})", "machine.json: cpu.typo: unknown key"},
        {"machine.json", R"({"cpu": {"msrs": {"0x17": {"value": 1, "cpus": [9]}}}})", "processor 9 does not exist"},
        {"machine.json", R"({"cpu": {"apic_ids": [1]}})", "machine.json: cpu: apic_ids lists 1 ids for 8"},
        {"machine.json", R"({"ports": {"acpi_pm_timer": "0xCFA"}})", "claim the same I/O ports"},
        {"machine.json", R"({"memory": [{"base": 0, "size": 16, "file": "nowhere.bin"}]})", "nowhere.bin: missing"},
        {"machine.json", R"({"memory": [{"base": 0, "size": 16}, {"base": 8, "size": 16}]})", "memory[1]: "},
        {"machine.json", R"({"acpi_namespace": {"_SB_": {"PCI00": {}}}})",
         "machine.json: acpi_namespace._SB_.PCI00: \"PCI00\" is longer than four characters"},
        {"machine.json", R"({"driver": {"fail": ["0x9C40240"], "fail": []}})", "machine.json: driver.fail: given twice"},
        {"cpuid.txt", "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69\nnonsense\n",
         "cpuid.txt: line 2: not a CPUID dump line: \"nonsense\""},
        {"cpuid.txt", "nothing\n", "cpuid.txt: line 1"},
        {"cpuid.txt", "", "cpuid.txt: no CPUID leaf"},
        {"lspci.txt", "00:00.0 Host bridge\n00: 86 80 zz\n", "lspci.txt: line 2"},
        {"smbios.bin", "_SM_\x01", "smbios.bin: SMBIOS entry point"},
        {"acpi/broken", "not a table", "acpi/broken: line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + std::string(" ") + c.content);
        const ImageDir image;
        image.copyData(kI7, "cpuid.txt");
        image.write(c.file, c.content);
        const std::string error = image.loadError();
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(error.rfind(image.path(), 0), 0u) << error;  // starts with the image path
    }
}

TEST(ImageLoader, NotADirectory) {
    std::string error;
    EXPECT_FALSE(loadMachineImage("/nonexistent/image", error));
    EXPECT_NE(error.find("/nonexistent/image: not a machine image directory"), std::string::npos);
}

} // namespace
} // namespace vexa::machine
