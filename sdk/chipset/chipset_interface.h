// The chipset domain (InterfaceType INTERFACE_CHIPSET): the host bridges
// and the first ISA/LPC bridge found on the PCI bus, the memory-controller
// record (memory_info.h) and the mainboard cache of old chipsets.
//
// Each host bridge is named and its memory controller decoded by the family
// code of its vendor (chipset_vendors.cpp dispatches); a vendor without
// family code keeps the "ID%04X" texts. After identification the interface
// computes the DRAM clock from the processor domain's bus clock and
// processor 0's multiplier. Identification runs at detection and again at
// every refresh, for every host bridge in PCI scan order, so a later
// bridge's decoder overwrites what an earlier one wrote.
//
// Family decoders follow one contract: they write the vendor name first,
// then model and stepping texts; they read the bridge through ReadConfig,
// other functions through the PCI domain, registers through the bridge's
// m_pMCHBAR and ports through the root's driver; they write into the
// memory record only what they determined, with exactly one source of the
// DRAM clock; they look shared I/O spaces up before creating them, and put
// back any register they change in Close.
#pragma once

#include <cstdint>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"

class CCacheDescriptor;
class CMemoryInfo;
class CNorthBridge;
class CPCICapability;
class CReportGenerator;
class CSouthBridge;

class CChipsetInterface : public CInterface {
public:
    // No bridges, no board cache, an empty memory record.
    CChipsetInterface();
    // Deletes the bridges, the board cache, the memory record and the
    // southbridge.
    ~CChipsetInterface() override;
    CChipsetInterface(const CChipsetInterface&) = delete;
    CChipsetInterface& operator=(const CChipsetInterface&) = delete;

    // Does nothing: the creator runs Detect.
    int Init() override { return 1; }
    // Puts back chipset registers changed during identification.
    void Close() override;

    // 0 without the root's PCI domain; otherwise finds the southbridge and
    // every host bridge, identifies them, computes the DRAM clock and
    // answers 1.
    int Detect();
    // Identifies every host bridge again and recomputes the DRAM clock; 1.
    int Refresh();

    // Names a host bridge and decodes its memory controller (by vendor).
    void IdentifyNorthBridge(CNorthBridge* bridge);
    // Names the southbridge.
    void IdentifySouthBridge(CSouthBridge* bridge);

    // The processor domain's measured bus clock (MHz) and the current
    // multiplier of core 0 of processor 0; -1.0 when unknown.
    static float GetBusClock();
    static float GetMultiplier();

    // ---- Report (chipset_report.cpp) ----
    // The graphics bus: the first AGP or PCI Express capability (only AGP
    // with `agpOnly`) of the VGA controllers, in PCI scan order; null
    // without the PCI domain or such a capability.
    static CPCICapability* FindGraphicsCapability(bool agpOnly);
    void WriteReport(CReportGenerator* report);
    // The main host bridge's memory-controller window as hex rows.
    void DumpMCHBAR(CReportGenerator* report);

    CTList<CNorthBridge>* m_pNorthBridges;     // owned, with the bridges, in detection order
    CNorthBridge* m_pNorthBridge = nullptr;    // the bridge at 00:00.0, one of the list
    CSouthBridge* m_pSouthBridge = nullptr;    // owned
    CMemoryInfo* m_pMemoryInfo;                // owned
    CCacheDescriptor* m_pBoardCache = nullptr; // owned; old chipsets' mainboard cache

private:
    void UpdateDRAMFrequency();
    void FindSouthBridge();
    void FindNorthBridges();
    void AddNorthBridge(CNorthBridge* bridge);
};

// The memory clock of a Transmeta TM8000: byte 0x4E of 00:00.1 (or the
// first of functions 2 to 4 where it is not 0) times 16.6667 MHz.
void DecodeTransmetaTM8000(CNorthBridge* bridge, CMemoryInfo* memory);
