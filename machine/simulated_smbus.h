// The SMBus of a simulated machine: the manifest's "smbus" section names
// the host controller model (smbus_controller_models.h) and the slaves
// behind it (machine/devices/smbus_slaves.h), each from a file of the image
// (machine/smbus_files.h). Files spd/<n>.bin (raw) and spd/<n>.hex (hex
// text), n from 0 to 7, add a memory module's SPD EEPROM at 0x50 + n, with
// or without the section. An image with slaves on an ICH controller and no
// lspci.txt gets a default ICH9 chipset (default_ich_chipset.h).
#pragma once

#include "machine/machine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa::machine {

struct Manifest;
struct SimulatedHardware;

struct SmbusDeviceEntry {
    enum class Kind { Spd, Jc42, Registers };
    uint8_t address = 0;
    Kind kind = Kind::Spd;
    std::string file;       // relative to the image
    int bankRegister = -1;  // register images: the bank register, -1 for none
};

struct SmbusSettings {
    std::string controller = "ich";      // a model of smbus_controller_models.h
    std::optional<PciAddress> function;  // the controller's PCI function; none: the model's own
    std::optional<uint16_t> base;        // the I/O base of models no register of which holds it
    bool stuckBusy = false;              // every transfer hangs busy (tests)
    std::vector<SmbusDeviceEntry> devices;
};

// The loader's step for "smbus" and spd/: the files must parse, no two
// slaves may share an address, and the image must hold what the controller
// model needs (its PCI function with its base).
class ImageFiles;
bool loadSmbus(ImageFiles& image, const Manifest& manifest, SimulatedHardware& hw, std::string& error);

} // namespace vexa::machine
