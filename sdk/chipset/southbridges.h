// The southbridge namers of each vendor. CChipsetInterface::IdentifySouthBridge
// (southbridge_vendors.cpp) picks one by the bridge's PCI vendor ID; each
// writes the vendor text first, then the model and, for a few models, a
// stepping. Texts no rule writes keep the bridge's "ID%04X"/"%02X" forms.
#pragma once

#include <cstddef>
#include <cstdint>

class CChipsetInterface;
class CSouthBridge;

// One model of a device ID.
struct SouthBridgeModel {
    uint16_t device;
    const char* model;
};

// The model of the bridge's device ID in `models`; other IDs keep theirs.
void NameSouthBridgeByTable(CSouthBridge* bridge, const SouthBridgeModel* models, size_t count);
template <size_t N>
void NameSouthBridgeByTable(CSouthBridge* bridge, const SouthBridgeModel (&models)[N]) {
    NameSouthBridgeByTable(bridge, models, N);
}
void SetSouthBridgeVendor(CSouthBridge* bridge, const char* vendor);
void SetSouthBridgeModel(CSouthBridge* bridge, const char* model);
void SetSouthBridgeRevision(CSouthBridge* bridge, const char* revision);
uint16_t SouthBridgeDeviceID(const CSouthBridge* bridge);
uint8_t SouthBridgeRevisionID(const CSouthBridge* bridge);

// ATI (0x1002) and AMD (0x1022) southbridges (southbridge_amd.cpp).
void NameATISouthBridge(CChipsetInterface* chipset, CSouthBridge* bridge);
void NameAMDSouthBridge(CChipsetInterface* chipset, CSouthBridge* bridge);
// The other vendors (southbridge_intel.cpp, southbridge_nvidia.cpp,
// southbridge_vendors.cpp).
void IdentifyIntelSouthBridge(CChipsetInterface* chipset, CSouthBridge* bridge);
void IdentifyNVIDIASouthBridge(CChipsetInterface* chipset, CSouthBridge* bridge);
void IdentifyVIASouthBridge(CChipsetInterface* chipset, CSouthBridge* bridge);
void IdentifyALiSouthBridge(CChipsetInterface* chipset, CSouthBridge* bridge);
void NameSiSSouthBridge(CChipsetInterface* chipset, CSouthBridge* bridge);
