// ALi host bridges: names by device ID and the MagiK 1's memory controller.
#pragma once

class CChipsetInterface;
class CMemoryInfo;
class CNorthBridge;

// Names the bridge ("ALI" and the model) and decodes the MagiK 1; 1.
int IdentifyALiNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge);
void DecodeALiMagiK1(CNorthBridge* bridge, CMemoryInfo* memory);
