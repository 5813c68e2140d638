// Intel host bridges: identification by PCI device id and revision id
// (intel_northbridges.cpp), and the memory-controller decoders of each
// chipset family. Every decoder takes the bridge and the chipset domain's
// memory record, writes only what it determined, and runs again on every
// refresh.
//
// The decoders of the controllers whose registers sit behind the MCHBAR
// window live in intel_mchbar_i865_i975.cpp (window in device 6 or at
// registers 0x44/0x54), intel_mchbar_p965_p35.cpp (window at register 0x48,
// chipsets of the front-side-bus era) and intel_mchbar_core.cpp (window at
// register 0x48, processors with an integrated controller). Those read
// from the bridge's own configuration space are in intel_mc_i440_i8xx.cpp
// and intel_mc_i845_e7xxx.cpp; those behind other functions in
// intel_mc_uncore.cpp (processors' uncore buses) and intel_mc_fbdimm.cpp
// (FB-DIMM buffers); the Atom platforms' message bus in intel_mc_atom.cpp.
#pragma once

class CCacheDescriptor;
class CChipsetInterface;
class CMemoryInfo;
class CNorthBridge;

// Names the bridge ("Intel", model and stepping) and runs its family's
// decoder; 1.
int IdentifyIntelNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);
// Hides the i865/i875 device 6 again when identification showed it.
void RestoreIntelNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);

// Bit 1 of register 0xF4 of an i865/i875 bridge: whether device 6 (the
// memory controller's register function) is visible.
int GetIntel865Device6Enable(CNorthBridge* bridge);
// Sets or clears that bit; 1 when it took the new state within 100 ms.
int SetIntel865Device6Enable(CNorthBridge* bridge, int enable);

// The mainboard cache of the i430LX and i430TX (size only); the TX also
// gives the DRAM type.
void DecodeIntel430LX(CNorthBridge* bridge, CMemoryInfo* memory, CCacheDescriptor* cache);
void DecodeIntel430TX(CNorthBridge* bridge, CMemoryInfo* memory, CCacheDescriptor* cache);

// MCHBAR window, i865 to i975X.
void DecodeIntel865(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel915(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel945(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel975X(CNorthBridge* bridge, CMemoryInfo* memory);

// MCHBAR window at register 0x48.
void DecodeIntel965(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelGM965(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelP35(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelClarkdale(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelSandyBridge(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelIvyBridge(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelHaswell(CNorthBridge* bridge, CMemoryInfo* memory);

// The bridge's configuration space (i440FX to E7520).
void DecodeIntel440FX(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel440LX(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel440BX(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel810(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel815(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel840(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel845(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel845E(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel845G(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel850(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel852GM(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel855PM(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelE7500(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelE7205(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelE7520(CNorthBridge* bridge, CMemoryInfo* memory);
// Other functions, FB-DIMM buffers and the message bus.
void DecodeIntel5000(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel5100(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntel5400(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelNehalem(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelNehalemUncore(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelSandyBridgeE(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelIvyBridgeE(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelHaswellE(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelAtom08C0(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelAtom0BF2(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelBayTrail(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeIntelUS15W(CNorthBridge* bridge, CMemoryInfo* memory);
