// NVIDIA host bridges: identification by PCI device id, sibling functions,
// a few configuration registers, one port probe and the SMBIOS product
// names (nvidia_northbridges.cpp), and the memory-controller decoders of
// the chipsets whose controller is known (nvidia_memory_controllers.cpp).
// The decoders set the memory type, the timings they read, the channels and
// the FSB:DRAM ratio with its text, or no clock source at all.
#pragma once

class CChipsetInterface;
class CMemoryInfo;
class CNorthBridge;

// Names the bridge ("NVIDIA", model, revision where known) and runs its
// chipset's decoder; 1 for a listed device id, else 0.
int IdentifyNVIDIANorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);

void DecodeNForce(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeNForce2(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeNForce4IntelEdition(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeNForce600SPP(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeGeForce7000MCP(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeNForce700SPP(CNorthBridge* bridge, CMemoryInfo* memory);
// Through the PCI Express configuration space; nothing without it.
void DecodeMCP79(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeMCP89(CNorthBridge* bridge, CMemoryInfo* memory);
