// VIA host bridges: identification by PCI device id (and, for a few, the
// revision id, the southbridge, the processor or the display adapter) in
// via_northbridges.cpp; the decoders of the chipsets up to the KT600 and
// PT800, which read the memory controller from the host bridge's own
// configuration space (via_host_bridge_decoders.cpp); and those of the
// PT880 and later chipsets, which read functions 2 and 3 of the host device
// and give the DRAM clock as a ratio of two clock codes
// (via_memory_controllers.cpp).
#pragma once

class CCacheDescriptor;
class CChipsetInterface;
class CMemoryInfo;
class CNorthBridge;

// Names the bridge ("VIA" and the model) and runs its chipset's decoder;
// 1 for a listed device id, else 0.
int IdentifyVIANorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);

// Apollo VP3 and MVP3, which also give the size of the mainboard cache.
void DecodeVIAApolloVP3(CNorthBridge* bridge, CMemoryInfo* memory, CCacheDescriptor* cache);
void DecodeVIAApolloPro(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAApolloPro266(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAKT266(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAKT400(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAKT400A(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAPT800(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAKT133(CNorthBridge* bridge, CMemoryInfo* memory);

void DecodeVIAPT880(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAPT880Pro(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAP4M800(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAP4M800Pro(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAP4M890(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAP4M900(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIACX700(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAVX11(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAVX800(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAVX900(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeVIAVN1000(CNorthBridge* bridge, CMemoryInfo* memory);
