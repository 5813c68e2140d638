// The SMBus host controller models a machine image chooses with
// "smbus.controller" (docs/machine-images.md): one row per chip, naming the
// device model (machine/devices/), the PCI function it usually sits in and
// where its I/O base comes from.
#pragma once

#include "machine/devices/smbus_segment.h"
#include "machine/machine.h"

#include <optional>
#include <string>
#include <vector>

namespace vexa::machine {

struct SmbusSettings;
struct SimulatedHardware;

// Every value "smbus.controller" takes, in table order.
std::vector<std::string> smbusControllerModels();
bool isSmbusControllerModel(const std::string& name);
// Whether the model's base comes from "smbus.base" (no register holds it).
bool smbusControllerTakesBase(const std::string& name);
// Whether "smbus.function" means anything to the model.
bool smbusControllerTakesFunction(const std::string& name);
// The controller's PCI function when the manifest names none; none for the
// models that need it named (and for those without one).
std::optional<PciAddress> defaultSmbusFunction(const std::string& name);

// Builds the controller of `settings` with `segment` behind it on `hw`;
// false with a message (without the file's name) when the image does not
// hold what the model needs.
bool attachSmbusController(const SmbusSettings& settings, SmbusSegment segment, SimulatedHardware& hw,
                           std::string& error);

} // namespace vexa::machine
