// machine.json's "drives" (the disk drives the disk class enumerates) and
// "usb" (the USB host controllers with their hubs and devices).
//
//   "drives": [{"identify": "drives/0.identify.bin", "smart": "drives/0.smart.bin",
//               "sectors": 1953525168, "removable": false, "powered_up": true,
//               "property": {"vendor": "", "product": "WDC WD1002FAEX-00Z3A0", "revision": "05.01D05",
//                            "serial": "WD-WCATR1234567", "bus": "sata"},
//               "usb_bridge": "0xA1", "path": "\\\\?\\ide#disk...#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}"}]
//   "usb": [{"ports": 6, "devices": [{"port": 2, "class": "0x09", "vendor": "0x05E3", "product": "0x0608",
//            "ports": 4, "description": "Generic USB Hub", "devices": [...]}]}]
#include "machine/manifest_schema.h"
#include "machine/text_scan.h"

#include <set>

namespace vexa::machine::schema {
namespace {

// The interface class of disks, as it ends every disk interface path.
constexpr const char* kDiskInterfaceClass = "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
// The device setup class of USB devices, which their driver keys begin with.
constexpr const char* kUsbDeviceClass = "{36fc9e60-c465-11cf-8056-444553540000}";
// USB allows five tiers of hubs below the root hub.
constexpr size_t kMaxHubTiers = 5;
constexpr uint64_t kMaxHubPorts = 255;

struct BusName {
    const char* name;
    uint32_t type;
};
constexpr BusName kBuses[] = {{"scsi", 1}, {"atapi", 2}, {"ata", 3}, {"usb", 7}, {"raid", 8},
                              {"sas", 10}, {"sata", 11}, {"virtual", 14}, {"nvme", 17}};

// The first bytes of the command blocks USB bridges carry SMART in.
constexpr uint8_t kBridgeKinds[] = {0xA1, 0xDF, 0x24, 0xF8, 0xE3, 0xE0};

uint32_t busType(const json& value, const std::string& path) {
    if (!value.is_string() || startsWithNoCase(value.get_ref<const std::string&>(), "0x"))
        return uint32_t(unsignedValue(value, path, UINT32_MAX));
    const std::string name = value.get<std::string>();
    for (const BusName& bus : kBuses)
        if (name == bus.name) return bus.type;
    fail(path, quoteForMessage(name) + " is not a bus (scsi, atapi, ata, usb, raid, sas, sata, virtual, nvme)");
}

StorageProperty storageProperty(const json& value, const std::string& path) {
    expectObject(value, path, {"vendor", "product", "revision", "serial", "bus"});
    StorageProperty property;
    const std::pair<const char*, std::string*> texts[] = {{"vendor", &property.vendor},
                                                          {"product", &property.product},
                                                          {"revision", &property.revision},
                                                          {"serial", &property.serial}};
    for (const auto& [key, field] : texts)
        if (const json* item = member(value, key)) *field = text(*item, child(path, key));
    if (const json* bus = member(value, "bus")) property.busType = busType(*bus, child(path, "bus"));
    return property;
}

DriveEntry drive(const json& value, const std::string& path, size_t index) {
    expectObject(value, path,
                 {"path", "identify", "smart", "property", "sectors", "bytes_per_sector", "geometry", "removable",
                  "powered_up", "usb_bridge"});
    DriveEntry entry;
    DiskDrive& disk = entry.drive;
    disk.interfacePath = "\\\\?\\scsi#disk#" + std::to_string(index) + "#" + kDiskInterfaceClass;
    if (const json* interfacePath = member(value, "path"))
        disk.interfacePath = text(*interfacePath, child(path, "path"));
    if (disk.interfacePath.empty()) fail(child(path, "path"), "an empty path");
    if (const json* file = member(value, "identify")) entry.identifyFile = text(*file, child(path, "identify"));
    if (const json* file = member(value, "smart")) entry.smartFile = text(*file, child(path, "smart"));
    if (const json* removable = member(value, "removable"))
        disk.removable = boolean(*removable, child(path, "removable"));
    if (const json* powered = member(value, "powered_up"))
        disk.poweredUp = boolean(*powered, child(path, "powered_up"));
    if (const json* property = member(value, "property")) {
        entry.propertyGiven = true;
        if (!(property->is_boolean() && !property->get<bool>()))
            disk.property = storageProperty(*property, child(path, "property"));
    }
    const json* sectors = member(value, "sectors");
    const json* geometry = member(value, "geometry");
    uint32_t bytesPerSector = 512;
    if (const json* bytes = member(value, "bytes_per_sector")) {
        bytesPerSector = uint32_t(unsignedValue(*bytes, child(path, "bytes_per_sector"), 65536));
        if (bytesPerSector == 0 || (bytesPerSector & (bytesPerSector - 1)) != 0)
            fail(child(path, "bytes_per_sector"), "must be a power of two");
        if (!sectors) fail(child(path, "bytes_per_sector"), "needs \"sectors\"");
    }
    if (geometry && (!geometry->is_boolean() || geometry->get<bool>()))
        fail(child(path, "geometry"), "only false (no geometry) is taken; \"sectors\" gives the size");
    if (geometry && sectors) fail(child(path, "geometry"), "a drive without geometry has no \"sectors\"");
    if (sectors || geometry) entry.geometryGiven = true;
    if (sectors) {
        const uint64_t count = unsignedValue(*sectors, child(path, "sectors"), UINT64_MAX / 65536);
        disk.geometry = DiskGeometry::ofSectors(count, bytesPerSector);
    }
    if (const json* bridge = member(value, "usb_bridge")) {
        const auto kind = uint8_t(unsignedValue(*bridge, child(path, "usb_bridge"), 0xFF));
        bool known = false;
        for (uint8_t candidate : kBridgeKinds) known = known || candidate == kind;
        if (!known) fail(child(path, "usb_bridge"), "not a bridge command (0xA1, 0xDF, 0x24, 0xF8, 0xE3, 0xE0)");
        entry.usbBridge = kind;
    }
    return entry;
}

class UsbReader {
public:
    UsbDevice hub(const json& value, const std::string& path, unsigned port, size_t tier) {
        if (tier > kMaxHubTiers) fail(path, "more than " + std::to_string(kMaxHubTiers) + " tiers of hubs");
        UsbDevice device;
        device.port = port;
        device.hub = true;
        device.deviceClass = 0x09;
        if (const json* ports = member(value, "ports"))
            device.portCount = unsigned(unsignedValue(*ports, child(path, "ports"), kMaxHubPorts));
        const json* devices = member(value, "devices");
        if (!devices) return device;
        const std::string devicesPath = child(path, "devices");
        std::set<unsigned> taken;
        size_t i = 0;
        for (const json& entry : array(*devices, devicesPath)) {
            const std::string where = element(devicesPath, i++);
            expectObject(entry, where,
                         {"port", "class", "subclass", "vendor", "product", "description", "driver_key", "ports",
                          "devices"});
            const json* portValue = member(entry, "port");
            if (!portValue) fail(where, "\"port\" is required");
            const auto devicePort = unsigned(unsignedValue(*portValue, child(where, "port"), kMaxHubPorts));
            if (devicePort == 0 || devicePort > device.portCount)
                fail(child(where, "port"), "not a port of the hub (1.." + std::to_string(device.portCount) + ")");
            if (!taken.insert(devicePort).second) fail(child(where, "port"), "the port is taken twice");
            device.children.push_back(usbDevice(entry, where, devicePort, tier));
        }
        return device;
    }

private:
    UsbDevice usbDevice(const json& value, const std::string& path, unsigned port, size_t tier) {
        // Keys are numbered in walk order: a hub before the devices below it.
        const std::string key = std::string(kUsbDeviceClass) + "\\" + fourDigits(nextKey_++);
        const bool isHub = member(value, "ports") || member(value, "devices");
        UsbDevice device = isHub ? hub(value, path, port, tier + 1) : UsbDevice{};
        device.port = port;
        device.hub = isHub;
        device.driverKey = key;
        if (const json* given = member(value, "driver_key")) device.driverKey = text(*given, child(path, "driver_key"));
        const auto numberOf = [&](const char* name, uint64_t max, uint64_t fallback) {
            const json* item = member(value, name);
            return item ? unsignedValue(*item, child(path, name), max) : fallback;
        };
        device.deviceClass = uint8_t(numberOf("class", 0xFF, device.deviceClass));
        device.deviceSubClass = uint8_t(numberOf("subclass", 0xFF, device.deviceSubClass));
        device.vendorId = uint16_t(numberOf("vendor", 0xFFFF, 0));
        device.productId = uint16_t(numberOf("product", 0xFFFF, 0));
        if (const json* v = member(value, "description")) device.description = text(*v, child(path, "description"));
        return device;
    }

    static std::string fourDigits(unsigned number) {
        std::string digits = std::to_string(number);
        return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
    }

    unsigned nextKey_ = 0;
};

} // namespace

void readDrives(const json& section, std::vector<DriveEntry>& drives) {
    size_t i = 0;
    for (const json& entry : array(section, "drives")) {
        drives.push_back(drive(entry, element("drives", i), i));
        ++i;
    }
}

void readUsb(const json& section, std::vector<UsbController>& controllers) {
    UsbReader reader;
    size_t i = 0;
    for (const json& entry : array(section, "usb")) {
        const std::string path = element("usb", i++);
        expectObject(entry, path, {"ports", "devices"});
        controllers.push_back(UsbController{reader.hub(entry, path, 0, 0)});
    }
}

} // namespace vexa::machine::schema
