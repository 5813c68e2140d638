// machine.json's sections for WMI, the virtual machine, the Windows
// details, the drives and the USB tree: what they give and the messages of
// the mistakes they catch.
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

std::string parseError(const std::string& text) {
    Manifest manifest;
    std::string error;
    EXPECT_FALSE(parseManifest(text, manifest, error));
    return error;
}

TEST(SystemManifest, WmiClassesWithTypedValues) {
    const Manifest manifest = parseOk(R"({"wmi": {"\\\\.\\root\\cimv2": {"Win32_VideoController": [
        {"Name": "GPU", "AdapterRAM": {"uint32": "0x40000000"}, "Capacity": {"uint64": 500107862016},
         "Delta": {"sint32": -12}, "On": true, "Date": {"datetime": "20110621"}, "Id": {"uint8[]": "0a 0b"},
         "Gone": null, "Nothing": {"null": "uint16"}}]}}})");
    ASSERT_EQ(manifest.wmi.size(), 1u);
    const WmiClass& wmiClass = manifest.wmi[0];
    EXPECT_EQ(wmiClass.nameSpace, "root\\cimv2");
    EXPECT_EQ(wmiClass.name, "Win32_VideoController");
    ASSERT_EQ(wmiClass.instances.size(), 1u);
    std::map<std::string, WmiValue> values;
    for (const WmiProperty& property : wmiClass.instances[0].properties) values[property.name] = property.value;
    EXPECT_EQ(values["Name"], (WmiValue{cim::kString, false, "GPU"}));
    EXPECT_EQ(values["AdapterRAM"], (WmiValue{cim::kUint32, false, "", 0x40000000}));
    EXPECT_EQ(values["Capacity"], (WmiValue{cim::kUint64, false, "500107862016", 500107862016}));
    EXPECT_EQ(values["Delta"], (WmiValue{cim::kSint32, false, "", -12}));
    EXPECT_EQ(values["On"], (WmiValue{cim::kBoolean, false, "", 1}));
    EXPECT_EQ(values["Date"], (WmiValue{cim::kDateTime, false, "20110621"}));
    EXPECT_EQ(values["Id"].bytes, (std::vector<uint8_t>{0x0A, 0x0B}));
    EXPECT_EQ(values["Gone"], (WmiValue{cim::kString, true}));
    EXPECT_EQ(values["Nothing"], (WmiValue{cim::kUint16, true}));
}

TEST(SystemManifest, VirtualMachineAndWindowsDetails) {
    const Manifest manifest = parseOk(R"({"vm": "virtualpc", "os": {"windows": {"major": 6, "minor": 3,
        "reported_version": {"major": 6, "minor": 2, "build": 9200}, "product_info": "0x1C", "media_center": true,
        "dxdiag": {"long_english": "DirectX 11", "english": "4.09", "major": 9, "minor": 0, "letter": "c"},
        "system_files": {"D3D9.DLL": "6.3.9600.16384"}, "registry_keys": ["SOFTWARE\\A"]}}})");
    EXPECT_EQ(manifest.vm, Hypervisor::VirtualPC);
    ASSERT_TRUE(manifest.os.windows);
    const WindowsIdentity& windows = *manifest.os.windows;
    ASSERT_TRUE(windows.reportedVersion);
    EXPECT_EQ(windows.reportedVersion->minorVersion, 2u);
    EXPECT_EQ(windows.reportedVersion->buildNumber, 9200u);
    EXPECT_EQ(windows.productInfo, 0x1Cu);
    EXPECT_TRUE(windows.mediaCenter);
    EXPECT_FALSE(windows.tabletPc);
    ASSERT_TRUE(windows.dxdiag);
    EXPECT_EQ(windows.dxdiag->versionLongEnglish, "DirectX 11");
    EXPECT_EQ(windows.dxdiag->major, 9u);
    EXPECT_EQ(windows.dxdiag->letter, "c");
    EXPECT_EQ(windows.systemFiles.at("d3d9.dll"), (std::array<uint16_t, 4>{6, 3, 9600, 16384}));
    EXPECT_EQ(windows.registryKeys, std::vector<std::string>{"SOFTWARE\\A"});
    EXPECT_EQ(parseOk("{}").vm, Hypervisor::None);
}

TEST(SystemManifest, DrivesAndTheirDefaults) {
    const Manifest manifest = parseOk(R"({"drives": [
        {"identify": "a.id", "smart": "a.smart"},
        {"path": "\\\\?\\usbstor#disk", "property": {"vendor": "V", "product": "P", "bus": "usb"}, "sectors": 1000000,
         "bytes_per_sector": 4096, "removable": true, "powered_up": false, "usb_bridge": "0xDF"},
        {"property": false, "geometry": false}]})");
    ASSERT_EQ(manifest.drives.size(), 3u);
    EXPECT_EQ(manifest.drives[0].drive.interfacePath, "\\\\?\\scsi#disk#0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}");
    EXPECT_EQ(manifest.drives[0].identifyFile, "a.id");
    EXPECT_FALSE(manifest.drives[0].propertyGiven);
    EXPECT_FALSE(manifest.drives[0].geometryGiven);
    const DriveEntry& usb = manifest.drives[1];
    EXPECT_EQ(usb.drive.interfacePath, "\\\\?\\usbstor#disk");
    ASSERT_TRUE(usb.drive.property);
    EXPECT_EQ(usb.drive.property->busType, 7u);
    ASSERT_TRUE(usb.drive.geometry);
    EXPECT_EQ(usb.drive.geometry->cylinders, 1000000u / 16065);
    EXPECT_EQ(usb.drive.geometry->bytesPerSector, 4096u);
    EXPECT_TRUE(usb.drive.removable);
    EXPECT_FALSE(usb.drive.poweredUp);
    EXPECT_EQ(usb.usbBridge, 0xDF);
    EXPECT_TRUE(manifest.drives[2].propertyGiven);
    EXPECT_FALSE(manifest.drives[2].drive.property);
    EXPECT_TRUE(manifest.drives[2].geometryGiven);
    EXPECT_FALSE(manifest.drives[2].drive.geometry);
}

TEST(SystemManifest, UsbTreeWithDriverKeysInWalkOrder) {
    const Manifest manifest = parseOk(R"({"usb": [
        {"ports": 2, "devices": [{"port": 2, "ports": 4, "devices": [{"port": 1, "vendor": "0x0781"}]},
                                 {"port": 1, "class": 3, "description": "USB Input Device"}]},
        {"ports": 6}]})");
    ASSERT_EQ(manifest.usb.size(), 2u);
    const UsbDevice& root = manifest.usb[0].rootHub;
    EXPECT_TRUE(root.hub);
    EXPECT_EQ(root.portCount, 2u);
    ASSERT_EQ(root.children.size(), 2u);
    const UsbDevice& hub = root.children[0];
    EXPECT_TRUE(hub.hub);
    EXPECT_EQ(hub.deviceClass, 0x09);
    EXPECT_EQ(hub.driverKey, "{36fc9e60-c465-11cf-8056-444553540000}\\0000");
    EXPECT_EQ(hub.children.at(0).driverKey, "{36fc9e60-c465-11cf-8056-444553540000}\\0001");
    EXPECT_EQ(hub.children.at(0).vendorId, 0x0781);
    EXPECT_EQ(root.children[1].driverKey, "{36fc9e60-c465-11cf-8056-444553540000}\\0002");
    EXPECT_EQ(root.children[1].description, "USB Input Device");
    EXPECT_FALSE(root.children[1].hub);
    EXPECT_EQ(manifest.usb[1].rootHub.portCount, 6u);
}

struct ErrorCase {
    const char* name;
    const char* manifest;
    const char* error;
};

class SystemManifestErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SystemManifestErrors, NameTheKey) { EXPECT_EQ(parseError(GetParam().manifest), GetParam().error); }

std::string CaseName(const ::testing::TestParamInfo<ErrorCase>& row) { return row.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Mistakes, SystemManifestErrors,
    ::testing::Values(
        ErrorCase{"vm_kind", R"({"vm": "xen"})", "vm: \"xen\" is not a virtual machine (none, vmware, virtualpc)"},
        ErrorCase{"wmi_type", R"({"wmi": {"root\\cimv2": {"C": [{"P": {"uint128": 1}}]}}})",
                  "wmi.root\\cimv2.C[0].P.uint128: \"uint128\" is not a CIM type (string, datetime, sint8..uint64, "
                  "real32, real64, boolean, uint8[])"},
        ErrorCase{"wmi_range", R"({"wmi": {"root": {"C": [{"P": {"uint8": 256}}]}}})",
                  "wmi.root.C[0].P.uint8: out of range (at most 255)"},
        ErrorCase{"wmi_signed_range", R"({"wmi": {"root": {"C": [{"P": {"sint8": -129}}]}}})",
                  "wmi.root.C[0].P.sint8: out of range (at least -128)"},
        ErrorCase{"wmi_number_without_type", R"({"wmi": {"root": {"C": [{"P": 5}]}}})",
                  "wmi.root.C[0].P: expected a string, true, false, null or an object of one CIM type such as "
                  "{\"uint32\": 1}"},
        ErrorCase{"wmi_class_twice", R"({"wmi": {"root\\wmi": {"A": []}, "\\\\.\\ROOT\\WMI": {"a": []}}})",
                  "wmi.root\\wmi.A: the class is listed twice in its namespace"},
        ErrorCase{"file_version", R"({"os": {"windows": {"system_files": {"d3d9.dll": "6.1.7601"}}}})",
                  "os.windows.system_files.d3d9.dll: \"6.1.7601\" is not a file version such as \"6.1.7600.16385\""},
        ErrorCase{"file_in_a_folder", R"({"os": {"windows": {"system_files": {"a\\b.dll": "1.2.3.4"}}}})",
                  "os.windows.system_files.a\\b.dll: expected the name of a file in the system folder"},
        ErrorCase{"dxdiag_key", R"({"os": {"windows": {"dxdiag": {"version": 9}}}})",
                  "os.windows.dxdiag.version: unknown key"},
        ErrorCase{"drive_key", R"({"drives": [{"size": 5}]})", "drives[0].size: unknown key"},
        ErrorCase{"drive_bus", R"({"drives": [{"property": {"bus": "firewire"}}]})",
                  "drives[0].property.bus: \"firewire\" is not a bus (scsi, atapi, ata, usb, raid, sas, sata, virtual, "
                  "nvme)"},
        ErrorCase{"drive_bridge", R"({"drives": [{"usb_bridge": "0x12"}]})",
                  "drives[0].usb_bridge: not a bridge command (0xA1, 0xDF, 0x24, 0xF8, 0xE3, 0xE0)"},
        ErrorCase{"drive_sector_size", R"({"drives": [{"sectors": 8, "bytes_per_sector": 1000}]})",
                  "drives[0].bytes_per_sector: must be a power of two"},
        ErrorCase{"drive_geometry_true", R"({"drives": [{"geometry": true}]})",
                  "drives[0].geometry: only false (no geometry) is taken; \"sectors\" gives the size"},
        ErrorCase{"usb_port_outside", R"({"usb": [{"ports": 2, "devices": [{"port": 3}]}]})",
                  "usb[0].devices[0].port: not a port of the hub (1..2)"},
        ErrorCase{"usb_port_twice", R"({"usb": [{"ports": 2, "devices": [{"port": 1}, {"port": 1}]}]})",
                  "usb[0].devices[1].port: the port is taken twice"},
        ErrorCase{"usb_too_deep",
                  R"({"usb": [{"ports": 1, "devices": [{"port": 1, "ports": 1, "devices": [{"port": 1, "ports": 1,
                     "devices": [{"port": 1, "ports": 1, "devices": [{"port": 1, "ports": 1, "devices": [{"port": 1,
                     "ports": 1, "devices": [{"port": 1, "ports": 1}]}]}]}]}]}]}]})",
                  "usb[0].devices[0].devices[0].devices[0].devices[0].devices[0].devices[0]: more than 5 tiers of "
                  "hubs"}),
    CaseName);

} // namespace
} // namespace vexa::machine
