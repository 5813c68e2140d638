// The storage domain on drives of machine images: identity by IDENTIFY
// DEVICE (its byte order) or by the storage property, capacity and type,
// the SMART temperature attributes, power states, USB bridges, controllers
// whose SMART is not trusted, the report section with the USB tree, and the
// virtio disk of this host.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "machine/host_machine.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/system/storage_interface.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/ata_sectors.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

using test::PrintTo;

const std::string kRule(73, '-');

std::string Padded(const std::string& text, size_t size) { return text + std::string(size - text.size(), ' '); }

std::string ReportOf(CStorageInterface& storage) {
    CReportGenerator_Buffer report;
    storage.Dump(&report);
    return report.GetText();
}

std::vector<CDrive*> DrivesOf(CStorageInterface* storage) {
    std::vector<CDrive*> drives;
    if (!storage) return drives;
    CTListIterator<CDevice> it(storage->m_pDrives);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) drives.push_back(static_cast<CDrive*>(device));
    return drives;
}

// An image with drives: the "drives" section and the files it names.
class Storage : public ::testing::Test {
protected:
    void TearDown() override {
        machine_.reset();
        ReleaseSDK();
    }

    void Boot(const std::string& drives, const std::map<std::string, std::string>& files = {},
              const std::string& moreSections = "") {
        ImageDir image;
        image.write("machine.json", "{\"drives\": " + drives + moreSections + "}");
        for (const auto& [name, content] : files) image.write(name, content);
        machine_.emplace(image.load());
    }

    // The domain as the creator builds it.
    CStorageInterface* Scan(uint32_t flags = 0) {
        EXPECT_EQ(GetSDK()->CreateStorageInterface(0x12345678, 0x9ABC, flags), 1);
        return static_cast<CStorageInterface*>(GetSDK()->FindInterface(INTERFACE_STORAGE));
    }

    CDrive* OnlyDrive(uint32_t flags = 0) {
        const auto drives = DrivesOf(Scan(flags));
        EXPECT_EQ(drives.size(), 1u);
        return drives.empty() ? nullptr : drives[0];
    }

    std::optional<machine::ScopedMachine> machine_;
};

IdentifyFields Caviar() {
    IdentifyFields fields;
    fields.model = "WDC WD1001FALS-00J7B0";
    fields.serial = "WD-WMATV1234567";
    fields.firmware = "05.00K05";
    fields.sectors = 1953525168;
    return fields;
}

TEST_F(Storage, IdentifyDeviceGivesTheTextsInTheirByteOrderTheCapacityAndTheTemperature) {
    Boot(R"([{"identify": "d0.id", "smart": "d0.smart"}])",
         {{"d0.id", identifySector(Caviar())}, {"d0.smart", smartSector({{9, 0x40}, {194, 0x1E}})}});
    CStorageInterface* storage = Scan();
    ASSERT_TRUE(storage);
    const auto drives = DrivesOf(storage);
    ASSERT_EQ(drives.size(), 1u);
    CDrive& drive = *drives[0];
    EXPECT_EQ(drive.m_iNumber, 0);
    EXPECT_STREQ(drive.m_szDevicePath, "\\\\?\\scsi#disk#0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}");
    // Not trimmed: the drive's own blanks stay.
    EXPECT_EQ(std::string(drive.m_szModel), Padded("WDC WD1001FALS-00J7B0", 40));
    EXPECT_EQ(std::string(drive.m_szSerial), "     WD-WMATV1234567");
    EXPECT_STREQ(drive.m_szRevision, "05.00K05");
    EXPECT_STREQ(drive.GetName(), drive.m_szModel);
    EXPECT_STREQ(drive.GetSerialNumber(), drive.m_szSerial);
    // 121601 cylinders of 255 heads and 63 sectors of 512 bytes: 953867.7 MB.
    EXPECT_EQ(drive.m_qwCapacityMB, 953867u);
    EXPECT_EQ(drive.m_bRemovable, 0);
    EXPECT_EQ(drive.m_bSMARTSupported, 1);
    EXPECT_EQ(drive.m_iPowerState, 1);
    EXPECT_EQ(drive.m_iBridgeKind, USB_BRIDGE_NOT_PROBED);
    ASSERT_TRUE(drive.m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY]);
    const CTemperatureSensor& assembly = *drive.m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY];
    EXPECT_STREQ(assembly.m_szName, "Assembly");
    EXPECT_EQ(assembly.m_fValue, 30.0f);
    EXPECT_EQ(assembly.m_dwRawValue, 0x1Eu);
    EXPECT_EQ(assembly.m_fMinimum, 30.0f);
    EXPECT_EQ(assembly.m_fMaximum, 30.0f);
    EXPECT_EQ(assembly.GetIndex(), 0u);
    EXPECT_FALSE(drive.m_pTemperatures[DRIVE_TEMPERATURE_DRIVE]);
    EXPECT_FALSE(drive.m_pTemperatures[DRIVE_TEMPERATURE_AIR_FLOW]);
    EXPECT_EQ(GetSDK()->m_pSensors->GetCount(), 1u);
    EXPECT_EQ(GetSDK()->m_pDevices->GetCount(), 1u);

    EXPECT_EQ(ReportOf(*storage),
              "Drive\t0\n"
              "\tDevice Path\t\t\\\\?\\scsi#disk#0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}\n"
              "\tType\t\t\tFixed\n"
              "\tName\t\t\t" + Padded("WDC WD1001FALS-00J7B0", 40) + "\n"
              "\tRevision\t\t05.00K05\n"
              "\tSerial\t\t\t     WD-WMATV1234567\n"
              "\tCapacity\t\t931.5 GB\n"
              "\tSMART Support\t\tYes\n"
              "\n"
              "USB Devices\n" + kRule + "\n\n");
}

struct TemperatureCase {
    const char* name;
    std::vector<SmartAttribute> attributes;
    int sensor;  // DriveTemperature, -1: no sensor at all
    float value;
};

class Temperatures : public Storage, public ::testing::WithParamInterface<TemperatureCase> {};

TEST_P(Temperatures, FromSmartAttributes) {
    Boot(R"([{"identify": "d.id", "smart": "d.smart"}])",
         {{"d.id", identifySector(Caviar())}, {"d.smart", smartSector(GetParam().attributes)}});
    CDrive* drive = OnlyDrive();
    ASSERT_TRUE(drive);
    for (int sensor = 0; sensor < int(DRIVE_TEMPERATURE_COUNT); ++sensor) {
        SCOPED_TRACE(sensor);
        if (sensor != GetParam().sensor) {
            EXPECT_FALSE(drive->m_pTemperatures[sensor]);
            continue;
        }
        ASSERT_TRUE(drive->m_pTemperatures[sensor]);
        EXPECT_FLOAT_EQ(drive->m_pTemperatures[sensor]->m_fValue, GetParam().value);
        EXPECT_EQ(drive->m_pTemperatures[sensor]->GetIndex(), uint32_t(sensor));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, Temperatures,
    ::testing::Values(
        TemperatureCase{"assembly_30", {{194, 0x1E}}, DRIVE_TEMPERATURE_ASSEMBLY, 30.0f},
        TemperatureCase{"tenths_above_200", {{194, 0xF0}}, DRIVE_TEMPERATURE_ASSEMBLY, 24.0f},
        TemperatureCase{"exactly_200_is_whole", {{194, 200}}, DRIVE_TEMPERATURE_ASSEMBLY, 200.0f},
        TemperatureCase{"drive_231", {{231, 41}}, DRIVE_TEMPERATURE_DRIVE, 41.0f},
        TemperatureCase{"air_flow_190", {{190, 201}}, DRIVE_TEMPERATURE_AIR_FLOW, 20.1f},
        TemperatureCase{"raw_zero_gives_none", {{194, 0}}, -1, 0},
        TemperatureCase{"other_attributes_give_none", {{9, 30}, {193, 30}}, -1, 0},
        TemperatureCase{"entry_27_is_the_last_examined", {{194, 35, 26}}, DRIVE_TEMPERATURE_ASSEMBLY, 35.0f},
        TemperatureCase{"entries_28_to_30_are_not_seen", {{194, 35, 27}, {231, 35, 28}, {190, 35, 29}}, -1, 0}),
    CaseName());

struct SmartCase {
    const char* name;
    IdentifyFields identify;
    bool smartFile;
    int supported;
    bool sensor;
};

class SmartSupport : public Storage, public ::testing::WithParamInterface<SmartCase> {};

TEST_P(SmartSupport, FromIdentifyAndTheData) {
    std::map<std::string, std::string> files{{"d.id", identifySector(GetParam().identify)}};
    std::string drive = R"([{"identify": "d.id")";
    if (GetParam().smartFile) {
        files["d.smart"] = smartSector({{194, 33}});
        drive += R"(, "smart": "d.smart")";
    }
    Boot(drive + "}]", files);
    CDrive* found = OnlyDrive();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->m_bSMARTSupported, GetParam().supported);
    EXPECT_EQ(found->m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY] != nullptr, GetParam().sensor);
}

IdentifyFields Smart(bool supported, bool enabled) {
    IdentifyFields fields = Caviar();
    fields.smartSupported = supported;
    fields.smartEnabled = enabled;
    return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmartSupport,
    ::testing::Values(SmartCase{"with_data", Smart(true, true), true, 1, true},
                      SmartCase{"without_data_no_sensor", Smart(true, true), false, 1, false},
                      SmartCase{"disabled_is_enabled_first", Smart(true, false), true, 1, true},
                      SmartCase{"not_supported_is_not_asked", Smart(false, false), true, 0, false}),
    CaseName());

// Without ATA commands the storage property names the drive; the SMART
// version answer says whether it takes SMART commands.
TEST_F(Storage, ThePropertyNamesADriveThatTakesNoAtaCommands) {
    Boot(R"([{"property": {"vendor": "Red Hat ", "product": "VirtIO  ", "revision": "0001"}, "sectors": 41943040},
             {"property": {"product": "Product Only"}, "sectors": 41943040}])");
    const auto drives = DrivesOf(Scan());
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_STREQ(drives[0]->m_szModel, "Red Hat VirtIO");
    EXPECT_STREQ(drives[0]->m_szRevision, "") << "the property path reads only the names";
    EXPECT_EQ(drives[0]->m_bSMARTSupported, 0);
    EXPECT_EQ(drives[0]->m_qwCapacityMB, 20473u);
    EXPECT_STREQ(drives[1]->m_szModel, "Product Only");
    EXPECT_EQ(drives[1]->m_iNumber, 1);
}

// The descriptor comes back cut to the 512 bytes asked for while its Size
// keeps the whole length: a text running past them is cut there.
TEST_F(Storage, PropertyTextsAreReadWithinTheBytesReturned) {
    Boot(R"([{"property": {"vendor": "V", "product": ")" + std::string(600, 'P') + R"("}}])");
    CDrive* drive = OnlyDrive();
    ASSERT_TRUE(drive);
    EXPECT_EQ(std::string(drive->m_szModel), "V " + std::string(512 - 42, 'P'));
}

TEST_F(Storage, ADriveWithoutIdentityIsNamedByItsNumber) {
    Boot(R"([{"property": false, "geometry": false}])");
    CStorageInterface* storage = Scan();
    const auto drives = DrivesOf(storage);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_STREQ(drives[0]->m_szModel, "HDD 0");
    EXPECT_EQ(drives[0]->m_qwCapacityMB, 0u);
    EXPECT_EQ(drives[0]->m_bSMARTSupported, 0) << "the SMART version request answers for every disk";
    EXPECT_EQ(ReportOf(*storage).find("Capacity"), std::string::npos);
}

TEST_F(Storage, ADriveNotPoweredUpIsNeitherIdentifiedNorAskedForSmart) {
    Boot(R"([{"identify": "d.id", "smart": "d.smart", "powered_up": false}])",
         {{"d.id", identifySector(Caviar())}, {"d.smart", smartSector({{194, 30}})}});
    CDrive* drive = OnlyDrive();
    ASSERT_TRUE(drive);
    EXPECT_EQ(drive->m_iPowerState, 0);
    EXPECT_STREQ(drive->m_szModel, "HDD 0");
    EXPECT_FALSE(drive->m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY]);
    EXPECT_EQ(drive->m_qwCapacityMB, 953867u) << "the geometry is asked whatever the power state";
}

TEST_F(Storage, TheFlagQueriesDrivesWhateverTheirPowerState) {
    Boot(R"([{"identify": "d.id", "smart": "d.smart", "powered_up": false}])",
         {{"d.id", identifySector(Caviar())}, {"d.smart", smartSector({{194, 30}})}});
    CDrive* drive = OnlyDrive(STORAGE_ANY_POWER_STATE);
    ASSERT_TRUE(drive);
    EXPECT_EQ(std::string(drive->m_szModel), Padded("WDC WD1001FALS-00J7B0", 40));
    EXPECT_TRUE(drive->m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY]);
}

TEST_F(Storage, RemovableMediaIsReportedSo) {
    Boot(R"([{"property": {"product": "Card Reader"}, "sectors": 3862528, "removable": true}])");
    CStorageInterface* storage = Scan();
    const auto drives = DrivesOf(storage);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0]->m_bRemovable, 1);
    EXPECT_NE(ReportOf(*storage).find("\tType\t\t\tRemovable\n"), std::string::npos);
}

TEST_F(Storage, NoDrivesGiveOnlyTheUsbSection) {
    Boot("[]");
    CStorageInterface* storage = Scan();
    ASSERT_TRUE(storage);
    EXPECT_FALSE(storage->m_pDrives);
    EXPECT_EQ(ReportOf(*storage), "USB Devices\n" + kRule + "\n\n");
}

// ---- USB bridges ----

TEST_F(Storage, BridgesAreProbedInTheirOrderOnlyWithTheirFlag) {
    const std::string drives = R"([{"identify": "d.id", "smart": "d.smart", "usb_bridge": "0xE3"},
                                   {"identify": "d.id", "smart": "d.smart"}])";
    const std::map<std::string, std::string> files{{"d.id", identifySector(Caviar())},
                                                   {"d.smart", smartSector({{194, 29}})}};
    Boot(drives, files);
    auto found = DrivesOf(Scan());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->m_iBridgeKind, USB_BRIDGE_NOT_PROBED);
    EXPECT_FALSE(found[0]->m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY]) << "behind a bridge no ATA command arrives";
    EXPECT_EQ(found[0]->m_bSMARTSupported, 0);
    ReleaseSDK();

    Boot(drives, files);
    found = DrivesOf(Scan(STORAGE_USB_BRIDGES));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->m_iBridgeKind, USB_BRIDGE_E3);
    ASSERT_TRUE(found[0]->m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY]);
    EXPECT_EQ(found[0]->m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY]->m_fValue, 29.0f);
    EXPECT_EQ(found[1]->m_iBridgeKind, USB_BRIDGE_NONE) << "no bridge answered";
}

// ---- The USB section ----

TEST_F(Storage, UsbDevicesDepthFirstWithTheirDescriptions) {
    Boot("[]", {}, R"(, "usb": [
        {"ports": 2, "devices": [
          {"port": 2, "class": 0, "vendor": "0x046D", "product": "0xC31C", "description": "USB Input Device"}]},
        {"ports": 6, "devices": [
          {"port": 1, "class": "0x09", "vendor": "0x05E3", "product": "0x0608", "description": "Generic USB Hub",
           "ports": 4, "devices": [
             {"port": 3, "class": 0, "subclass": 0, "vendor": "0x0781", "product": "0x5530",
              "description": "USB Mass Storage Device"}]},
          {"port": 5, "class": "0xE0", "subclass": 1, "vendor": "0x0A12", "product": "0x0001"}]}])");
    CStorageInterface* storage = Scan();
    ASSERT_TRUE(storage);
    EXPECT_EQ(ReportOf(*storage),
              "USB Devices\n" + kRule + "\n\n"
              "USB Device\t\t\tUSB Input Device, class=0x00, subclass=0x00, vendor=0x046D, product=0xC31C\n"
              "USB Device\t\t\tGeneric USB Hub, class=0x09, subclass=0x00, vendor=0x05E3, product=0x0608\n"
              "USB Device\t\t\tUSB Mass Storage Device, class=0x00, subclass=0x00, vendor=0x0781, product=0x5530\n"
              "USB Device\t\t\t, class=0xE0, subclass=0x01, vendor=0x0A12, product=0x0001\n");
}

// Ten thousand devices behind 40 hubs are listed, each with its
// description, in a time that grows with their number and not faster.
TEST_F(Storage, TenThousandUsbDevicesAreListedQuickly) {
    constexpr int kHubs = 40, kPorts = 250;
    std::string hubs;
    for (int hub = 0; hub < kHubs; ++hub) {
        std::string devices;
        for (int port = 1; port <= kPorts; ++port)
            devices += std::string(port > 1 ? "," : "") + R"({"port": )" + std::to_string(port) +
                       R"(, "vendor": "0x0781", "product": "0x5530", "description": "Stick )" +
                       std::to_string(hub * kPorts + port) + "\"}";
        hubs += std::string(hub ? "," : "") + R"({"port": )" + std::to_string(hub + 1) +
                R"(, "class": "0x09", "description": "Hub", "ports": )" + std::to_string(kPorts) +
                R"(, "devices": [)" + devices + "]}";
    }
    const auto start = std::chrono::steady_clock::now();
    Boot("[]", {}, R"(, "usb": [{"ports": )" + std::to_string(kHubs) + R"(, "devices": [)" + hubs + "]}]");
    CStorageInterface* storage = Scan();
    ASSERT_TRUE(storage);
    const std::string report = ReportOf(*storage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    size_t sticks = 0;
    for (size_t at = report.find("\tStick "); at != std::string::npos; at = report.find("\tStick ", at + 1)) ++sticks;
    EXPECT_EQ(sticks, size_t(kHubs * kPorts));
    EXPECT_NE(report.find("\tStick 10000, class=0x00"), std::string::npos);
    // About a second in an optimised build; sanitizers are slower.
    EXPECT_LT(seconds, 10.0);
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("10000 USB devices: %.2f s\n", seconds);
}

// ---- Controllers whose SMART answers are not trusted ----

class StorageBehindControllers : public PciTest {
protected:
    CDrive* DriveBehind(uint16_t vendor, uint16_t device, const std::string& boardHash = "0x12345678") {
        ImageDir image;
        image.write("machine.json", R"({"drives": [{"identify": "d.id", "smart": "d.smart"}]})");
        image.write("d.id", identifySector(Caviar()));
        image.write("d.smart", smartSector({{194, 31}}));
        image.write("lspci.txt", LspciWithHostBridge({FunctionDump({0, 5, 0}, vendor, device).Class(0x01, 0x04)}));
        start(image.load());
        scannedPCI();
        EXPECT_EQ(GetSDK()->CreateStorageInterface(uint32_t(std::stoul(boardHash, nullptr, 16)), 0, 0), 1);
        const auto drives = DrivesOf(static_cast<CStorageInterface*>(GetSDK()->FindInterface(INTERFACE_STORAGE)));
        return drives.size() == 1 ? drives[0] : nullptr;
    }
};

struct ControllerCase {
    const char* name;
    uint16_t vendor, device;
    const char* boardHash;
    int smart;
};

class SmartControllers : public StorageBehindControllers, public ::testing::WithParamInterface<ControllerCase> {};

TEST_P(SmartControllers, DecideSmartSupport) {
    CDrive* drive = DriveBehind(GetParam().vendor, GetParam().device, GetParam().boardHash);
    ASSERT_TRUE(drive);
    EXPECT_EQ(drive->m_bSMARTSupported, GetParam().smart);
    EXPECT_EQ(drive->m_pTemperatures[DRIVE_TEMPERATURE_ASSEMBLY] != nullptr, GetParam().smart == 1);
}

INSTANTIATE_TEST_SUITE_P(Controllers, SmartControllers,
                         ::testing::Values(ControllerCase{"silicon_image_0680", 0x1095, 0x0680, "0x12345678", 0},
                                           ControllerCase{"ite_8211", 0x1283, 0x8211, "0x12345678", 0},
                                           ControllerCase{"via_3249", 0x1106, 0x3249, "0x12345678", 0},
                                           ControllerCase{"via_3249_on_its_board", 0x1106, 0x3249, "0xCCE9B6A0", 1},
                                           ControllerCase{"intel_ich10", 0x8086, 0x3A22, "0x12345678", 1}),
                         CaseName());

// ---- This host ----

TEST(HostStorage, TheVirtioDiskIsListedWithoutSmart) {
    if (!std::filesystem::exists("/sys/block/vda/device")) GTEST_SKIP() << "this host has no virtio disk vda";
    machine::ScopedMachine host(std::make_unique<machine::HostMachine>());
    ASSERT_EQ(GetSDK()->CreateStorageInterface(0, 0, 0), 1);
    auto* storage = static_cast<CStorageInterface*>(GetSDK()->FindInterface(INTERFACE_STORAGE));
    CDrive* vda = nullptr;
    for (CDrive* drive : DrivesOf(storage))
        if (std::string(drive->m_szDevicePath).find("#vda#") != std::string::npos) vda = drive;
    ASSERT_TRUE(vda);
    EXPECT_STREQ(vda->m_szModel, "Virtio Block Device");
    EXPECT_EQ(vda->m_bSMARTSupported, 0);
    EXPECT_EQ(vda->m_bRemovable, 0);
    EXPECT_GT(vda->m_qwCapacityMB, 0u);
    for (CTemperatureSensor* sensor : vda->m_pTemperatures) EXPECT_FALSE(sensor);
    const std::string report = ReportOf(*storage);
    EXPECT_NE(report.find("\tName\t\t\tVirtio Block Device\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\tSMART Support\t\tNo\n"), std::string::npos) << report;
    ReleaseSDK();
}

} // namespace
} // namespace vexa::test
