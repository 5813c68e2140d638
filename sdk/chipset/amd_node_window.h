// The functions of the processor node that a DRAM controller bridge
// (function 2) belongs to, for the memory-controller decoders of the K10
// and later: registers of any node function through the node's extended
// configuration space (registers up to 0xFFF), shared with the processor
// descriptions through the root's register-space list.
#pragma once

#include <cstdint>

class AMD_K10_ECS_RegisterSpace;
class CNorthBridge;
class CPCIDevice;

class AMDNodeWindow {
public:
    // The root's extended space of the bridge's bus and device, or a new
    // one when the node's function 3 exists (the root owns it and its
    // enabling command, which is restored at close).
    explicit AMDNodeWindow(CNorthBridge& bridge);

    bool IsOpen() const { return m_pSpace != nullptr; }
    // The dword of register `reg` of function `function`; all ones when it
    // does not read.
    uint32_t Read(uint32_t function, uint32_t reg);
    void Write(uint32_t function, uint32_t reg, uint32_t value);

    // Function 3 of the node (the miscellaneous control); null without it.
    CPCIDevice* m_pFunction3 = nullptr;

private:
    AMD_K10_ECS_RegisterSpace* m_pSpace = nullptr;
};

// The northbridge clock over the reference clock: (NbFid + 4) / 2^NbDid.
float AMDUncoreRatio(uint32_t nbFid, uint32_t nbDid);
