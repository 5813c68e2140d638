// One PCI function found by the bus scan (pci_interface.h): its location,
// the register space through which its configuration space is read, the
// first 16 bytes of that space, a typed header (pci_header.h), its
// standard and PCI Express extended capabilities (pci_capability.h), a
// readable class description and, on request, a snapshot of its whole
// configuration space for the report. The root's device list owns it.
//
// Every read that fails leaves all ones in what it fills: a function that
// stops answering reads as 0xFF bytes, never as stale values.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sdk/core/device.h"
#include "sdk/core/list.h"

class CPCICapability;
class CPCIHeader;
class CRegisterSpace;
class CReportGenerator;

// Bit n of a capability mask: a capability with ID n (modulo 32) was found.
enum PCICapabilityMask : uint32_t {
    PCICAPS_PM = 1u << 0x01,
    PCICAPS_AGP = 1u << 0x02,
    PCICAPS_MSI = 1u << 0x05,
    PCICAPS_HT = 1u << 0x08,
    PCICAPS_PCIE = 1u << 0x10,
    PCICAPS_MSIX = 1u << 0x11,
};

// The first 16 bytes of a function's configuration space; all ones until read.
class CPCICommonHeader {
public:
    virtual ~CPCICommonHeader() = default;

    uint16_t m_wVendorID = 0xFFFF;
    uint16_t m_wDeviceID = 0xFFFF;
    uint16_t m_wCommand = 0xFFFF;
    uint16_t m_wStatus = 0xFFFF;
    uint8_t m_byRevisionID = 0xFF;
    uint8_t m_byProgIF = 0xFF;  // programming interface
    uint8_t m_bySubClass = 0xFF;
    uint8_t m_byBaseClass = 0xFF;
    uint8_t m_byCacheLineSize = 0xFF;
    uint8_t m_byLatencyTimer = 0xFF;
    uint8_t m_byHeaderType = 0xFF;  // bit 7 multi-function, bits 6:0 the layout
    uint8_t m_byBIST = 0xFF;
};

class CPCIDevice : public CDevice {
public:
    static constexpr uint32_t kDescriptionSize = 512;
    static constexpr uint8_t kMultiFunction = 0x80;
    static constexpr uint32_t kConventionalSpace = 256;
    static constexpr uint32_t kExpressSpace = 4096;

    // The scan sets the register space before the parsers run.
    CPCIDevice(uint8_t bus, uint8_t device, uint8_t function);
    ~CPCIDevice() override;

    // ---- Report (pci_device_report.cpp) ----
    void Dump(CReportGenerator* report) override;
    // The console form: description, location and the first common-header lines.
    virtual void DumpBrief(CReportGenerator* report);
    // The snapshot as hex rows; nothing without one.
    virtual void DumpRegisters(CReportGenerator* report);

    // ---- Configuration access ----
    // The dword at `reg` (0..4095) through the register space: a PCI space
    // (class 2) or the PCI Express window (class 3). 0 with all ones in
    // `value` for any other space, none, or a register out of range.
    uint32_t ReadConfigDword(int32_t reg, uint32_t* value);
    uint32_t WriteConfigDword(int32_t reg, uint32_t value);

    // ---- Parsers, in the order the scan runs them ----
    void ReadCommonHeader();
    // Replaces the typed header by one for layouts 0, 1 and 2 (parsed at
    // once); other layouts have none.
    void CreateHeader();
    void ScanCapabilities();
    void ScanExtendedCapabilities();
    void BuildClassDescription();

    // Reads the whole configuration space into the snapshot: 256 bytes
    // through a PCI space, 4096 through the PCI Express window; zeros where
    // the read fails. Nothing through any other space.
    void ReadConfigSpace();

    // The subsystem IDs of the typed header (0xFFFF for a PCI-to-PCI
    // bridge, which has none); -1 without a typed header.
    int32_t GetSubVendorID();
    int32_t GetSubSystemID();

    uint16_t GetVendorID() const { return m_pCommonHeader->m_wVendorID; }
    uint16_t GetDeviceID() const { return m_pCommonHeader->m_wDeviceID; }
    bool IsMultiFunction() const { return m_pCommonHeader->m_byHeaderType & kMultiFunction; }

    CRegisterSpace* m_pRegisterSpace = nullptr;  // not owned
    uint8_t m_byBus;
    uint8_t m_byDevice;
    uint8_t m_byFunction;
    CPCICommonHeader* m_pCommonHeader;               // owned
    CPCIHeader* m_pHeader = nullptr;                 // owned; null for other layouts
    CTList<CPCICapability>* m_pCapabilities;          // owned, with their capabilities
    CTList<CPCICapability>* m_pExtendedCapabilities;  // owned, with their capabilities
    uint32_t m_dwCapabilityMask = 0;                  // PCICapabilityMask
    uint32_t m_dwExtendedCapabilityMask = 0;
    char m_szDescription[kDescriptionSize] = {};
    uint32_t m_dwSnapshotSize = 0;    // 0, 256 or 4096
    std::vector<uint8_t> m_Snapshot;  // empty until ReadConfigSpace
};

// A run of a function's configuration dwords, read once, whose fields are
// then taken by byte offset. Bytes of a dword whose read failed are 0xFF.
class CPCIConfigDwords {
public:
    static constexpr uint32_t kMaxBytes = 0x48;

    // The dwords at `first`, `first` + 4, ... up to and including `last`
    // (multiples of 4, last - first < kMaxBytes).
    CPCIConfigDwords(CPCIDevice* device, uint32_t first, uint32_t last);

    uint8_t Byte(uint32_t reg) const;
    uint16_t Word(uint32_t reg) const;
    uint32_t Dword(uint32_t reg) const;

private:
    uint32_t m_dwFirst;
    std::array<uint8_t, kMaxBytes> m_Bytes;
};
