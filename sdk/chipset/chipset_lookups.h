// What the bridge namers look at beside the bridge itself: other PCI
// functions by their IDs or location, and the SMBIOS product names of the
// system and the baseboard (some chipsets are told apart only by the board
// that carries them).
#pragma once

#include <cstdint>
#include <initializer_list>

class CPCIDevice;

// The number of PCI functions with those IDs; 0 without the PCI domain.
int32_t PCIDeviceCount(uint16_t vendor, uint16_t device);
// Whether a function of `vendor` with a device ID from `first` to `last`
// (inclusive) exists.
bool AnyPCIDeviceInRange(uint16_t vendor, uint16_t first, uint16_t last);
// Whether a function of `vendor` with one of `devices` exists.
bool AnyPCIDevice(uint16_t vendor, std::initializer_list<uint16_t> devices);
// The first function with those IDs; null without one.
CPCIDevice* FirstPCIDevice(uint16_t vendor, uint16_t device);
// The configuration dword of a function at that location through the PCI
// domain; false (with all ones) without the domain or when it fails.
bool ReadPCIConfigAt(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t* value);

// Whether the SMBIOS baseboard (type 2) or system (type 1) product name is
// known and not empty and contains one of `parts`.
bool BaseboardProductContains(std::initializer_list<const char*> parts);
bool SystemProductContains(std::initializer_list<const char*> parts);
