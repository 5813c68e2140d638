// The structures that name the machine: BIOS (type 0), system (type 1),
// baseboard (type 2) and enclosure (type 3). The application names the
// mainboard "<manufacturer> <product>" from the baseboard and takes its
// board keys (StringHash and StringByteSum) of the baseboard product; the
// texts are cleaned, so they carry no surrounding spaces, quotes or commas.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/system/dmi_structure.h"

class CDMI_Bios : public CDMIStructure {
public:
    CDMI_Bios() : CDMIStructure(DMI_TYPE_BIOS) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_Vendor;
    CDMIText m_Version;
    CDMIText m_ReleaseDate;
    int32_t m_iROMSizeKB = -1;  // (byte 9 + 1) x 64 KB
};

class CDMI_System : public CDMIStructure {
public:
    static constexpr size_t kUUIDTextSize = 39;  // "{8-4-4-4-12}" and the terminator

    CDMI_System() : CDMIStructure(DMI_TYPE_SYSTEM) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    // The UUID as Windows writes a GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    // in upper-case hexadecimal, the first three fields taken little-endian
    // from bytes 0-7. "unknown" when the structure is too short to hold it.
    void FormatUUID(char* text, size_t size) const;

    CDMIText m_Manufacturer;
    CDMIText m_Product;
    CDMIText m_Version;
    CDMIText m_Serial;
    uint8_t m_UUID[16] = {};   // bytes 8-23 as stored
    bool m_bUUIDKnown = false;
    CDMIText m_SKU;            // SMBIOS 2.4 and later (27-byte structures)
    CDMIText m_Family;
};

class CDMI_Baseboard : public CDMIStructure {
public:
    CDMI_Baseboard() : CDMIStructure(DMI_TYPE_BASEBOARD) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_Manufacturer;
    CDMIText m_Product;
    CDMIText m_Version;
    CDMIText m_Serial;
};

class CDMI_SystemEnclosure : public CDMIStructure {
public:
    CDMI_SystemEnclosure() : CDMIStructure(DMI_TYPE_ENCLOSURE) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_Manufacturer;
    CDMIText m_ChassisType;  // named, or the code as "%0xX" ("1X", "1eX")
    CDMIText m_ChassisSerial;
};
