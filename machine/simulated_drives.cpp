#include "machine/simulated_drives.h"

#include "machine/image_files.h"
#include "machine/manifest.h"
#include "machine/simulated_machine.h"

#include <algorithm>
#include <unordered_set>

namespace vexa::machine {
namespace {

constexpr uint32_t kUsbBus = 7;

bool isSmart(const AtaRegisters& r) {
    return r.command == kAtaSmart && r.lbaMid == kSmartLbaMid && r.lbaHigh == kSmartLbaHigh;
}

AtaOutcome readSector(const std::vector<uint8_t>& sector, std::span<uint8_t> data) {
    std::copy_n(sector.begin(), kAtaSectorBytes, data.begin());
    return AtaOutcome::Completed;
}

bool loadSector(ImageFiles& image, const std::string& file, const std::string& key, std::vector<uint8_t>& bytes,
                std::string& error) {
    if (file.empty()) return true;
    std::string why;
    const FileStatus status = image.read(file, kAtaSectorBytes, bytes, why);
    if (status == FileStatus::Ok && bytes.size() == kAtaSectorBytes) return true;
    const bool tooLarge = status == FileStatus::Error && why.find("larger than") != std::string::npos;
    const std::string reason = status == FileStatus::Missing           ? "missing"
                               : status == FileStatus::Ok || tooLarge ? "must hold exactly 512 bytes"
                                                                       : why;
    error = image.directory() + "/machine.json: " + key + ": " + file + ": " + reason;
    return false;
}

// The property Windows' disk class reports for an ATA disk: no vendor, the
// model as product, the firmware revision and the serial number.
StorageProperty propertyOf(const std::vector<uint8_t>& identify) {
    StorageProperty property;
    property.product = ata::model(identify);
    property.revision = ata::firmware(identify);
    property.serial = ata::serial(identify);
    return property;
}

// A node for every device with a description and a driver key no node
// holds yet; `keys` are the driver keys of the tree so far.
void addUsbNodes(const UsbDevice& device, std::vector<DeviceNode>& tree, std::unordered_set<std::string>& keys) {
    if (!device.description.empty() && !device.driverKey.empty() && keys.insert(device.driverKey).second) {
        if (tree.empty()) tree.emplace_back();  // the root
        DeviceNode node;
        node.parent = 0;
        node.properties[DeviceNode::kDescription] = device.description;
        node.properties[DeviceNode::kDriver] = device.driverKey;
        node.properties[DeviceNode::kEnumerator] = "USB";
        tree.push_back(std::move(node));
    }
    for (const UsbDevice& child : device.children) addUsbNodes(child, tree, keys);
}

} // namespace

AtaOutcome answerAtaCommand(SimulatedDrive& drive, const AtaRegisters& registers, std::span<uint8_t> data) {
    // Behind a USB bridge only the bridge's own command block reaches the drive.
    if (drive.identify.size() != kAtaSectorBytes || drive.usbBridge != 0) return AtaOutcome::NoAnswer;
    if (registers.command == kAtaIdentifyDevice) {
        if (data.size() < kAtaSectorBytes) return AtaOutcome::NoAnswer;
        return readSector(drive.identify, data);
    }
    if (!isSmart(registers)) return AtaOutcome::NoAnswer;
    switch (registers.features) {
    case kSmartEnableOperations:
        if (!ata::smartSupported(drive.identify)) return AtaOutcome::Aborted;
        drive.smartEnabled = true;
        return AtaOutcome::Completed;
    case kSmartReadData:
        if (data.size() < kAtaSectorBytes) return AtaOutcome::NoAnswer;
        if (!ata::smartSupported(drive.identify) || !drive.smartEnabled || drive.smart.size() != kAtaSectorBytes)
            return AtaOutcome::Aborted;
        return readSector(drive.smart, data);
    default:
        return AtaOutcome::NoAnswer;
    }
}

bool answerBridgeCommand(SimulatedDrive& drive, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                         size_t& transferred) {
    transferred = 0;
    if (drive.usbBridge == 0 || cdb.empty() || cdb[0] != drive.usbBridge) return false;
    if (!ata::smartSupported(drive.identify) || drive.smart.size() != kAtaSectorBytes) return false;
    if (data.size() < kAtaSectorBytes) return false;
    readSector(drive.smart, data);
    transferred = kAtaSectorBytes;
    return true;
}

bool loadDrivesAndUsb(ImageFiles& image, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    for (size_t i = 0; i < manifest.drives.size(); ++i) {
        const DriveEntry& entry = manifest.drives[i];
        const std::string key = "drives[" + std::to_string(i) + "]";
        SimulatedDrive drive;
        drive.facts = entry.drive;
        drive.usbBridge = entry.usbBridge;
        if (!loadSector(image, entry.identifyFile, key + ".identify", drive.identify, error) ||
            !loadSector(image, entry.smartFile, key + ".smart", drive.smart, error))
            return false;
        drive.smartEnabled = ata::smartEnabled(drive.identify);
        if (!entry.propertyGiven && !drive.identify.empty()) {
            drive.facts.property = propertyOf(drive.identify);
            if (drive.usbBridge) drive.facts.property->busType = kUsbBus;
        }
        if (!entry.geometryGiven && ata::sectors(drive.identify) != 0)
            drive.facts.geometry = DiskGeometry::ofSectors(ata::sectors(drive.identify));
        hw.drives.push_back(std::move(drive));
    }
    hw.usbControllers = manifest.usb;
    std::unordered_set<std::string> keys;
    for (const DeviceNode& node : hw.deviceTree)
        if (const auto key = node.properties.find(DeviceNode::kDriver); key != node.properties.end())
            keys.insert(key->second);
    for (const UsbController& controller : hw.usbControllers) addUsbNodes(controller.rootHub, hw.deviceTree, keys);
    return true;
}

// ---- The simulated machine's drives and USB devices ----

std::vector<DiskDrive> SimulatedMachine::diskDrives() const {
    std::lock_guard lock(lock_);
    std::vector<DiskDrive> drives;
    for (const SimulatedDrive& drive : hw_.drives) drives.push_back(drive.facts);
    return drives;
}

AtaOutcome SimulatedMachine::ataCommand(size_t drive, const AtaRegisters& registers, std::span<uint8_t> data) {
    std::lock_guard lock(lock_);
    if (drive >= hw_.drives.size()) return AtaOutcome::NoAnswer;
    return answerAtaCommand(hw_.drives[drive], registers, data);
}

bool SimulatedMachine::scsiPassThrough(size_t drive, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                                       size_t& transferred) {
    std::lock_guard lock(lock_);
    transferred = 0;
    if (drive >= hw_.drives.size()) return false;
    return answerBridgeCommand(hw_.drives[drive], cdb, data, transferred);
}

} // namespace vexa::machine
