// The capabilities of a PCI function: one object per entry of its standard
// list (from the header's capabilities pointer) and, when it is reached
// through the PCI Express window, of its extended list (from 0x100). Most
// are only recorded and named in the report (this file); power management,
// AGP, HyperTransport, subsystem vendor, PCI Express, root complex link
// declaration and vendor-specific capabilities are decoded further
// (pci_caps_*.h). Any other ID gives a plain CPCICapability.
//
// A capability reads its registers relative to its offset through
// CPCIDevice::ReadConfigDword; a read that fails gives all ones, and the
// values derived from them are kept as they come.
#pragma once

#include <cstdint>

class CPCIDevice;
class CReportGenerator;

class CPCICapability {
public:
    static constexpr uint32_t kNoOffset = 0xFFFFFFFF;

    // `label`: the class's name in the report; null for a plain capability.
    explicit CPCICapability(uint32_t id, int32_t size = -1, const char* label = nullptr)
        : m_dwID(id), m_iSize(size), m_pszLabel(label) {}
    virtual ~CPCICapability() = default;
    CPCICapability(const CPCICapability&) = delete;
    CPCICapability& operator=(const CPCICapability&) = delete;

    // Reads the capability's registers; nothing before the walk set the offset.
    virtual void Parse(CPCIDevice*) {}
    // "\tCaps class" and "\tCaps offset", then what the class decodes.
    virtual void Dump(CReportGenerator* report);

    bool IsID(uint32_t id) const { return m_dwID == id; }
    const char* GetLabel() const { return m_pszLabel; }

    uint32_t m_dwID;  // 8 bits for standard, 16 for extended capabilities
    uint32_t m_dwOffset = kNoOffset;
    int32_t m_iSize;  // bytes; -1 when unknown

protected:
    bool HasOffset() const { return m_dwOffset != kNoOffset; }
    // The register at offset + `at`: the low bits of the dword read there.
    uint32_t Dword(CPCIDevice* device, uint32_t at) const;
    uint16_t Word(CPCIDevice* device, uint32_t at) const { return uint16_t(Dword(device, at)); }
    uint8_t Byte(CPCIDevice* device, uint32_t at) const { return uint8_t(Dword(device, at)); }

private:
    const char* m_pszLabel;
};

// The class for a standard or an extended capability ID; the caller owns it.
CPCICapability* CreatePCICapability(uint32_t id);
CPCICapability* CreatePCIExtendedCapability(uint32_t id);

// ---- Standard capabilities that are named only ----

class CPCICaps_VPD : public CPCICapability {
public:
    CPCICaps_VPD() : CPCICapability(0x03, 4, "Virtual Product Data") {}
};

class CPCICaps_SlotID : public CPCICapability {
public:
    CPCICaps_SlotID() : CPCICapability(0x04, 4, "Slot ID") {}
};

class CPCICaps_MSI : public CPCICapability {
public:
    CPCICaps_MSI() : CPCICapability(0x05, 4, "Message Signalled Interrupts") {}
};

class CPCICaps_CHSWP : public CPCICapability {
public:
    CPCICaps_CHSWP() : CPCICapability(0x06, 8, "CompactPCI HotSwap") {}
};

class CPCICaps_PCIX : public CPCICapability {
public:
    CPCICaps_PCIX() : CPCICapability(0x07, 8, "PCI-X") {}
};

class CPCICaps_DBG : public CPCICapability {
public:
    CPCICaps_DBG() : CPCICapability(0x0A, -1, "Debug Port") {}
};

class CPCICaps_AGP8X : public CPCICapability {
public:
    CPCICaps_AGP8X() : CPCICapability(0x0E, -1, "AGP 8x") {}
};

class CPCICaps_SD : public CPCICapability {
public:
    CPCICaps_SD() : CPCICapability(0x0F, -1, "Secure Device") {}
};

class CPCICaps_MSIX : public CPCICapability {
public:
    CPCICaps_MSIX() : CPCICapability(0x11, 8, "MSI-X") {}
};

// ---- Extended capabilities that are named only ----

class CPCICaps_AdvError : public CPCICapability {
public:
    CPCICaps_AdvError() : CPCICapability(0x0001, 16, "Advanced Error Reporting") {}
};

class CPCICaps_VChannel : public CPCICapability {
public:
    CPCICaps_VChannel() : CPCICapability(0x0002, 16, "Virtual Channel") {}
};

class CPCICaps_SerialNumber : public CPCICapability {
public:
    CPCICaps_SerialNumber() : CPCICapability(0x0003, 12, "Device Serial Number") {}
};

class CPCICaps_PowerBudgeting : public CPCICapability {
public:
    CPCICaps_PowerBudgeting() : CPCICapability(0x0004, 16, "Power Budgeting") {}
};
