#include "machine/simulated_smbus.h"

#include "machine/default_ich_chipset.h"
#include "machine/devices/smbus_slaves.h"
#include "machine/image_files.h"
#include "machine/manifest.h"
#include "machine/simulated_machine.h"
#include "machine/smbus_controller_models.h"
#include "machine/smbus_files.h"
#include "machine/text_scan.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace vexa::machine {

namespace {

constexpr size_t kSlaveFileLimit = 64 * 1024;
constexpr uint8_t kFirstSpdAddress = 0x50;
constexpr uint64_t kSpdSlots = 8;

std::string hexAddress(uint8_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address);
    return text;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::unique_ptr<SmbusSlave> makeSlave(ImageFiles& image, const SmbusDeviceEntry& entry, std::string& error) {
    if (entry.kind == SmbusDeviceEntry::Kind::Spd && !endsWith(entry.file, ".hex")) {
        std::vector<uint8_t> bytes;
        const FileStatus status = image.read(entry.file, kSlaveFileLimit, bytes, error);
        if (status == FileStatus::Missing) error = "missing";
        if (status != FileStatus::Ok) return nullptr;
        if (bytes.empty() || (bytes.size() > SpdEeprom::kPageSize && bytes.size() != SpdEeprom::kPagedSize)) {
            error = "an SPD image holds 1 to 256 bytes or 512, not " + std::to_string(bytes.size());
            return nullptr;
        }
        return std::make_unique<SpdEeprom>(std::move(bytes));
    }
    std::string text;
    const FileStatus status = image.read(entry.file, kSlaveFileLimit, text, error);
    if (status == FileStatus::Missing) error = "missing";
    if (status != FileStatus::Ok) return nullptr;
    switch (entry.kind) {
    case SmbusDeviceEntry::Kind::Spd: {
        std::vector<uint8_t> bytes;
        if (!parseSpdHexText(text, bytes, error)) return nullptr;
        if (bytes.size() > SpdEeprom::kPageSize && bytes.size() != SpdEeprom::kPagedSize) {
            error = "an SPD image holds 1 to 256 bytes or 512, not " + std::to_string(bytes.size());
            return nullptr;
        }
        return std::make_unique<SpdEeprom>(std::move(bytes));
    }
    case SmbusDeviceEntry::Kind::Jc42: {
        std::array<uint16_t, Jc42Sensor::kRegisters> registers{};
        if (!parseJc42Registers(text, registers, error)) return nullptr;
        return std::make_unique<Jc42Sensor>(registers);
    }
    case SmbusDeviceEntry::Kind::Registers: {
        std::map<unsigned, RegisterImageDevice::Bank> banks;
        if (!parseRegisterImage(text, banks, error)) return nullptr;
        return std::make_unique<RegisterImageDevice>(std::move(banks), entry.bankRegister);
    }
    }
    return nullptr;
}

// The files spd/<n>.bin and spd/<n>.hex: a module at 0x50 + n each, in
// address order. Other names in the folder are left alone.
bool spdFolderModules(ImageFiles& image, std::vector<SmbusDeviceEntry>& modules, std::string& error) {
    const std::string& directory = image.directory();
    std::vector<std::string> names;
    const FileStatus listed = image.list("spd", names, error);
    if (listed != FileStatus::Ok) return listed == FileStatus::Missing;
    std::map<unsigned, std::string> files;
    for (const std::string& name : names) {
        const size_t dot = name.find('.');
        const std::string stem = name.substr(0, dot), suffix = dot == std::string::npos ? "" : name.substr(dot);
        if ((suffix != ".bin" && suffix != ".hex") || stem.empty() ||
            !std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        uint64_t slot = 0;
        if (!parseDecimal(stem, slot, kSpdSlots - 1)) {
            error = directory + "/spd/" + name + ": modules sit at 0x50-0x57 (spd/0 to spd/7)";
            return false;
        }
        if (const auto taken = files.find(unsigned(slot)); taken != files.end()) {
            error = directory + "/spd/" + taken->second + " and spd/" + name + " both put a module at " +
                    hexAddress(uint8_t(kFirstSpdAddress + slot));
            return false;
        }
        files[unsigned(slot)] = name;
    }
    for (const auto& [slot, name] : files)
        modules.push_back(SmbusDeviceEntry{uint8_t(kFirstSpdAddress + slot), SmbusDeviceEntry::Kind::Spd, "spd/" + name});
    return true;
}

} // namespace

bool loadSmbus(ImageFiles& image, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    const std::string& directory = image.directory();
    std::vector<SmbusDeviceEntry> modules;
    if (!spdFolderModules(image, modules, error)) return false;
    if (!manifest.smbus && modules.empty()) return true;
    const SmbusSettings settings = manifest.smbus.value_or(SmbusSettings{});
    const std::string where = directory + (manifest.smbus ? "/machine.json: smbus" : "/spd");
    SmbusSegment segment;
    for (size_t i = 0; i < settings.devices.size(); ++i) {
        const SmbusDeviceEntry& entry = settings.devices[i];
        const std::string at = directory + "/machine.json: smbus.devices[" + std::to_string(i) + "]: ";
        std::string why;
        std::unique_ptr<SmbusSlave> slave = makeSlave(image, entry, why);
        if (!slave) {
            error = at + entry.file + ": " + why;
            return false;
        }
        if (!segment.attach(entry.address, std::move(slave), why)) {
            error = at + why;
            return false;
        }
    }
    for (const SmbusDeviceEntry& module : modules) {
        const std::string at = directory + "/" + module.file + ": ";
        const auto clash = std::find_if(settings.devices.begin(), settings.devices.end(),
                                        [&](const SmbusDeviceEntry& entry) { return entry.address == module.address; });
        if (clash != settings.devices.end()) {
            error = at + "its module at " + hexAddress(module.address) + " clashes with machine.json smbus.devices[" +
                    std::to_string(clash - settings.devices.begin()) + "] (" + clash->file + ")";
            return false;
        }
        std::string why;
        std::unique_ptr<SmbusSlave> slave = makeSlave(image, module, why);
        if (!slave || !segment.attach(module.address, std::move(slave), why)) {
            error = at + why;
            return false;
        }
    }
    // One module alone: the chipset it needs around it.
    if (settings.controller == "ich" && segment.size() > 0 && !image.exists("lspci.txt"))
        addDefaultIchChipset(*hw.pci);
    std::string why;
    if (!attachSmbusController(settings, std::move(segment), hw, why)) {
        error = where + ": " + why;
        return false;
    }
    return true;
}

} // namespace vexa::machine
