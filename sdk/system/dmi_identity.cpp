#include "sdk/system/dmi_identity.h"

#include <algorithm>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_table.h"

namespace {

// Chassis types 3 (Desktop) to 25 (Multi-system); the lock bit (7) is
// masked off before the lookup.
constexpr DMICodeName kChassisTypes[] = {
    {3, "Desktop"},
    {4, "Low Profile Desktop"},
    {5, "Pizza Box"},
    {6, "Mini Tower"},
    {7, "Tower"},
    {8, "Portable"},
    {9, "LapTop"},
    {10, "Notebook"},
    {11, "HandHeld"},
    {12, "Docking Station"},
    {13, "All In One"},
    {14, "SubNotebook"},
    {15, "Space Saving"},
    {16, "Lunch Box"},
    {17, "Main Server Chassis"},
    {18, "Expansion Chassis"},
    {19, "Sub Chassis"},
    {20, "Bus Expansion Chassis"},
    {21, "Peripheral Chassis"},
    {22, "RAID Chassis"},
    {23, "Rack Mount Chassis"},
    {24, "Sealed-case PC"},
    {25, "Multi-system"},
};
static_assert(DMICodesSorted(kChassisTypes));

constexpr unsigned kChassisTypeMask = 0x7F;  // bit 7: a lock is present
// SKU number and family (offsets 0x19 and 0x1A) came with 27-byte structures.
constexpr uint8_t kSystemLengthWithFamily = 27;

} // namespace

// ---- BIOS ----

void CDMI_Bios::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_Vendor, structure, 0x04);
    CopyDMIString(m_Version, structure, 0x05);
    CopyDMIString(m_ReleaseDate, structure, 0x08);
    if (const auto romSize = structure.Byte(0x09)) m_iROMSizeKB = (*romSize + 1) * 64;
}

void CDMI_Bios::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI BIOS");
    PrintText(report, "\tvendor", "\t\t\t", m_Vendor);
    PrintText(report, "\tversion", "\t\t\t", m_Version);
    PrintText(report, "\tdate", "\t\t\t", m_ReleaseDate);
    if (IsValid(m_iROMSizeKB)) report->PrintField("\tROM size", "\t\t", "%d KB", m_iROMSizeKB);
}

// ---- System ----

void CDMI_System::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_Manufacturer, structure, 0x04);
    CopyDMIString(m_Product, structure, 0x05);
    CopyDMIString(m_Version, structure, 0x06);
    CopyDMIString(m_Serial, structure, 0x07);
    const auto uuid = structure.Bytes(0x08, sizeof m_UUID);
    if (!uuid.empty()) {
        std::copy(uuid.begin(), uuid.end(), m_UUID);
        m_bUUIDKnown = true;
    }
    if (structure.Length() >= kSystemLengthWithFamily) {
        CopyDMIString(m_SKU, structure, 0x19);
        CopyDMIString(m_Family, structure, 0x1A);
    }
}

void CDMI_System::FormatUUID(char* text, size_t size) const {
    if (!m_bUUIDKnown) {
        FormatString(text, size, "%s", "unknown");
        return;
    }
    const uint8_t* u = m_UUID;
    FormatString(text, size, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                 u[3], u[2], u[1], u[0], u[5], u[4], u[7], u[6], u[8], u[9], u[10], u[11], u[12],
                 u[13], u[14], u[15]);
}

void CDMI_System::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI System Information");
    PrintText(report, "\tmanufacturer", "\t\t", m_Manufacturer);
    PrintText(report, "\tproduct", "\t\t\t", m_Product);
    PrintText(report, "\tversion", "\t\t\t", m_Version);
    PrintText(report, "\tserial", "\t\t\t", m_Serial);
    char uuid[kUUIDTextSize];
    FormatUUID(uuid, sizeof uuid);
    report->PrintField("\tUUID", "\t\t\t", "%s", uuid);
    PrintText(report, "\tSKU", "\t\t\t", m_SKU);
    PrintText(report, "\tfamily", "\t\t\t", m_Family);
}

// ---- Baseboard ----

void CDMI_Baseboard::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_Manufacturer, structure, 0x04);
    CopyDMIString(m_Product, structure, 0x05);
    CopyDMIString(m_Version, structure, 0x06);
    CopyDMIString(m_Serial, structure, 0x07);
}

void CDMI_Baseboard::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Baseboard");
    PrintText(report, "\tvendor", "\t\t\t", m_Manufacturer);
    PrintText(report, "\tmodel", "\t\t\t", m_Product);
    PrintText(report, "\trevision", "\t\t", m_Version);
    PrintText(report, "\tserial", "\t\t\t", m_Serial);
}

// ---- Enclosure ----

void CDMI_SystemEnclosure::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_Manufacturer, structure, 0x04);
    if (const auto type = structure.Byte(0x05)) {
        const unsigned code = *type & kChassisTypeMask;
        if (const char* name = DMICodeNameOf(kChassisTypes, code)) SetDMIText(m_ChassisType, name);
        else FormatString(m_ChassisType.Buffer(), CDMIText::kSize, "%0xX", code);
    }
    CopyDMIString(m_ChassisSerial, structure, 0x07);
}

void CDMI_SystemEnclosure::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI System Enclosure");
    PrintText(report, "\tmanufacturer", "\t\t", m_Manufacturer);
    PrintText(report, "\tchassis type", "\t\t", m_ChassisType);
    PrintText(report, "\tchassis serial", "\t\t", m_ChassisSerial);
}
