// The PCI Express configuration window a processor reports in a
// model-specific register (Intel MSR 0x300, AMD MSR 0xC0010058): the PCI
// domain takes it when it has no window yet.
#pragma once

#include <cstdint>

class CPCIInterface;

// A PCI Express register space over the root's memory I/O space at `base`
// (created, 4 KB, when the root has none there), added to the root's
// register spaces and attached to `pci`; nothing when `pci` has a window
// already or `base` is 0.
void InstallExpressWindow(CPCIInterface* pci, uint32_t base);
