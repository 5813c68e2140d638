// The manifest's "smbus" section (docs/machine-images.md):
//   "smbus": {"controller": "ich", "function": "00:1f.3", "base": "0xB00", "stuck_busy": false,
//             "devices": [{"address": "0x50", "spd": "spd/module.spd"},
//                         {"address": "0x18", "jc42": "sensors/jc42.regs"},
//                         {"address": "0x2c", "registers": "sensors/chip.regs", "bank_register": "0x00"}]}
#include "machine/manifest_schema.h"
#include "machine/simulated_smbus.h"
#include "machine/smbus_controller_models.h"
#include "machine/text_scan.h"

namespace vexa::machine::schema {

PciAddress pciFunction(const json& value, const std::string& path) {
    const std::string location = text(value, path);
    std::string_view rest = location;
    uint64_t bus = 0, device = 0, function = 0;
    const auto separator = [&rest](char c) {
        if (rest.empty() || rest.front() != c) return false;
        rest.remove_prefix(1);
        return true;
    };
    const bool ok = takeHex(rest, bus, 2) && separator(':') && takeHex(rest, device, 2) && separator('.') &&
                    takeHex(rest, function, 1) && rest.empty() && device <= 31 && function <= 7;
    if (!ok) fail(path, quoteForMessage(location) + " is not a PCI function \"BB:DD.F\"");
    return PciAddress{uint8_t(bus), uint8_t(device), uint8_t(function)};
}

namespace {

SmbusDeviceEntry smbusDevice(const json& value, const std::string& path) {
    expectObject(value, path, {"address", "spd", "jc42", "registers", "bank_register"});
    SmbusDeviceEntry entry;
    const json* address = member(value, "address");
    if (!address) fail(path, "\"address\" is required");
    entry.address = uint8_t(unsignedValue(*address, child(path, "address"), 0x7F));
    const std::pair<const char*, SmbusDeviceEntry::Kind> kinds[] = {{"spd", SmbusDeviceEntry::Kind::Spd},
                                                                   {"jc42", SmbusDeviceEntry::Kind::Jc42},
                                                                   {"registers", SmbusDeviceEntry::Kind::Registers}};
    int given = 0;
    for (const auto& [key, kind] : kinds) {
        const json* file = member(value, key);
        if (!file) continue;
        ++given;
        entry.kind = kind;
        entry.file = text(*file, child(path, key));
        if (entry.file.empty()) fail(child(path, key), "names no file");
    }
    if (given != 1) fail(path, "give exactly one of \"spd\", \"jc42\" and \"registers\" (the file of the device)");
    if (const json* bank = member(value, "bank_register")) {
        if (entry.kind != SmbusDeviceEntry::Kind::Registers)
            fail(child(path, "bank_register"), "only register images take it");
        entry.bankRegister = int(unsignedValue(*bank, child(path, "bank_register"), 0xFF));
    }
    return entry;
}

} // namespace

void readSmbus(const json& section, SmbusSettings& smbus) {
    const std::string path = "smbus";
    expectObject(section, path, {"controller", "function", "base", "stuck_busy", "devices"});
    if (const json* controller = member(section, "controller")) {
        smbus.controller = text(*controller, child(path, "controller"));
        if (!isSmbusControllerModel(smbus.controller)) {
            std::string models;
            for (const std::string& name : smbusControllerModels()) models += (models.empty() ? "" : ", ") + name;
            fail(child(path, "controller"), quoteForMessage(smbus.controller) + " is not a controller model (" + models + ")");
        }
    }
    const std::string& model = smbus.controller;
    if (const json* function = member(section, "function")) {
        if (!smbusControllerTakesFunction(model)) fail(child(path, "function"), "the " + model + " model has none");
        smbus.function = pciFunction(*function, child(path, "function"));
    } else if (smbusControllerTakesFunction(model) && !defaultSmbusFunction(model)) {
        fail(path, "the " + model + " model needs \"function\"");
    }
    if (const json* base = member(section, "base")) {
        if (!smbusControllerTakesBase(model))
            fail(child(path, "base"), "the " + model + " model takes its base from the PCI function");
        smbus.base = uint16_t(unsignedValue(*base, child(path, "base"), 0xFFFF));
    } else if (smbusControllerTakesBase(model)) {
        fail(path, "the " + model + " model needs \"base\"");
    }
    if (const json* stuck = member(section, "stuck_busy")) smbus.stuckBusy = boolean(*stuck, child(path, "stuck_busy"));
    if (const json* devices = member(section, "devices")) {
        const std::string list = child(path, "devices");
        size_t i = 0;
        for (const json& device : array(*devices, list))
            smbus.devices.push_back(smbusDevice(device, element(list, i++)));
    }
}

} // namespace vexa::machine::schema
