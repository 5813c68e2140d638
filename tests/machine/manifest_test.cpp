#include "machine/manifest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>

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
    EXPECT_FALSE(manifest.cpu.busMhz);
    EXPECT_TRUE(manifest.cpu.msrs.empty());
    EXPECT_FALSE(manifest.ports.acpiPmTimer);
    EXPECT_TRUE(manifest.memory.empty());
    EXPECT_FALSE(manifest.os.windows);
    EXPECT_FALSE(manifest.smbios.version);
    EXPECT_EQ(manifest.driver, DriverBehaviour{});
    EXPECT_EQ(manifest.driver.version, 312u);
    EXPECT_TRUE(manifest.driver.failingRequests.empty());
    EXPECT_TRUE(manifest.acpiNamespace.empty());
}

TEST(Manifest, EverySectionWithNumbersAsNumbersOrStrings) {
    const Manifest manifest = parseOk(R"({
      "cpu": {
        "logical_processors": "4",
        "apic_ids": [0, "0x2", 4, "6"],
        "tsc_mhz": "2666.5",
        "bus_mhz": 133.33,
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
                         "properties": {"12": "PCI\\VEN_10DE"}},
                        {"parent": 0, "enumerator": "ACPI_HAL", "pdo_name": "\\Device\\00000001"}]
      },
      "smbios": {"version": "2.7"},
      "driver": {"version": 311, "fail": ["0x9C402400", 2621450240, "0x9c402400"]},
      "acpi_namespace": {"_SB_": {}}
    })");
    EXPECT_EQ(manifest.cpu.logicalProcessors, 4u);
    EXPECT_EQ(manifest.cpu.apicIds, (std::vector<uint32_t>{0, 2, 4, 6}));
    EXPECT_DOUBLE_EQ(*manifest.cpu.tscMhz, 2666.5);
    EXPECT_DOUBLE_EQ(*manifest.cpu.busMhz, 133.33);
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
    ASSERT_EQ(manifest.os.deviceTree.size(), 3u);
    EXPECT_EQ(manifest.os.deviceTree[0].parent, -1);
    EXPECT_EQ(manifest.os.deviceTree[1].parent, 0);
    EXPECT_EQ(manifest.os.deviceTree[1].properties.at(10), "{4d36e968}\\0000");
    EXPECT_EQ(manifest.os.deviceTree[1].properties.at(1), "GPU");
    EXPECT_EQ(manifest.os.deviceTree[1].properties.at(12), "PCI\\VEN_10DE");
    EXPECT_EQ(manifest.os.deviceTree[2].properties,
              (std::map<uint32_t, std::string>{{0x17, "ACPI_HAL"}, {0x0F, "\\Device\\00000001"}}));
    ASSERT_TRUE(manifest.smbios.version);
    EXPECT_EQ(manifest.smbios.version->major, 2);
    EXPECT_EQ(manifest.smbios.version->minor, 7);
    EXPECT_EQ(manifest.driver.version, 311u);
    EXPECT_EQ(manifest.driver.failingRequests, (std::set<uint32_t>{0x9C402400, 0x9C402800}));
    ASSERT_EQ(manifest.acpiNamespace.size(), 2u);
    EXPECT_EQ(manifest.acpiNamespace[1].name, "_SB_");
}

TEST(Manifest, DriverSectionKeepsTheDefaultsItDoesNotName) {
    struct Case {
        const char* text;
        uint32_t version;
        std::set<uint32_t> failing;
    };
    const Case cases[] = {
        {R"({"driver": {}})", 312, {}},
        {R"({"driver": {"version": 311}})", 311, {}},
        {R"({"driver": {"version": "0x137", "fail": []}})", 311, {}},
        {R"({"driver": {"fail": ["0x9C402480", 0, "4294967295"]}})", 312, {0x9C402480, 0, 0xFFFFFFFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Manifest manifest = parseOk(c.text);
        EXPECT_EQ(manifest.driver.version, c.version);
        EXPECT_EQ(manifest.driver.failingRequests, c.failing);
    }
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
        {R"({"cpu": {"bus_mhz": 0}})", "cpu.bus_mhz: must be a positive"},
        {R"({"cpu": {"bus_mhz": -133.33}})", "cpu.bus_mhz: must be a positive"},
        {R"({"cpu": {"bus_mhz": [133]}})", "cpu.bus_mhz: expected a number"},
        {R"({"cpu": {"bus_mhz": "133 MHz"}})", "cpu.bus_mhz: \"133 MHz\" is not a number"},
        // Clock rates stay within what a processor or a bus can run at.
        {R"({"cpu": {"tsc_mhz": 1e19}})", "cpu.tsc_mhz: out of range (1 to 100000 MHz)"},
        {R"({"cpu": {"tsc_mhz": "100000.5"}})", "cpu.tsc_mhz: out of range"},
        {R"({"cpu": {"tsc_mhz": 0.5}})", "cpu.tsc_mhz: out of range"},
        {R"({"cpu": {"bus_mhz": 1e300}})", "cpu.bus_mhz: out of range (1 to 100000 MHz)"},
        {R"({"cpu": {"msrs": {"0xE7": {"kind": "counter", "mhz": 1e12}}}})", "cpu.msrs.0xE7.mhz: out of range"},
        {R"({"cpu": {"msrs": {"0xE7": {"kind": "counter", "mhz": 1e-9}}}})", "cpu.msrs.0xE7.mhz: out of range"},
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
        {R"({"os": {"device_tree": [{"enumerator": 5}]}})", "os.device_tree[0].enumerator: expected a string"},
        {R"({"os": {"device_tree": [{"pdo_name": null}]}})", "os.device_tree[0].pdo_name: expected a string"},
        {R"({"os": {"device_tree": [{"pdo": "x"}]}})", "os.device_tree[0].pdo: unknown key"},
        {R"({"os": {"device_tree": [{"enumerator": "PCI", "properties": {"0x17": "ACPI"}}]}})",
         "os.device_tree[0].properties.0x17: the property is given by its named key too"},
        {R"({"os": {"device_tree": [{"driver": "a", "properties": {"10": "b"}}]}})",
         "os.device_tree[0].properties.10: the property is given by its named key too"},
        {R"({"driver": []})", "driver: expected an object"},
        {R"({"driver": {"versions": 1}})", "driver.versions: unknown key"},
        {R"({"driver": {"version": -1}})", "driver.version: expected a non-negative"},
        {R"({"driver": {"version": 4294967296}})", "driver.version: out of range"},
        {R"({"driver": {"fail": "0x9C402400"}})", "driver.fail: expected an array"},
        {R"({"driver": {"fail": [1, "0x1FFFFFFFF"]}})", "driver.fail[1]: out of range"},
        {R"({"driver": {"fail": [1, 2, {}]}})", "driver.fail[2]: expected a non-negative"},
        // A key given twice is a mistake wherever it stands.
        {R"({"cpu": {}, "cpu": {}})", "cpu: given twice"},
        {R"({"cpu": {"tsc_mhz": 1, "tsc_mhz": 2}})", "cpu.tsc_mhz: given twice"},
        {R"({"memory": [{"base": 0, "size": 1}, {"base": 0, "base": 1}]})", "memory[1].base: given twice"},
        {R"({"os": {"device_tree": [{"properties": {"5": "a", "5": "b"}}]}})",
         "os.device_tree[0].properties.5: given twice"},
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
    EXPECT_NE(error.find("[0][0][0]"), std::string::npos) << error;
    EXPECT_NE(error.find(": nested deeper than 64 levels"), std::string::npos) << error;
    EXPECT_LT(error.size(), 1000u);
    std::string deep = R"({"os": {"device_tree": [{"properties": )";
    deep += std::string(70, '[') + std::string(70, ']') + "}]}}";
    EXPECT_FALSE(parseManifest(deep, manifest, error));
    EXPECT_EQ(error.rfind("os.device_tree[0].properties[0][0]", 0), 0u) << error;
    EXPECT_FALSE(parseManifest(std::string("{\"cpu\": \x01\x02\xff}"), manifest, error));
    EXPECT_FALSE(parseManifest("{\"cpu\": {", manifest, error));
}

// A manifest near its size limit with tens of thousands of members in one
// object: reading it must take time in proportion to its size (a reader
// that rescans an object's members after each one takes minutes here).
TEST(Manifest, ManyMembersAreReadInLinearTime) {
    for (const char* member : {"{}", "[]", "1"}) {
        SCOPED_TRACE(member);
        std::string text = R"({"os": {"device_tree": [{"properties": {)";
        for (int i = 0; i < 80000; ++i) text += (i ? ",\"" : "\"") + std::to_string(i) + "\": " + member;
        text += "}}]}}";
        const auto start = std::chrono::steady_clock::now();
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(text, manifest, error));
        EXPECT_NE(error.find("os.device_tree[0].properties.0: expected a string"), std::string::npos) << error;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    }
}

} // namespace
} // namespace vexa::machine
