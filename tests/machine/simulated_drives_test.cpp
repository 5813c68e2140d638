// The drives and USB devices of machine images: the sector files, what the
// loader takes from the IDENTIFY data, the ATA commands each drive answers
// and the device-tree nodes of described USB devices.
#include <gtest/gtest.h>

#include <vector>

#include "machine/simulated_machine.h"
#include "tests/support/ata_sectors.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::machine {
namespace {

using test::identifySector;
using test::ImageDir;
using test::smartSector;

AtaRegisters Identify() { return AtaRegisters{0, 1, 0, 0, 0, 0xA0, kAtaIdentifyDevice}; }
AtaRegisters Smart(uint8_t features) {
    return AtaRegisters{features, 1, 1, kSmartLbaMid, kSmartLbaHigh, 0xA0, kAtaSmart};
}

TEST(SimulatedDrives, PropertyAndGeometryComeFromTheIdentifyData) {
    ImageDir image;
    image.write("machine.json", R"({"drives": [{"identify": "d.id"},
                                               {"identify": "d.id", "property": {"product": "Own"}, "sectors": 16065}]})");
    test::IdentifyFields fields;
    fields.model = "ST3500418AS";
    fields.serial = "9VM12345";
    fields.firmware = "CC38";
    fields.sectors = 976773168;
    image.write("d.id", identifySector(fields));
    auto machine = image.load();
    const auto drives = machine->diskDrives();
    ASSERT_EQ(drives.size(), 2u);
    ASSERT_TRUE(drives[0].property);
    EXPECT_EQ(drives[0].property->vendor, "");
    EXPECT_EQ(drives[0].property->product, "ST3500418AS");
    EXPECT_EQ(drives[0].property->revision, "CC38");
    EXPECT_EQ(drives[0].property->serial, "9VM12345");
    EXPECT_EQ(drives[0].geometry, DiskGeometry::ofSectors(976773168));
    EXPECT_EQ(drives[0].geometry->cylinders, 60801u);
    EXPECT_EQ(drives[1].property->product, "Own");
    EXPECT_EQ(drives[1].geometry->cylinders, 1u);
}

TEST(SimulatedDrives, SectorFilesMustHoldExactly512Bytes) {
    for (const size_t size : {511u, 513u}) {
        ImageDir image;
        image.write("machine.json", R"({"drives": [{"identify": "d.id"}]})");
        image.write("d.id", std::string(size, 'x'));
        EXPECT_EQ(image.loadError(),
                  image.path() + "/machine.json: drives[0].identify: d.id: must hold exactly 512 bytes");
    }
    ImageDir image;
    image.write("machine.json", R"({"drives": [{"smart": "gone.bin"}]})");
    EXPECT_EQ(image.loadError(), image.path() + "/machine.json: drives[0].smart: gone.bin: missing");
}

TEST(SimulatedDrives, AtaCommandsFollowTheSmartState) {
    ImageDir image;
    image.write("machine.json", R"({"drives": [{"identify": "off.id", "smart": "d.smart"},
                                               {"identify": "none.id", "smart": "d.smart"},
                                               {"identify": "on.id"},
                                               {"property": {"product": "No ATA"}}]})");
    test::IdentifyFields off;
    off.smartEnabled = false;
    test::IdentifyFields none;
    none.smartSupported = none.smartEnabled = false;
    image.write("off.id", identifySector(off));
    image.write("none.id", identifySector(none));
    image.write("on.id", identifySector());
    image.write("d.smart", smartSector({{194, 33}}));
    auto machine = image.load();
    std::vector<uint8_t> data(512);

    EXPECT_EQ(machine->ataCommand(0, Identify(), data), AtaOutcome::Completed);
    EXPECT_EQ(machine->ataCommand(0, Smart(kSmartReadData), data), AtaOutcome::Aborted) << "SMART disabled";
    EXPECT_EQ(machine->ataCommand(0, Smart(kSmartEnableOperations), {}), AtaOutcome::Completed);
    EXPECT_EQ(machine->ataCommand(0, Smart(kSmartReadData), data), AtaOutcome::Completed);
    EXPECT_EQ(data[2], 194);

    EXPECT_EQ(machine->ataCommand(1, Smart(kSmartEnableOperations), {}), AtaOutcome::Aborted) << "no SMART";
    EXPECT_EQ(machine->ataCommand(1, Smart(kSmartReadData), data), AtaOutcome::Aborted);
    EXPECT_EQ(machine->ataCommand(2, Smart(kSmartReadData), data), AtaOutcome::Aborted) << "no SMART data";
    EXPECT_EQ(machine->ataCommand(3, Identify(), data), AtaOutcome::NoAnswer) << "no ATA commands";
    EXPECT_EQ(machine->ataCommand(4, Identify(), data), AtaOutcome::NoAnswer) << "no such drive";

    std::vector<uint8_t> small(511);
    EXPECT_EQ(machine->ataCommand(0, Identify(), small), AtaOutcome::NoAnswer);
    AtaRegisters write = Identify();
    write.command = 0x30;
    EXPECT_EQ(machine->ataCommand(0, write, data), AtaOutcome::NoAnswer);
    AtaRegisters wrongSignature = Smart(kSmartReadData);
    wrongSignature.lbaHigh = 0;
    EXPECT_EQ(machine->ataCommand(0, wrongSignature, data), AtaOutcome::NoAnswer);
}

TEST(SimulatedDrives, ABridgeAnswersOnlyItsOwnBlock) {
    ImageDir image;
    image.write("machine.json", R"({"drives": [{"identify": "d.id", "smart": "d.smart", "usb_bridge": "0x24"}]})");
    image.write("d.id", identifySector());
    image.write("d.smart", smartSector({{194, 33}}));
    auto machine = image.load();
    std::vector<uint8_t> data(512);
    size_t transferred = 99;
    const uint8_t sat[12] = {0xA1};
    EXPECT_FALSE(machine->scsiPassThrough(0, sat, data, transferred));
    EXPECT_EQ(transferred, 0u);
    const uint8_t own[16] = {0x24, 0x24};
    EXPECT_TRUE(machine->scsiPassThrough(0, own, data, transferred));
    EXPECT_EQ(transferred, 512u);
    EXPECT_EQ(data[2], 194);
    EXPECT_EQ(machine->ataCommand(0, Identify(), data), AtaOutcome::NoAnswer) << "behind the bridge";
    EXPECT_EQ(machine->diskDrives()[0].property->busType, 7u);
}

TEST(SimulatedDrives, DescribedUsbDevicesJoinTheDeviceTree) {
    ImageDir image;
    image.write("machine.json", R"({"os": {"device_tree": [{"description": "root"},
        {"parent": 0, "driver": "{36fc9e60-c465-11cf-8056-444553540000}\\0001", "description": "Own node"}]},
        "usb": [{"ports": 2, "devices": [{"port": 1, "description": "USB Input Device"},
                                         {"port": 2, "description": "Replaced"}, {"port": 3}]}]})");
    EXPECT_NE(image.loadError().find("not a port of the hub"), std::string::npos);
    image.write("machine.json", R"({"os": {"device_tree": [{"description": "root"},
        {"parent": 0, "driver": "{36fc9e60-c465-11cf-8056-444553540000}\\0001", "description": "Own node"}]},
        "usb": [{"ports": 3, "devices": [{"port": 1, "description": "USB Input Device"},
                                         {"port": 2, "description": "Not added"}, {"port": 3}]}]})");
    auto machine = image.load();
    const auto tree = machine->deviceTree();
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[1].properties.at(DeviceNode::kDescription), "Own node");
    EXPECT_EQ(tree[2].properties.at(DeviceNode::kDescription), "USB Input Device");
    EXPECT_EQ(tree[2].properties.at(DeviceNode::kDriver), "{36fc9e60-c465-11cf-8056-444553540000}\\0000");
    EXPECT_EQ(tree[2].parent, 0);
    EXPECT_EQ(machine->usbControllers().size(), 1u);
}

// The x58 sample: Windows 7 on its Caviar Black, keyboard and mouse on the
// first of its eight USB host controllers.
TEST(SimulatedDrives, TheX58Sample) {
    std::string error;
    auto machine = loadImage(test::sourcePath("machines/x58-nehalem"), error);
    ASSERT_TRUE(machine) << error;
    EXPECT_EQ(machine->windowsIdentity().buildNumber, 7601u);
    const auto drives = machine->diskDrives();
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].property->product, "WDC WD1001FALS-00J7B0");
    EXPECT_EQ(drives[0].geometry->cylinders, 121601u);
    std::vector<uint8_t> data(512);
    EXPECT_EQ(machine->ataCommand(0, Smart(kSmartReadData), data), AtaOutcome::Completed);
    uint8_t sum = 0;
    for (uint8_t byte : data) sum = uint8_t(sum + byte);
    EXPECT_EQ(sum, 0) << "the SMART data's checksum";
    const auto controllers = machine->usbControllers();
    ASSERT_EQ(controllers.size(), 8u);
    EXPECT_EQ(controllers[0].rootHub.children.size(), 2u);
}

} // namespace
} // namespace vexa::machine
