// The manifest's "controllers" section: the sensor controllers of notebooks
// and mainboards that answer on fixed ports (docs/machine-images.md), and
// the Dell SMI handler.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "machine/devices/abit_uguru.h"
#include "machine/devices/apple_smc.h"
#include "machine/devices/dell_smi_handler.h"
#include "machine/devices/embedded_controller.h"
#include "machine/devices/indexed_registers.h"

namespace vexa::machine {

class PortBus;

struct PlatformControllers {
    std::optional<EmbeddedControllerSettings> embeddedController;  // ports 0x62/0x66
    std::optional<std::map<uint16_t, uint8_t>> eeePcController;   // ports 0x381-0x383
    std::optional<AbitUGuruSettings> uguru;                        // ports 0xE0/0xE4
    std::optional<AppleSmcSettings> appleSmc;                      // ports 0x300/0x304
    std::vector<IndexedRegistersSettings> indexedRegisters;
    std::optional<DellSmiSettings> dellSmi;
};

// Puts the port controllers on the bus; false with a message when a port
// is taken already.
bool attachPlatformControllers(const PlatformControllers& controllers, PortBus& ports, std::string& error);

} // namespace vexa::machine
