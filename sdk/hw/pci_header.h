// The typed part of a PCI function's configuration header, bytes 0x10 up:
// layout 0 (an ordinary function), 1 (a PCI-to-PCI bridge) and 2 (a
// CardBus bridge). Every field starts as all ones and is taken from its
// own bytes of the configuration dword that holds it. Parsing also
// registers an I/O space in the root's list for every base address
// register that holds an address (one already listed with that base and
// type is reused).
#pragma once

#include <cstdint>

class CPCIDevice;
class CReportGenerator;

class CPCIHeader {
public:
    explicit CPCIHeader(int32_t type) : m_iHeaderType(type) {}
    virtual ~CPCIHeader() = default;
    CPCIHeader(const CPCIHeader&) = delete;
    CPCIHeader& operator=(const CPCIHeader&) = delete;

    virtual uint8_t GetCapabilitiesPointer() { return 0xFF; }
    virtual uint16_t GetSubVendorID() { return 0xFFFF; }
    virtual uint16_t GetSubSystemID() { return 0xFFFF; }
    virtual void Parse(CPCIDevice* device) = 0;
    virtual void Dump(CReportGenerator* report) = 0;

    int32_t m_iHeaderType;

protected:
    // Registers the I/O space a base address register names: ports when
    // bit 0 is set, memory otherwise; nothing when the address is 0.
    static void AddBARSpace(uint32_t bar);
    // "\tAddress N (port)" or "(memory)" with the address, for a BAR that holds one.
    static void DumpBAR(CReportGenerator* report, int index, uint32_t bar);
};

class CPCIHeaderType0 : public CPCIHeader {
public:
    static constexpr int kBARCount = 6;

    CPCIHeaderType0() : CPCIHeader(0) {}

    uint8_t GetCapabilitiesPointer() override { return m_byCapabilitiesPointer; }
    uint16_t GetSubVendorID() override { return m_wSubVendorID; }
    uint16_t GetSubSystemID() override { return m_wSubSystemID; }
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    uint32_t m_dwBAR[kBARCount] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    uint32_t m_dwCardBusCIS = 0xFFFFFFFF;
    uint16_t m_wSubVendorID = 0xFFFF;
    uint16_t m_wSubSystemID = 0xFFFF;
    uint32_t m_dwExpansionROM = 0xFFFFFFFF;
    uint8_t m_byCapabilitiesPointer = 0xFF;
    uint8_t m_byReserved[7] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    uint8_t m_byInterruptLine = 0xFF;
    uint8_t m_byInterruptPin = 0xFF;
    uint8_t m_byMinGrant = 0xFF;
    uint8_t m_byMaxLatency = 0xFF;
};

class CPCIHeaderType1 : public CPCIHeader {
public:
    static constexpr int kBARCount = 2;

    CPCIHeaderType1() : CPCIHeader(1) {}

    uint8_t GetCapabilitiesPointer() override { return m_byCapabilitiesPointer; }
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator* report) override;

    uint32_t m_dwBAR[kBARCount] = {0xFFFFFFFF, 0xFFFFFFFF};
    uint8_t m_byPrimaryBus = 0xFF;
    uint8_t m_bySecondaryBus = 0xFF;
    uint8_t m_bySubordinateBus = 0xFF;
    uint8_t m_bySecondaryLatency = 0xFF;
    uint8_t m_byIOBase = 0xFF;
    uint8_t m_byIOLimit = 0xFF;
    uint16_t m_wSecondaryStatus = 0xFFFF;
    uint16_t m_wMemoryBase = 0xFFFF;
    uint16_t m_wMemoryLimit = 0xFFFF;
    uint16_t m_wPrefetchableBase = 0xFFFF;
    uint16_t m_wPrefetchableLimit = 0xFFFF;
    uint32_t m_dwPrefetchableBaseUpper = 0xFFFFFFFF;
    uint32_t m_dwPrefetchableLimitUpper = 0xFFFFFFFF;
    uint16_t m_wIOBaseUpper = 0xFFFF;
    uint16_t m_wIOLimitUpper = 0xFFFF;
    uint8_t m_byCapabilitiesPointer = 0xFF;
    uint8_t m_byReserved[3] = {0xFF, 0xFF, 0xFF};
    uint32_t m_dwExpansionROM = 0xFFFFFFFF;
    uint8_t m_byInterruptLine = 0xFF;
    uint8_t m_byInterruptPin = 0xFF;
    uint16_t m_wBridgeControl = 0xFFFF;
};

class CPCIHeaderType2 : public CPCIHeader {
public:
    CPCIHeaderType2() : CPCIHeader(2) {}

    uint8_t GetCapabilitiesPointer() override { return m_byCapabilitiesPointer; }
    uint16_t GetSubVendorID() override { return m_wSubVendorID; }
    uint16_t GetSubSystemID() override { return m_wSubSystemID; }
    void Parse(CPCIDevice* device) override;
    void Dump(CReportGenerator*) override {}

    uint32_t m_dwSocketBase = 0xFFFFFFFF;
    uint8_t m_byCapabilitiesPointer = 0xFF;
    uint8_t m_byReserved = 0xFF;
    uint16_t m_wSecondaryStatus = 0xFFFF;
    uint8_t m_byPCIBus = 0xFF;
    uint8_t m_byCardBusBus = 0xFF;
    uint8_t m_bySubordinateBus = 0xFF;
    uint8_t m_byCardBusLatency = 0xFF;
    uint32_t m_dwMemoryBase0 = 0xFFFFFFFF;
    uint32_t m_dwMemoryLimit0 = 0xFFFFFFFF;
    uint32_t m_dwMemoryBase1 = 0xFFFFFFFF;
    uint32_t m_dwMemoryLimit1 = 0xFFFFFFFF;
    uint16_t m_wIOBase0[2] = {0xFFFF, 0xFFFF};  // low and high halves
    uint16_t m_wIOLimit0[2] = {0xFFFF, 0xFFFF};
    uint16_t m_wIOBase1[2] = {0xFFFF, 0xFFFF};
    uint16_t m_wIOLimit1[2] = {0xFFFF, 0xFFFF};
    uint8_t m_byInterruptLine = 0xFF;
    uint8_t m_byInterruptPin = 0xFF;
    uint16_t m_wBridgeControl = 0xFFFF;
    uint16_t m_wSubVendorID = 0xFFFF;
    uint16_t m_wSubSystemID = 0xFFFF;
    uint32_t m_dwLegacyBase = 0xFFFFFFFF;
};
