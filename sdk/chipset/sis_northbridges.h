// SiS host bridges: identification by PCI device id (and, for three, the
// revision id) in sis_northbridges.cpp, and the memory-controller decoders
// of each chipset generation, which read the host bridge's own
// configuration space (sis_memory_controllers.cpp).
#pragma once

class CChipsetInterface;
class CMemoryInfo;
class CNorthBridge;

// Names the bridge ("SiS", model, stepping where known) and runs its
// generation's decoder; 1 for a listed device id, else 0.
int IdentifySiSNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);

void DecodeSiS645(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeSiS735(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeSiS648(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeSiS649(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeSiS662(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeSiS671(CNorthBridge* bridge, CMemoryInfo* memory);
