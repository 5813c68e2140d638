// The mainboard queries (slots 66-81): the BIOS, baseboard, system and
// enclosure texts of the first SMBIOS structure of each type, the system
// UUID, and the memory sockets the SMBIOS memory structures describe.
// Without the DMI domain or the structure the texts answer 0.
#include "app/local_info_parser.h"
#include "app/query_text.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_memory.h"

namespace {

// The text `field` of the first structure of type `Structure`'s own type.
template <typename Structure>
int StructureText(CDMIInterface* dmi, DMIType type, const CDMIText Structure::*field, wchar_t* text) {
    if (!dmi) return 0;
    auto* structure = static_cast<Structure*>(dmi->GetStructure(type));
    return structure ? TextAnswer((structure->*field).Get(), text) : 0;
}

// Sockets of one SMBIOS memory type: bit n of the mask for the n-th
// structure of that type when it holds memory.
struct SocketCount {
    int sockets = 0;
    int populated = 0;
    int mask = 0;

    void Add(int sizeMB) {
        if (sizeMB != -1 && sizeMB >= 1) {
            mask |= 1 << (sockets % 32);
            ++populated;
        }
        ++sockets;
    }
};

} // namespace

int CLocalInfoParser::GetBIOSVendor(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_BIOS, &CDMI_Bios::m_Vendor, text);
}
int CLocalInfoParser::GetBIOSVersion(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_BIOS, &CDMI_Bios::m_Version, text);
}
int CLocalInfoParser::GetBIOSDate(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_BIOS, &CDMI_Bios::m_ReleaseDate, text);
}
int CLocalInfoParser::GetBoardManufacturer(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_BASEBOARD, &CDMI_Baseboard::m_Manufacturer, text);
}
int CLocalInfoParser::GetBoardProduct(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_BASEBOARD, &CDMI_Baseboard::m_Product, text);
}
int CLocalInfoParser::GetBoardVersion(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_BASEBOARD, &CDMI_Baseboard::m_Version, text);
}
int CLocalInfoParser::GetBoardSerial(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_BASEBOARD, &CDMI_Baseboard::m_Serial, text);
}
int CLocalInfoParser::GetSystemManufacturer(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_SYSTEM, &CDMI_System::m_Manufacturer, text);
}
int CLocalInfoParser::GetSystemProduct(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_SYSTEM, &CDMI_System::m_Product, text);
}
int CLocalInfoParser::GetSystemVersion(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_SYSTEM, &CDMI_System::m_Version, text);
}
int CLocalInfoParser::GetSystemSerial(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_SYSTEM, &CDMI_System::m_Serial, text);
}
int CLocalInfoParser::GetChassisManufacturer(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_ENCLOSURE, &CDMI_SystemEnclosure::m_Manufacturer, text);
}
int CLocalInfoParser::GetChassisType(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_ENCLOSURE, &CDMI_SystemEnclosure::m_ChassisType, text);
}
int CLocalInfoParser::GetChassisSerial(wchar_t* text) {
    return StructureText(m_pDMI, DMI_TYPE_ENCLOSURE, &CDMI_SystemEnclosure::m_ChassisSerial, text);
}

// The registry form of the GUID, even for an all-zero UUID.
int CLocalInfoParser::GetSystemUUID(wchar_t* text) {
    auto* system = m_pDMI ? static_cast<CDMI_System*>(m_pDMI->GetStructure(DMI_TYPE_SYSTEM)) : nullptr;
    if (!system || !text) return 0;
    char uuid[CDMI_System::kUUIDTextSize] = {};
    system->FormatUUID(uuid, sizeof uuid);
    vexa::platform::narrowToWide(uuid, text, kInfoTextChars);
    return 1;
}

// The memory module structures (type 6) when there are any, else the
// memory devices (type 17).
void CLocalInfoParser::GetMemorySlots(int* slots, int* populated, int* populatedMask, int* reserved) {
    if (slots) *slots = 0;
    if (reserved) *reserved = -1;
    if (!m_pDMI) return;
    SocketCount modules, devices;
    CTListIterator<CDMIStructure> it(m_pDMI->m_pStructures);
    for (CDMIStructure* structure = it.GetFirst(); structure; structure = it.GetNext()) {
        if (structure->m_dwType == DMI_TYPE_MEMORY_MODULE)
            modules.Add(static_cast<CDMI_MemoryModule*>(structure)->m_iInstalledSizeMB);
        else if (structure->m_dwType == DMI_TYPE_MEMORY_DEVICE)
            devices.Add(static_cast<CDMI_MemoryDevice*>(structure)->m_iSizeMB);
    }
    const SocketCount& chosen = modules.sockets > 0 ? modules : devices;
    if (slots) *slots = chosen.sockets;
    if (populated) *populated = chosen.populated;
    if (populatedMask) *populatedMask = chosen.mask;
}
