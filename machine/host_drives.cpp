// The Linux host's disks and USB devices as Windows' disk class and USB
// stack would show them: the disks of /sys/block (those backed by a device,
// no CD-ROM or floppy drives), each with a disk-interface path of its own,
// the storage property and geometry from sysfs, and the two reading ATA
// commands sent through SG_IO ATA PASS-THROUGH (16) to SCSI disks (sd*),
// which SATA disks behind libata and SAT bridges answer; the USB host
// controllers, hubs and devices of /sys/bus/usb.
//
// Nothing here changes a drive's state: SMART ENABLE OPERATIONS is never
// sent; it completes when the drive reports SMART enabled already and is
// refused otherwise.
#include "machine/file_bytes.h"
#include "machine/host_machine.h"
#include "machine/text_scan.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexa::machine {
namespace {

constexpr unsigned kMaxUsbTiers = 7;  // root hub, five hubs, a device
constexpr const char* kDiskInterfaceClass = "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
constexpr const char* kUsbDeviceClass = "{36fc9e60-c465-11cf-8056-444553540000}";
constexpr unsigned kSgTimeoutMs = 2000;  // as long as Windows' ATA pass-through waits
constexpr uint8_t kAtaPassThrough16 = 0x85;
constexpr uint8_t kSatAtaPassThrough12 = 0xA1;
constexpr uint8_t kSenseAbortedCommand = 0x0B;

uint64_t numberAttribute(const std::string& path, uint64_t fallback, bool hex = false) {
    const std::string text = readSysfsAttribute(path);
    uint64_t value = 0;
    const bool ok = hex ? parseHex(text, value, 16) : parseDecimal(text, value, UINT64_MAX);
    return ok ? value : fallback;
}

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// sda before sdb before sdaa, as the kernel names them.
bool diskOrder(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

uint32_t busTypeOf(const std::string& folder, const std::string& name, const std::string& vendor) {
    char target[4096];
    const ssize_t length = readlink((folder + "/device").c_str(), target, sizeof target - 1);
    const std::string link = length > 0 ? std::string(target, size_t(length)) : std::string();
    if (link.find("/usb") != std::string::npos) return 7;  // USB
    if (startsWith(name, "nvme")) return 17;                // NVMe
    if (startsWith(name, "mmcblk")) return 12;              // SD
    if (startsWith(name, "vd")) return 14;                  // virtual
    return vendor == "ATA" ? 11 : 1;                        // SATA behind libata, else SCSI
}

StorageProperty propertyOf(const std::string& folder, const std::string& name) {
    StorageProperty property;
    property.vendor = readSysfsAttribute(folder + "/device/vendor");
    if (startsWithNoCase(property.vendor, "0x")) property.vendor.clear();  // a virtio vendor id
    property.product = readSysfsAttribute(folder + "/device/model");
    property.revision = readSysfsAttribute(folder + "/device/rev");
    if (property.revision.empty()) property.revision = readSysfsAttribute(folder + "/device/firmware_rev");
    property.serial = readSysfsAttribute(folder + "/serial");
    if (property.serial.empty()) property.serial = readSysfsAttribute(folder + "/device/serial");
    property.busType = busTypeOf(folder, name, property.vendor);
    if (property.vendor.empty() && property.product.empty() && startsWith(name, "vd")) {
        property.vendor = "Virtio";
        property.product = "Block Device";
    }
    return property;
}

std::optional<DiskGeometry> geometryOf(const std::string& folder) {
    const uint64_t units = numberAttribute(folder + "/size", UINT64_MAX);  // 512-byte units
    if (units == UINT64_MAX || units > UINT64_MAX / 512) return std::nullopt;
    uint64_t blockSize = numberAttribute(folder + "/queue/logical_block_size", 512);
    if (blockSize < 512 || blockSize > 65536 || (blockSize & (blockSize - 1)) != 0) blockSize = 512;
    return DiskGeometry::ofSectors(units * 512 / blockSize, uint32_t(blockSize));
}

bool isSmart(const AtaRegisters& r) {
    return r.command == kAtaSmart && r.lbaMid == kSmartLbaMid && r.lbaHigh == kSmartLbaHigh;
}

// One PIO data-in command of 512 bytes through SG_IO; the device byte is
// left to the translating layer, which knows the drive's position.
AtaOutcome sgDataIn(const std::string& device, const AtaRegisters& r, std::span<uint8_t> data) {
    const int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return AtaOutcome::NoAnswer;
    uint8_t cdb[16] = {};
    cdb[0] = kAtaPassThrough16;
    cdb[1] = 4 << 1;  // protocol: PIO data-in
    cdb[2] = 0x0E;    // transfer direction in, length in blocks, given by the sector count
    cdb[4] = r.features;
    cdb[6] = r.sectorCount;
    cdb[8] = r.lbaLow;
    cdb[10] = r.lbaMid;
    cdb[12] = r.lbaHigh;
    cdb[14] = r.command;
    uint8_t sense[32] = {};
    sg_io_hdr_t header {};
    header.interface_id = 'S';
    header.dxfer_direction = SG_DXFER_FROM_DEV;
    header.cmd_len = sizeof cdb;
    header.mx_sb_len = sizeof sense;
    header.dxfer_len = unsigned(kAtaSectorBytes);
    header.dxferp = data.data();
    header.cmdp = cdb;
    header.sbp = sense;
    header.timeout = kSgTimeoutMs;
    const int result = ioctl(fd, SG_IO, &header);
    close(fd);
    if (result != 0) return AtaOutcome::NoAnswer;
    if ((header.info & SG_INFO_OK_MASK) == SG_INFO_OK) return AtaOutcome::Completed;
    if (header.sb_len_wr < 3) return AtaOutcome::NoAnswer;
    const bool descriptor = (sense[0] & 0x7F) >= 0x72;
    const uint8_t key = (descriptor ? sense[1] : sense[2]) & 0x0F;
    return key == kSenseAbortedCommand ? AtaOutcome::Aborted : AtaOutcome::NoAnswer;
}

// ---- USB ----

class UsbWalk {
public:
    explicit UsbWalk(std::string folder) : folder_(std::move(folder)), entries_(listFolder(folder_)) {}

    std::vector<UsbController> controllers() {
        std::vector<std::pair<uint64_t, std::string>> buses;
        for (const std::string& name : entries_) {
            uint64_t bus = 0;
            if (startsWith(name, "usb") && parseDecimal(std::string_view(name).substr(3), bus, 999))
                buses.emplace_back(bus, name);
        }
        std::sort(buses.begin(), buses.end());
        std::vector<UsbController> result;
        for (const auto& [bus, name] : buses) {
            UsbDevice root = device(name, 0);
            root.hub = true;
            root.children = below(std::to_string(bus) + "-", 1);
            result.push_back(UsbController{std::move(root)});
        }
        return result;
    }

private:
    UsbDevice device(const std::string& name, unsigned port) {
        const std::string path = folder_ + "/" + name;
        UsbDevice result;
        result.port = port;
        result.deviceClass = uint8_t(numberAttribute(path + "/bDeviceClass", 0, true));
        result.deviceSubClass = uint8_t(numberAttribute(path + "/bDeviceSubClass", 0, true));
        result.vendorId = uint16_t(numberAttribute(path + "/idVendor", 0, true));
        result.productId = uint16_t(numberAttribute(path + "/idProduct", 0, true));
        result.description = readSysfsAttribute(path + "/product");
        result.portCount = unsigned(std::min<uint64_t>(numberAttribute(path + "/maxchild", 0), 255));
        result.hub = result.deviceClass == 0x09;
        return result;
    }

    // The devices on the ports of the hub whose children are named
    // "<prefix><port>": "1-" for bus 1's root hub, "1-2." for the hub on
    // its port 2.
    std::vector<UsbDevice> below(const std::string& prefix, unsigned tier) {
        std::vector<std::pair<uint64_t, std::string>> ports;
        for (const std::string& name : entries_) {
            uint64_t port = 0;
            if (startsWith(name, prefix) && parseDecimal(std::string_view(name).substr(prefix.size()), port, 255))
                ports.emplace_back(port, name);
        }
        std::sort(ports.begin(), ports.end());
        std::vector<UsbDevice> devices;
        for (const auto& [port, name] : ports) {
            UsbDevice child = device(name, unsigned(port));
            child.driverKey = std::string(kUsbDeviceClass) + "\\" + fourDigits(nextKey_++);
            if (child.hub && tier < kMaxUsbTiers) child.children = below(name + ".", tier + 1);
            devices.push_back(std::move(child));
        }
        return devices;
    }

    static std::string fourDigits(unsigned number) {
        std::string digits = std::to_string(number);
        return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
    }

    std::string folder_;
    std::vector<std::string> entries_;
    unsigned nextKey_ = 0;
};

} // namespace

std::vector<std::string> HostMachine::diskNames() const {
    const std::string blocks = sysRoot_ + "/sys/block";
    std::vector<std::string> names;
    for (const std::string& name : listFolder(blocks)) {
        // CD-ROM and floppy drives are not disks; devices without a device
        // behind them (loop, ram, zram, device-mapper) are not drives.
        if (startsWith(name, "sr") || startsWith(name, "fd")) continue;
        const std::string folder = blocks + "/" + name;
        if (!exists(folder + "/device") || readSysfsAttribute(folder + "/hidden") == "1") continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), diskOrder);
    return names;
}

std::vector<DiskDrive> HostMachine::diskDrives() const {
    std::vector<DiskDrive> drives;
    for (const std::string& name : diskNames()) {
        const std::string folder = sysRoot_ + "/sys/block/" + name;
        DiskDrive drive;
        drive.interfacePath = "\\\\?\\linux#disk#" + name + "#" + kDiskInterfaceClass;
        drive.removable = readSysfsAttribute(folder + "/removable") == "1";
        drive.poweredUp = readSysfsAttribute(folder + "/device/power/runtime_status") != "suspended";
        drive.property = propertyOf(folder, name);
        drive.geometry = geometryOf(folder);
        drives.push_back(std::move(drive));
    }
    return drives;
}

AtaOutcome HostMachine::ataCommand(size_t drive, const AtaRegisters& registers, std::span<uint8_t> data) {
    const std::vector<std::string> names = diskNames();
    if (drive >= names.size() || !startsWith(names[drive], "sd")) return AtaOutcome::NoAnswer;
    const std::string device = devRoot_ + "/dev/" + names[drive];
    if (registers.command == kAtaIdentifyDevice) {
        if (data.size() < kAtaSectorBytes) return AtaOutcome::NoAnswer;
        AtaRegisters identify;
        identify.sectorCount = 1;
        identify.command = kAtaIdentifyDevice;
        return sgDataIn(device, identify, data);
    }
    if (!isSmart(registers)) return AtaOutcome::NoAnswer;
    if (registers.features == kSmartReadData) {
        if (data.size() < kAtaSectorBytes) return AtaOutcome::NoAnswer;
        AtaRegisters read = registers;
        read.sectorCount = 1;
        return sgDataIn(device, read, data);
    }
    if (registers.features == kSmartEnableOperations) {
        std::vector<uint8_t> identify(kAtaSectorBytes);
        AtaRegisters ask;
        ask.sectorCount = 1;
        ask.command = kAtaIdentifyDevice;
        const AtaOutcome outcome = sgDataIn(device, ask, identify);
        if (outcome != AtaOutcome::Completed) return outcome;
        return ata::smartEnabled(identify) ? AtaOutcome::Completed : AtaOutcome::Aborted;
    }
    return AtaOutcome::NoAnswer;
}

bool HostMachine::scsiPassThrough(size_t drive, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                                  size_t& transferred) {
    transferred = 0;
    // Only the standard SAT block is sent, and only as the SMART READ DATA
    // it carries; the vendors' own blocks could mean anything to a device
    // that is not their bridge.
    if (cdb.size() < 12 || cdb[0] != kSatAtaPassThrough12 || cdb[3] != kSmartReadData || cdb[9] != kAtaSmart)
        return false;
    AtaRegisters read;
    read.features = kSmartReadData;
    read.sectorCount = 1;
    read.lbaMid = kSmartLbaMid;
    read.lbaHigh = kSmartLbaHigh;
    read.command = kAtaSmart;
    if (ataCommand(drive, read, data) != AtaOutcome::Completed) return false;
    transferred = kAtaSectorBytes;
    return true;
}

std::vector<UsbController> HostMachine::usbControllers() const {
    return UsbWalk(sysRoot_ + "/sys/bus/usb/devices").controllers();
}

} // namespace vexa::machine
