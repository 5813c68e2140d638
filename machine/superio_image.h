// The super-I/O chips of a machine image: one entry of the manifest's
// "superio" list per chip, with a register dump in the text form of
// tests/data/superio/*.regs:
//
//   # comment
//   config:II=VV   configuration register II (0x00-0x2F global, 0x30 and up
//                  of the hardware monitor's logical device) holds VV
//   B:RR=VV        hardware-monitor bank B (0-F), register RR holds VV
//
// All numbers hex. The chip answers at its configuration port; its monitor
// block answers at the base the dump's registers 0x60/0x61 give (bits 0-2
// cleared), index port base + the entry's index offset, when register 0x30
// bit 0 activates the device and the dump has monitor registers.
#pragma once

#include "machine/devices/port_bus.h"
#include "machine/devices/superio_chip.h"
#include "machine/devices/superio_monitor.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vexa::machine {

struct SuperIoEntry {
    uint16_t port = 0x2E;
    SuperIoProtocol protocol = SuperIoProtocol::Winbond;
    std::string file;                      // the register dump, relative to the image
    std::optional<uint8_t> monitorDevice;  // default: the protocol's (superIoMonitorDevice)
    uint8_t monitorIndexOffset = 5;        // the monitor's index port from its base
};

struct SuperIoRegisters {
    std::map<uint8_t, uint8_t> config;
    std::map<unsigned, SuperIoMonitorSettings::Bank> banks;
};

// The hardware monitor's logical device of each protocol: Winbond 0x0B,
// Fintek and ITE 4, SMSC 8, National Semiconductor 9.
uint8_t superIoMonitorDevice(SuperIoProtocol protocol);
// "winbond", "fintek", "ite", "smsc", "ns".
bool superIoProtocolNamed(std::string_view name, SuperIoProtocol& protocol);

// `error` names the line at fault. Registers a bank does not list read 0xFF.
bool parseSuperIoRegisters(std::string_view text, SuperIoRegisters& registers, std::string& error);

// The devices attachSuperIo placed on the bus (the bus owns them).
struct SuperIoDevices {
    SuperIoChip* chip = nullptr;
    SuperIoMonitor* monitor = nullptr;  // null when the dump places none
};

// Attaches the chip and, when its dump places one, its monitor block.
bool attachSuperIo(const SuperIoEntry& entry, const SuperIoRegisters& registers, PortBus& ports, std::string& error,
                   SuperIoDevices* attached = nullptr);

} // namespace vexa::machine
