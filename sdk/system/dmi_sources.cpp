// The three sources of the SMBIOS table, asked in this order by
// CDMIInterface::Init until one gives a table. None reports an error of its
// own: a source that cannot give a table leaves the table length at 0 and
// the next one is asked. No checksum is verified.
#include <algorithm>
#include <vector>

#include "platform/firmware_tables.h"
#include "platform/modules.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/wmi_interface.h"

namespace {

using GetSystemFirmwareTableFunction = UINT (*)(DWORD, DWORD, PVOID, DWORD);

// The 'RSMB' block: an 8-byte header (calling method, major and minor
// version, DMI revision, table length as a dword), then the table.
constexpr uint32_t kRawHeaderSize = 8;
// A longer block is not believed: real tables stay far below it, and a
// machine image holds at most 16 MiB.
constexpr uint32_t kLargestRawBlock = 64u << 20;
// The firmware-table function is asked with this much room to spare.
constexpr uint32_t kRawBlockSlack = 32;
// The WMI class of the raw table.
constexpr char kRawTablesClass[] = "MSSmBios_RawSMBiosTables";

// The legacy BIOS area and the intermediate anchor found in it on a 16-byte
// boundary: "_DMI_", checksum, table length (16 bits), table address (32
// bits), number of structures, BCD revision.
constexpr uint32_t kBIOSAreaBase = 0xF0000;
constexpr uint32_t kBIOSAreaSize = 0x10000;
constexpr uint32_t kAnchorAlignment = 16;
constexpr uint32_t kAnchorSize = 15;
constexpr uint32_t kAnchorDword = 0x494D445F;  // "_DMI" read little-endian

uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t ReadLE32(const uint8_t* p) { return ReadLE16(p) | uint32_t(ReadLE16(p + 2)) << 16; }

} // namespace

bool CDMIInterface::ReadFirmwareTable() {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    if (!kernel32) return false;
    const auto getTable =
        vexa::platform::lookup<GetSystemFirmwareTableFunction>(kernel32, "GetSystemFirmwareTable");
    std::vector<uint8_t> block;
    uint32_t delivered = 0;
    if (getTable) {
        const uint32_t size = getTable(FIRMWARE_PROVIDER_RSMB, 0, nullptr, 0);
        if (size > kRawHeaderSize && size <= kLargestRawBlock) {
            block.assign(size + kRawBlockSlack, 0);
            delivered = getTable(FIRMWARE_PROVIDER_RSMB, 0, block.data(), static_cast<DWORD>(block.size()));
        }
    }
    FreeLibrary(kernel32);
    // A block of the header alone, or one larger than the buffer it was
    // written into, holds no table.
    if (delivered <= kRawHeaderSize || delivered > block.size()) return false;

    m_Header.bcdRevision = block[3];
    const uint32_t stated = ReadLE32(&block[4]);
    m_Header.tableLength = static_cast<uint16_t>(stated);
    const uint32_t available = delivered - kRawHeaderSize;
    std::copy_n(&block[kRawHeaderSize], available, PrepareBuffer(available));
    m_dwTableLength = std::min(stated, available);
    return m_dwTableLength != 0;
}

// The raw table WMI publishes (root\wmi, MSSmBios_RawSMBiosTables, property
// SMBiosData: the first instance with bytes), reached through the root's WMI
// domain; without that domain this source gives nothing. The revision is
// the instance's DmiRevision.
bool CDMIInterface::ReadWMITable() {
    CWMIInterface* wmi = GetSDK()->m_pWMI;
    if (!wmi || !wmi->Connect(L"\\\\.\\root\\wmi")) return false;
    uint8_t revision = 0;
    if (wmi->QueryProperty(kRawTablesClass, L"DmiRevision") > 0) {
        const CWMI_Property* value = CTListIterator<CWMI_Property>(wmi->m_pProperties).GetFirst();
        if (value && value->m_dwKind == WMI_PROPERTY_INTEGER) revision = static_cast<uint8_t>(value->m_iValue);
    }
    bool found = false;
    wmi->QueryProperty(kRawTablesClass, L"SMBiosData");
    CTListIterator<CWMI_Property> it(wmi->m_pProperties);
    for (const CWMI_Property* value = it.GetFirst(); value && !found; value = it.GetNext()) {
        if (value->m_dwKind != WMI_PROPERTY_BYTES || value->m_dwByteCount == 0 || !value->m_pBytes) continue;
        const uint32_t length = std::min(value->m_dwByteCount, kLargestRawBlock);
        std::copy_n(value->m_pBytes, length, PrepareBuffer(length));
        m_dwTableLength = length;
        m_Header.tableLength = static_cast<uint16_t>(length);
        m_Header.bcdRevision = revision;
        found = true;
    }
    wmi->Disconnect();
    return found;
}

bool CDMIInterface::ScanLegacyBIOSArea() {
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return false;
    std::vector<uint8_t> area(kBIOSAreaSize);
    if (!driver->ReadPhysicalMemory(0, kBIOSAreaBase, kBIOSAreaSize, area.data())) return false;
    for (uint32_t offset = 0; offset + kAnchorSize <= kBIOSAreaSize; offset += kAnchorAlignment) {
        const uint8_t* anchor = &area[offset];
        if (ReadLE32(anchor) != kAnchorDword) continue;
        std::copy_n(anchor, sizeof m_Header.anchor, m_Header.anchor);
        m_Header.checksum = anchor[5];
        m_Header.tableLength = ReadLE16(anchor + 6);
        m_Header.tableAddress = ReadLE32(anchor + 8);
        m_Header.structureCount = ReadLE16(anchor + 12);
        m_Header.bcdRevision = anchor[14];
        const uint32_t length = m_Header.tableLength;
        if (length == 0) return false;
        if (!driver->ReadPhysicalMemory(0, m_Header.tableAddress, length, PrepareBuffer(length))) {
            m_Header.tableLength = 0;
            return false;
        }
        m_dwTableLength = length;
        return true;
    }
    return false;
}
