// The PCI functions a machine image without lspci.txt gets when it has
// memory modules on an ICH SMBus (simulated_smbus.h), so that one module
// can be tried alone: the three functions of an Intel P35 + ICH9 board that
// the SMBus domain needs, from a small built-in configuration.
//
//   00:00.0 host bridge   8086:29C0 (82G33/G31/P35/P31 DRAM controller)
//   00:1f.0 LPC bridge    8086:2918 (82801IB ICH9), multi-function; ACPI
//           base 0x800 (enabled), GPIO base 0x500 (enabled); RCBA (0xF0)
//           0: no root complex block, so nothing hides the SMBus function
//   00:1f.3 SMBus         8086:2930 (82801I ICH9), revision 2: I/O base
//           0x400 in BAR4 (0x20), I/O and memory decoding on, the memory
//           BAR0 at 0xFEBFFC00, HOSTC (0x40) 0x01: host enabled, SMBus mode
//
// Registers not listed read 0, as do the subsystem ids.
#pragma once

#include "machine/devices/pci_config_space.h"

namespace vexa::machine {

inline constexpr uint16_t kDefaultIchSmbusBase = 0x400;

void addDefaultIchChipset(PciConfigSpace& space);

} // namespace vexa::machine
