#include "machine/manifest.h"

#include <gtest/gtest.h>

namespace vexa::machine {
namespace {

Manifest parseOk(const std::string& text) {
    Manifest manifest;
    std::string error;
    EXPECT_TRUE(parseManifest(text, manifest, error)) << error;
    return manifest;
}

TEST(Manifest, EmptyObjectMeansDefaults) {
    const Manifest manifest = parseOk("{}");
    EXPECT_FALSE(manifest.cpu.logicalProcessors);
    EXPECT_FALSE(manifest.cpu.tscMhz);
    EXPECT_TRUE(manifest.cpu.msrs.empty());
    EXPECT_FALSE(manifest.ports.acpiPmTimer);
    EXPECT_TRUE(manifest.memory.empty());
    EXPECT_FALSE(manifest.os.windows);
    EXPECT_FALSE(manifest.smbios.version);
}

TEST(Manifest, EverySectionWithNumbersAsNumbersOrStrings) {
    const Manifest manifest = parseOk(R"({
      "cpu": {
        "logical_processors": "4",
        "apic_ids": [0, "0x2", 4, "6"],
        "tsc_mhz": "2666.5",
        "msrs": {
          "0x17": "0x0010000000000000",
          "206": 5,
          "0x1A0": {"value": 1, "read_only": true, "cpus": [1, "0x2"]},
          "0x199": [{"value": "0x1600", "cpus": [0]}, {"value": "0x1700", "cpus": [1]}]
        }
      },
      "pci": {},
      "ports": {"acpi_pm_timer": "0x808"},
      "memory": [{"base": "0xF0000", "size": 65536, "file": "bios.bin", "fill": "0x00"},
                 {"base": 0, "size": "0xA0000"}],
      "os": {
        "windows": {"platform_id": 2, "major": 6, "minor": 1, "build": 7601, "csd": "Service Pack 1",
                    "service_pack_major": 1, "product_type": 1, "architecture": 0, "wow64": true},
        "device_tree": [{"description": "root"},
                        {"parent": 0, "driver": "{4d36e968}\\0000", "description": "GPU",
                         "properties": {"12": "PCI\\VEN_10DE"}}]
      },
      "smbios": {"version": "2.7"}
    })");
    EXPECT_EQ(manifest.cpu.logicalProcessors, 4u);
    EXPECT_EQ(manifest.cpu.apicIds, (std::vector<uint32_t>{0, 2, 4, 6}));
    EXPECT_DOUBLE_EQ(*manifest.cpu.tscMhz, 2666.5);
    ASSERT_EQ(manifest.cpu.msrs.size(), 5u);
    bool sawReadOnly = false;
    for (const MsrSetting& msr : manifest.cpu.msrs) {
        if (msr.index == 0x1A0) {
            sawReadOnly = true;
            EXPECT_TRUE(msr.readOnly);
            EXPECT_EQ(msr.cpus, (std::vector<unsigned>{1, 2}));
        }
        if (msr.index == 206) {
            EXPECT_EQ(msr.value, 5u);
        }
    }
    EXPECT_TRUE(sawReadOnly);
    EXPECT_EQ(manifest.ports.acpiPmTimer, 0x808);
    ASSERT_EQ(manifest.memory.size(), 2u);
    EXPECT_EQ(manifest.memory[0].base, 0xF0000u);
    EXPECT_EQ(manifest.memory[0].fill, 0);
    EXPECT_EQ(manifest.memory[1].fill, 0xFF);
    ASSERT_TRUE(manifest.os.windows);
    EXPECT_EQ(manifest.os.windows->buildNumber, 7601u);
    EXPECT_EQ(manifest.os.windows->csdVersion, "Service Pack 1");
    EXPECT_EQ(manifest.os.windows->processorArchitecture, 0);
    EXPECT_TRUE(manifest.os.windows->wow64Process);
    EXPECT_EQ(manifest.os.windows->suiteMask, WindowsIdentity{}.suiteMask);  // not given: default
    ASSERT_EQ(manifest.os.deviceTree.size(), 2u);
    EXPECT_EQ(manifest.os.deviceTree[0].parent, -1);
    EXPECT_EQ(manifest.os.deviceTree[1].parent, 0);
    EXPECT_EQ(manifest.os.deviceTree[1].properties.at(10), "{4d36e968}\\0000");
    EXPECT_EQ(manifest.os.deviceTree[1].properties.at(1), "GPU");
    EXPECT_EQ(manifest.os.deviceTree[1].properties.at(12), "PCI\\VEN_10DE");
    ASSERT_TRUE(manifest.smbios.version);
    EXPECT_EQ(manifest.smbios.version->major, 2);
    EXPECT_EQ(manifest.smbios.version->minor, 7);
}

TEST(Manifest, ErrorsNameTheKeyOrThePosition) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "parse error"},
        {"{\n  \"cpu\": {\n    \"tsc_mhz\": 1,\n  }\n}", "line 4"},
        {"[]", "manifest: expected an object"},
        {R"({"cpus": {}})", "cpus: unknown key"},
        {R"({"cpu": {"tsc": 1}})", "cpu.tsc: unknown key"},
        {R"({"cpu": {"logical_processors": 0}})", "cpu.logical_processors: must be at least 1"},
        {R"({"cpu": {"logical_processors": 100000}})", "cpu.logical_processors: out of range"},
        {R"({"cpu": {"logical_processors": -1}})", "cpu.logical_processors: expected a non-negative"},
        {R"({"cpu": {"logical_processors": 1.5}})", "cpu.logical_processors: expected"},
        {R"({"cpu": {"apic_ids": 3}})", "cpu.apic_ids: expected an array"},
        {R"({"cpu": {"tsc_mhz": 0}})", "cpu.tsc_mhz: must be a positive"},
        {R"({"cpu": {"tsc_mhz": "fast"}})", "cpu.tsc_mhz: \"fast\" is not a number"},
        {R"({"cpu": {"msrs": {"0xZZ": 1}}})", "cpu.msrs.0xZZ: \"0xZZ\" is not a number"},
        {R"({"cpu": {"msrs": {"0x17": {"read_only": true}}}})", "cpu.msrs.0x17: \"value\" is missing"},
        {R"({"cpu": {"msrs": {"0x17": {"value": 1, "cpu": [0]}}}})", "cpu.msrs.0x17.cpu: unknown key"},
        {R"({"cpu": {"msrs": {"0x17": [1]}}})", "cpu.msrs.0x17: each entry"},
        {R"({"cpu": {"msrs": {"0x17": "0x10000000000000000"}}})", "is not a number"},
        {R"({"ports": {"acpi_pm_timer": "0xFFFE"}})", "ports.acpi_pm_timer: out of range"},
        {R"({"pci": {"tweak": 1}})", "pci.tweak: unknown key"},
        {R"({"memory": {}})", "memory: expected an array"},
        {R"({"memory": [{"base": 0}]})", "memory[0]: \"base\" and \"size\" are required"},
        {R"({"memory": [{"base": 0, "size": 0}]})", "memory[0]: the region is empty"},
        {R"({"memory": [{"base": "0xFFFFFFFFFFFFFFFF", "size": 2}]})", "runs past the end"},
        {R"({"memory": [{"base": 0, "size": 1, "fill": 256}]})", "memory[0].fill: out of range"},
        {R"({"os": {"windows": {"build": "x"}}})", "os.windows.build: \"x\" is not a number"},
        {R"({"os": {"windows": {"wow64": 1}}})", "os.windows.wow64: expected true or false"},
        {R"({"os": {"device_tree": [{"parent": 0}]}})", "os.device_tree[0].parent: node 0 is the root"},
        {R"({"os": {"device_tree": [{}, {"driver": "x"}]}})", "os.device_tree[1]: \"parent\" is required"},
        {R"({"os": {"device_tree": [{}, {"parent": 1}]}})", "os.device_tree[1].parent: out of range"},
        {R"({"smbios": {"version": "2"}})", "smbios.version: expected"},
        {R"({"smbios": {"version": "2.x"}})", "smbios.version: expected"},
        {R"({"smbios": {"version": "2.7.1.1"}})", "smbios.version: expected"},
        {R"({"smbios": {"version": 2.7}})", "smbios.version: expected a string"},
    };
    for (const Case& c : cases) {
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(c.text, manifest, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
    }
}

TEST(Manifest, DeepNestingAndGarbageAreRejected) {
    Manifest manifest;
    std::string error;
    EXPECT_FALSE(parseManifest(std::string(100000, '[') + std::string(100000, ']'), manifest, error));
    EXPECT_NE(error.find("nested deeper"), std::string::npos) << error;
    EXPECT_FALSE(parseManifest(std::string("{\"cpu\": \x01\x02\xff}"), manifest, error));
    EXPECT_FALSE(parseManifest("{\"cpu\": {", manifest, error));
}

} // namespace
} // namespace vexa::machine
