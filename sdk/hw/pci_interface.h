// The PCI domain: how configuration space is reached (mechanism 1 or 2,
// through the kernel driver's requests or through the ports 0xCF8/0xCFC),
// the scan of every bus, device and function, which keeps one CPCIDevice
// per present function in the root's device list, the PCI Express
// configuration window (ECAM) found from the host bridge's registers, and
// the lookups and configuration accesses through which the chipset,
// processor, SMBus, graphics and monitoring code reach PCI hardware.
//
// The interface owns nothing: its register spaces and devices are in the
// root's lists. Functions that vanish on a rescan leave the device list;
// their objects are kept until the interface goes, since other components
// may still hold them.
#pragma once

#include <cstdint>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"

class CDevice;
class CPCIDevice;
class CRegisterSpace;
class CReportGenerator;

enum PCIAccessMode : int32_t {
    PCI_ACCESS_DRIVER = 1,  // the primary configuration space
    PCI_ACCESS_PORTS = 2,   // the ports 0xCF8/0xCFC (mechanism 1 only)
};

class CPCIInterface : public CInterface {
public:
    static constexpr int32_t kMechanism1Devices = 32;
    static constexpr int32_t kMechanism2Devices = 16;
    static constexpr int32_t kFunctions = 8;
    static constexpr int32_t kMechanism1Buses = 256;
    static constexpr int32_t kMechanism2Buses = 8;
    // What mechanism 2 must find at 00:00.0 to be believed (an Intel 82434).
    static constexpr uint32_t kMechanism2HostBridge = 0x04A38086;

    CPCIInterface();
    ~CPCIInterface() override;
    CPCIInterface(const CPCIInterface&) = delete;
    CPCIInterface& operator=(const CPCIInterface&) = delete;

    // Chooses the mechanism and registers its configuration spaces; 0 when
    // neither mechanism answers. Does not scan.
    int Init() override;
    void Close() override {}

    // 1 or 2 with the geometry set, 0 when neither answers (pci_interface.cpp).
    int32_t DetectMechanism();
    // The configuration space of the access mode; null for mode 2 under
    // mechanism 2 and for any other mode.
    CRegisterSpace* GetConfigSpace();
    // The first PCI Express register space of the root's list, or null.
    CRegisterSpace* GetExpressSpace();

    // Enumerates the buses and keeps the device list in step; any number
    // of times (pci_bus_scan.cpp).
    void ScanBus();
    // Finds the ECAM base from the host bridge's registers and registers
    // the PCI Express space over it (pci_express_base.cpp).
    void DetectExpressBase();
    // Moves every PCI Express function to the PCI Express space and reads
    // its extended capabilities; nothing without that space.
    void AttachExpressSpace();
    // Takes a snapshot of every function's configuration space (before a report).
    void RefreshDevices();

    CPCIDevice* FindDevice(uint8_t bus, uint8_t device, uint8_t function);
    // The functions with those IDs: their number, and (when a list is
    // given) the list emptied and refilled with them. The devices stay the
    // root's.
    int32_t FindDevicesByID(uint16_t vendor, uint16_t device, CTList<CDevice>* list);
    // The same by base class and, unless `subClass` is -1, subclass.
    int32_t FindDevicesByClass(uint8_t baseClass, int32_t subClass, CTList<CDevice>* list);

    // Registers 256 and up go through the PCI Express space, the others
    // through the access mode's space; 0 without that space (the value is
    // then all ones).
    uint32_t ReadConfig(int32_t bus, int32_t device, int32_t function, int32_t reg, uint32_t* value);
    uint32_t WriteConfig(int32_t bus, int32_t device, int32_t function, int32_t reg, uint32_t value);

    // The report: every function's block and registers.
    void Dump(CReportGenerator* report);
    // The console form: every function's brief block.
    void Dump2(CReportGenerator* report);

    int32_t m_iBusCount = 0;  // may be lowered by the caller before ScanBus
    int32_t m_iDevicesPerBus = 0;
    int32_t m_iFunctionsPerDevice = 0;
    int32_t m_iMechanism = 1;
    int32_t m_iMaxBusCount = 0;
    int32_t m_iAccessMode = PCI_ACCESS_DRIVER;
    CRegisterSpace* m_pConfigSpace = nullptr;      // the primary space; the root's
    CRegisterSpace* m_pPortConfigSpace = nullptr;  // mechanism 1 only; the root's

private:
    // Creates, parses and lists a function found present.
    CPCIDevice* AddDevice(CRegisterSpace* space, uint8_t bus, uint8_t device, uint8_t function, bool withExpress);
    // Takes a vanished function off the device list; its object is kept.
    void RetireDevice(CPCIDevice* device);
    // The hidden-device passes through the ports: bus 0 devices 24-27 and
    // buses 0x3F, 0x7F and 0xFF. Functions they find present are taken off
    // `pending` (those the main scan's space no longer reaches, which then
    // read through the ports).
    void ScanHiddenDevices(CRegisterSpace* mainSpace, bool withExpress, CTList<CPCIDevice>& pending);
    void ScanHiddenDevice(uint8_t bus, uint8_t device, CRegisterSpace* mainSpace, bool withExpress,
                          CTList<CPCIDevice>& pending);

    // Devices taken off the device list by a rescan; deleted with the interface.
    CTList<CDevice>* m_pRetiredDevices;
};
