#include "sdk/hw/pci_device.h"

#include <bitset>

#include "sdk/hw/io_request.h"
#include "sdk/hw/pci_capability.h"
#include "sdk/hw/pci_class_names.h"
#include "sdk/hw/pci_header.h"
#include "sdk/hw/register_space_pci.h"

namespace {

constexpr int32_t kLastRegister = 0xFFF;

// The standard list lies in the device-specific part of the header space
// and holds at most 48 entries of 4 bytes.
constexpr uint8_t kFirstCapabilityPointer = 0x40;
constexpr int kMaxStandardCapabilities = 48;
constexpr uint32_t kNoCapability = 0xFF;

// The extended list starts at 0x100; an entry takes at least a dword, so a
// list of more entries than (4096 - 256) / 4 repeats itself.
constexpr uint32_t kFirstExtendedCapability = 0x100;
constexpr int kMaxExtendedCapabilities = (4096 - 256) / 4;
constexpr uint32_t kNoExtendedCapability = 0xFFFF;

} // namespace

// ---- A run of configuration dwords ----

CPCIConfigDwords::CPCIConfigDwords(CPCIDevice* device, uint32_t first, uint32_t last) : m_dwFirst(first) {
    m_Bytes.fill(0xFF);
    for (uint32_t reg = first; reg <= last && reg - first + 4 <= kMaxBytes; reg += 4) {
        uint32_t value = 0xFFFFFFFF;
        device->ReadConfigDword(int32_t(reg), &value);
        for (uint32_t i = 0; i < 4; ++i) m_Bytes[reg - first + i] = uint8_t(value >> (8 * i));
    }
}

uint8_t CPCIConfigDwords::Byte(uint32_t reg) const {
    return reg >= m_dwFirst && reg - m_dwFirst < kMaxBytes ? m_Bytes[reg - m_dwFirst] : 0xFF;
}

uint16_t CPCIConfigDwords::Word(uint32_t reg) const { return uint16_t(Byte(reg) | Byte(reg + 1) << 8); }

uint32_t CPCIConfigDwords::Dword(uint32_t reg) const { return Word(reg) | uint32_t(Word(reg + 2)) << 16; }

// ---- The device ----

CPCIDevice::CPCIDevice(uint8_t bus, uint8_t device, uint8_t function)
    : CDevice(DEVICE_PCI), m_byBus(bus), m_byDevice(device), m_byFunction(function),
      m_pCommonHeader(new CPCICommonHeader), m_pCapabilities(new CTList<CPCICapability>),
      m_pExtendedCapabilities(new CTList<CPCICapability>) {}

CPCIDevice::~CPCIDevice() {
    m_pExtendedCapabilities->DeleteAll();
    delete m_pExtendedCapabilities;
    m_pCapabilities->DeleteAll();
    delete m_pCapabilities;
    delete m_pCommonHeader;
    delete m_pHeader;
}

uint32_t CPCIDevice::ReadConfigDword(int32_t reg, uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    if (!m_pRegisterSpace || reg < 0 || reg > kLastRegister) return 0;
    switch (m_pRegisterSpace->GetClass()) {
    case REGSPACE_PCI:
        return static_cast<CPCIRegisterSpace*>(m_pRegisterSpace)
            ->ReadConfigDword(m_byBus, m_byDevice, m_byFunction, uint32_t(reg), value);
    case REGSPACE_PCI_EXPRESS:
        return static_cast<CPCIExpressRegisterSpace*>(m_pRegisterSpace)
            ->ReadConfigDword(m_byBus, m_byDevice, m_byFunction, uint32_t(reg), value);
    default: return 0;
    }
}

uint32_t CPCIDevice::WriteConfigDword(int32_t reg, uint32_t value) {
    if (!m_pRegisterSpace || reg < 0 || reg > kLastRegister) return 0;
    switch (m_pRegisterSpace->GetClass()) {
    case REGSPACE_PCI:
        return static_cast<CPCIRegisterSpace*>(m_pRegisterSpace)
            ->WriteConfigDword(m_byBus, m_byDevice, m_byFunction, uint32_t(reg), value);
    case REGSPACE_PCI_EXPRESS:
        return static_cast<CPCIExpressRegisterSpace*>(m_pRegisterSpace)
            ->WriteConfigDword(m_byBus, m_byDevice, m_byFunction, uint32_t(reg), value);
    default: return 0;
    }
}

void CPCIDevice::ReadCommonHeader() {
    const CPCIConfigDwords config(this, 0x00, 0x0C);
    CPCICommonHeader& header = *m_pCommonHeader;
    header.m_wVendorID = config.Word(0x00);
    header.m_wDeviceID = config.Word(0x02);
    header.m_wCommand = config.Word(0x04);
    header.m_wStatus = config.Word(0x06);
    header.m_byRevisionID = config.Byte(0x08);
    header.m_byProgIF = config.Byte(0x09);
    header.m_bySubClass = config.Byte(0x0A);
    header.m_byBaseClass = config.Byte(0x0B);
    header.m_byCacheLineSize = config.Byte(0x0C);
    header.m_byLatencyTimer = config.Byte(0x0D);
    header.m_byHeaderType = config.Byte(0x0E);
    header.m_byBIST = config.Byte(0x0F);
}

void CPCIDevice::CreateHeader() {
    delete m_pHeader;
    m_pHeader = nullptr;
    switch (m_pCommonHeader->m_byHeaderType & 0x7F) {
    case 0: m_pHeader = new CPCIHeaderType0; break;
    case 1: m_pHeader = new CPCIHeaderType1; break;
    case 2: m_pHeader = new CPCIHeaderType2; break;
    default: return;
    }
    m_pHeader->Parse(this);
}

void CPCIDevice::ScanCapabilities() {
    m_pCapabilities->DeleteAll();
    m_dwCapabilityMask = 0;
    if (!m_pHeader) return;
    uint8_t pointer = m_pHeader->GetCapabilitiesPointer();
    for (int entry = 0; entry < kMaxStandardCapabilities && pointer >= kFirstCapabilityPointer; ++entry) {
        const uint32_t offset = pointer & 0xFC;
        uint32_t header = 0xFFFFFFFF;
        ReadConfigDword(int32_t(offset), &header);
        const uint32_t id = header & 0xFF;
        if (id == kNoCapability) break;
        CPCICapability* capability = CreatePCICapability(id);
        capability->m_dwOffset = offset;
        capability->Parse(this);
        m_dwCapabilityMask |= 1u << (id % 32);
        m_pCapabilities->AddTail(capability);
        uint32_t next = 0xFFFFFFFF;
        ReadConfigDword(int32_t(offset + 1), &next);
        pointer = uint8_t(next);
    }
}

void CPCIDevice::ScanExtendedCapabilities() {
    m_dwExtendedCapabilityMask = 0;
    m_pExtendedCapabilities->DeleteAll();
    // A list whose next offset leads back to an entry already seen would
    // never end: it ends at the repeated entry, and after the most entries
    // the extended space can hold.
    std::bitset<kExpressSpace> seen;
    uint32_t offset = kFirstExtendedCapability;
    for (int entry = 0; entry < kMaxExtendedCapabilities && offset >= kFirstExtendedCapability &&
                        offset < kExpressSpace && !seen[offset];
         ++entry) {
        seen[offset] = true;
        uint32_t header = 0xFFFFFFFF;
        ReadConfigDword(int32_t(offset), &header);
        const uint32_t id = header & 0xFFFF;
        if (id == kNoExtendedCapability || id == 0) break;
        CPCICapability* capability = CreatePCIExtendedCapability(id);
        capability->m_dwOffset = offset;
        capability->Parse(this);
        m_dwExtendedCapabilityMask |= 1u << (id % 32);
        m_pExtendedCapabilities->AddTail(capability);
        offset = header >> 20;
    }
}

void CPCIDevice::BuildClassDescription() {
    const CPCICommonHeader& header = *m_pCommonHeader;
    FormatPCIClassDescription(m_szDescription, sizeof m_szDescription, header.m_byBaseClass, header.m_bySubClass,
                              header.m_byProgIF);
}

void CPCIDevice::ReadConfigSpace() {
    if (!m_pRegisterSpace) return;
    uint32_t size = 0;
    switch (m_pRegisterSpace->GetClass()) {
    case REGSPACE_PCI: size = kConventionalSpace; break;
    case REGSPACE_PCI_EXPRESS: size = kExpressSpace; break;
    default: return;
    }
    m_Snapshot.assign(size, 0);
    m_dwSnapshotSize = size;
    CPCIRequest request(m_byBus, m_byDevice, m_byFunction);
    request.m_dwOperation = IOOP_READ_BLOCK;
    request.m_dwRegister = 0;
    request.m_dwData = size;
    request.m_pBuffer = m_Snapshot.data();
    // A request that fails part-way may have left some bytes: the snapshot
    // is then all zeros rather than a mixture.
    if (!m_pRegisterSpace->LockedExecute(&request)) m_Snapshot.assign(size, 0);
}

int32_t CPCIDevice::GetSubVendorID() { return m_pHeader ? m_pHeader->GetSubVendorID() & 0xFFFF : -1; }

int32_t CPCIDevice::GetSubSystemID() { return m_pHeader ? m_pHeader->GetSubSystemID() & 0xFFFF : -1; }
