// AMD host bridges: the chipsets AMD made (AMD-751 to AMD-8151, the 780G
// to 890GX) and, from the K8 on, the DRAM controller function of each
// processor node, decoded by the memory-controller decoder of its
// processor generation. Every decoder takes the bridge and the chipset
// domain's memory record, writes only what it determined and runs again on
// every refresh.
#pragma once

class CChipsetInterface;
class CMemoryInfo;
class CNorthBridge;

// Names the bridge ("AMD" and the model) and runs its decoder; 1.
int IdentifyAMDNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);

// The processors' integrated controllers (amd_memory_controllers_*.cpp).
void DecodeAMDK8(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeAMDK8RevF(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeAMDK10(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeAMDK11(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeAMDK12(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeAMDK15(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeAMDK16(CNorthBridge* bridge, CMemoryInfo* memory);

// The K8's DRAM clock divisor (DRAM clock = core clock / divisor) of a
// memory-clock code at core multiplier `multiplier`: before revision F
// (`oddDivisorRounding` raises an odd divisor by one) and from revision F
// on. At least 5; -1 for a code without a divisor or a multiplier not
// above 0.
int AMDK8ClockDivisor(int memClkCode, float multiplier, bool oddDivisorRounding);
int AMDK8RevFClockDivisor(int memClkCode, float multiplier);

// The AMD-751, AMD-761 and AMD-762 (amd_76x_northbridges.cpp).
void NameAMD76xRevision(CNorthBridge* bridge);
void DecodeAMD751(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeAMD761(CNorthBridge* bridge, CMemoryInfo* memory);
