// The disk drives and USB devices of a simulated machine: each drive
// answers the ATA commands of machine.h from its IDENTIFY DEVICE and SMART
// READ DATA sectors, keeps whether SMART is enabled, and hands its SMART
// data to the one USB-bridge command block it understands.
#pragma once

#include "machine/drive_facts.h"

#include <span>
#include <string>
#include <vector>

namespace vexa::machine {

struct Manifest;
struct SimulatedHardware;

struct SimulatedDrive {
    DiskDrive facts;
    std::vector<uint8_t> identify;  // 512 bytes; empty: the drive takes no ATA commands
    std::vector<uint8_t> smart;     // 512 bytes; empty: no SMART data
    uint8_t usbBridge = 0;          // first byte of its bridge's command block; 0: none
    bool smartEnabled = false;      // from IDENTIFY word 85; SMART ENABLE OPERATIONS sets it
};

// IDENTIFY DEVICE gives the IDENTIFY data; SMART READ DATA the SMART data
// while SMART is enabled; SMART ENABLE OPERATIONS enables it. A drive
// without SMART support aborts the SMART commands, one with SMART disabled
// or without SMART data aborts READ DATA. Other commands, and data-in
// commands with less than 512 bytes of room, get no answer; nor does a
// drive behind a USB bridge, which only its bridge's command block reaches.
AtaOutcome answerAtaCommand(SimulatedDrive& drive, const AtaRegisters& registers, std::span<uint8_t> data);

// The drive's bridge answers its own command block (the first byte tells
// it) with the SMART data, when the drive supports SMART and has data.
bool answerBridgeCommand(SimulatedDrive& drive, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                         size_t& transferred);

// The loader's step for "drives" and "usb": reads each drive's IDENTIFY
// and SMART files (exactly 512 bytes each), takes the storage property and
// the geometry from the IDENTIFY data where the manifest gives none, and
// adds a device-tree node for every USB device with a description whose
// driver key the tree does not hold yet (after the manifest's own tree).
class ImageFiles;
bool loadDrivesAndUsb(ImageFiles& image, const Manifest& manifest, SimulatedHardware& hw, std::string& error);

} // namespace vexa::machine
