// The disk drives and USB devices of a machine as the operating system's
// storage and USB drivers see them: what the disk class enumerates and
// answers about each drive (its device-interface path, the storage
// property texts, the geometry, the power state), the ATA commands a drive
// executes, and the tree of USB host controllers, hubs and devices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa::machine {

// The texts of the standard storage device property (vendor, product,
// revision, serial number) and the bus the drive hangs on.
struct StorageProperty {
    std::string vendor, product, revision, serial;
    uint32_t busType = 3;  // 1 SCSI, 3 ATA, 7 USB, 8 RAID, 11 SATA, 17 NVMe (Windows' STORAGE_BUS_TYPE)
    bool operator==(const StorageProperty&) const = default;
};

// The geometry the disk class reports. Windows reports fixed disks with 255
// heads and 63 sectors per track, the cylinders rounded down.
struct DiskGeometry {
    uint64_t cylinders = 0;
    uint32_t tracksPerCylinder = 255;
    uint32_t sectorsPerTrack = 63;
    uint32_t bytesPerSector = 512;
    bool operator==(const DiskGeometry&) const = default;

    // The geometry of a disk of `sectors` sectors of `bytesPerSector` bytes.
    static DiskGeometry ofSectors(uint64_t sectors, uint32_t bytesPerSector = 512);
};

struct DiskDrive {
    // The device-interface path the disk interface class lists, e.g.
    // "\\?\ide#disk...#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}".
    std::string interfacePath;
    bool removable = false;                   // removable media (media type 11), else fixed (12)
    bool poweredUp = true;                    // in its working state
    std::optional<StorageProperty> property;  // none: the property query fails
    std::optional<DiskGeometry> geometry;     // none: the geometry query fails
    bool operator==(const DiskDrive&) const = default;
};

// The ATA registers of one command.
struct AtaRegisters {
    uint8_t features = 0;
    uint8_t sectorCount = 0;
    uint8_t lbaLow = 0;   // sector number
    uint8_t lbaMid = 0;   // cylinder low
    uint8_t lbaHigh = 0;  // cylinder high
    uint8_t device = 0;   // drive/head
    uint8_t command = 0;
};

enum class AtaOutcome : uint8_t {
    Completed,  // status 0x50 (ready, seek complete); data-in commands filled their data
    Aborted,    // status 0x51, error 0x04: the drive refused the command
    NoAnswer,   // the drive takes no ATA commands (a virtio or NVMe disk) or the request failed
};

// The ATA commands the machines answer.
constexpr uint8_t kAtaIdentifyDevice = 0xEC;  // data in, 512 bytes
constexpr uint8_t kAtaSmart = 0xB0;           // with LBA mid 0x4F and high 0xC2
constexpr uint8_t kSmartReadData = 0xD0;      // feature: data in, 512 bytes
constexpr uint8_t kSmartEnableOperations = 0xD8;
constexpr uint8_t kSmartLbaMid = 0x4F;
constexpr uint8_t kSmartLbaHigh = 0xC2;
constexpr size_t kAtaSectorBytes = 512;

// Fields of the 512-byte IDENTIFY DEVICE data (256 little-endian words;
// text fields hold two characters per word, the first in the high byte).
// Each reads only within the data it is given.
namespace ata {
// Words first..first+count-1 as text, trailing blanks removed.
std::string identifyText(const std::vector<uint8_t>& identify, size_t firstWord, size_t wordCount);
std::string model(const std::vector<uint8_t>& identify);     // words 27-46
std::string serial(const std::vector<uint8_t>& identify);    // words 10-19
std::string firmware(const std::vector<uint8_t>& identify);  // words 23-26
// The user-addressable sectors: words 100-103 when the 48-bit feature set
// is supported (word 83 bit 10), else words 60-61; 0 when unknown.
uint64_t sectors(const std::vector<uint8_t>& identify);
// The SMART feature set: supported (word 82 bit 0) and enabled (word 85
// bit 0); words reading 0 or 0xFFFF report nothing.
bool smartSupported(const std::vector<uint8_t>& identify);
bool smartEnabled(const std::vector<uint8_t>& identify);
} // namespace ata

// A USB device on a port of a hub, or a host controller's root hub.
struct UsbDevice {
    unsigned port = 0;  // 1-based port of the parent hub; 0 for a root hub
    uint8_t deviceClass = 0, deviceSubClass = 0;
    uint16_t vendorId = 0, productId = 0;
    // The driver key of the device's node in the device tree
    // ("{36fc9e60-c465-11cf-8056-444553540000}\0005"); empty: none.
    std::string driverKey;
    std::string description;  // the device tree's description of that node
    unsigned portCount = 0;   // hubs: the ports of their hub descriptor
    bool hub = false;
    std::vector<UsbDevice> children;  // hubs: the devices on their ports
    bool operator==(const UsbDevice&) const = default;
};

// A USB host controller: its root hub with the devices below it.
struct UsbController {
    UsbDevice rootHub;
    bool operator==(const UsbController&) const = default;
};

} // namespace vexa::machine
