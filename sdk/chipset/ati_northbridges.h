// ATI host bridges (and the AMD chipsets that kept ATI's vendor ID): names
// by device ID, the 770/870 and RS690 variants told apart by other
// functions or the board, and the memory controllers of the RS100 to RS250,
// the RS400/RC400/RC410 and the RS600 (ati_memory_controllers.cpp).
#pragma once

#include <cstdint>

class CChipsetInterface;
class CMemoryInfo;
class CNorthBridge;

// Names the bridge and runs its decoder; 1 for a listed device ID, else 0.
int IdentifyATINorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);

void DecodeATIRS200(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeATIRS400(CNorthBridge* bridge, CMemoryInfo* memory);
void DecodeATIRS600(CNorthBridge* bridge, CMemoryInfo* memory);

// The memory PLL's clock: N x reference / (M x post-divider); -1.0 for a
// zero M or post-divider (a PLL that is not programmed).
float ATIMemoryPLLClock(float referenceMHz, uint32_t m, uint32_t n, uint32_t postDivider);
