// The DMI domain: the firmware's SMBIOS structure table, obtained once
// during the scan, decoded into CDMIStructure objects kept in table order,
// and the DMI section of the reports.
//
// The table comes from the first of three sources that gives one
// (dmi_sources.cpp): the firmware-table function of kernel32 ('RSMB'), the
// raw table WMI publishes, and a scan of the BIOS area of physical memory
// through the kernel driver. Whatever the source, the table is untrusted
// bytes: its walk is bounded by the bytes actually obtained and by a 32-bit
// length (SMBIOS 3 tables may exceed 64 KB), and every field and string is
// read within its structure (dmi_table.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"
#include "sdk/system/dmi_structure.h"

class CReportGenerator;

// Laid out like the SMBIOS intermediate anchor, the 15-byte entry that
// begins with "_DMI_", plus one spare byte. The legacy scan copies an
// anchor into it; the other sources set only the table length and the
// revision.
struct DMITableHeader {
    char anchor[5];
    uint8_t checksum;
    uint16_t tableLength;  // 16 bits, as the anchor has it; see m_dwTableLength
    uint32_t tableAddress;
    uint16_t structureCount;
    uint8_t bcdRevision;
    uint8_t spare;
};
static_assert(sizeof(DMITableHeader) == 16);

class CDMIInterface : public CInterface {
public:
    // The table buffer's first size; longer tables get a buffer of their own
    // length.
    static constexpr uint32_t kInitialBufferSize = 16384;

    CDMIInterface();
    ~CDMIInterface() override;
    CDMIInterface(const CDMIInterface&) = delete;
    CDMIInterface& operator=(const CDMIInterface&) = delete;

    // Obtains the table from the first source that gives one and decodes
    // it: 1, or 0 when no source gave a table. Called once, by the creator.
    int Init() override;
    void Close() override {}

    // The first structure of that SMBIOS type in table order, or null; the
    // caller casts it to the class of the type (types 0-4 are asked for).
    CDMIStructure* GetStructure(uint32_t type);

    // The DMI report section: each structure's block, in table order, each
    // followed by a blank line. Nothing for a null writer.
    void WriteReport(CReportGenerator* report);

    // Decodes a table handed over directly instead of one from the sources
    // (the fuzz target uses it): 1, or 0 for an empty table. Call it once,
    // in place of Init.
    int DecodeTable(std::span<const uint8_t> table);

    // The decoded structures, in table order; owned.
    CTList<CDMIStructure>* m_pStructures;
    DMITableHeader m_Header {};
    // The length of the table in the buffer: the 32-bit length its source
    // states, cut to the bytes the source actually delivered.
    uint32_t m_dwTableLength = 0;

private:
    // The sources, in the order Init asks them; each returns whether it
    // filled the buffer and set m_dwTableLength.
    bool ReadFirmwareTable();
    bool ReadWMITable();
    bool ScanLegacyBIOSArea();

    // A buffer of at least `length` bytes: the current one, or a new one of
    // exactly that length when it is longer.
    uint8_t* PrepareBuffer(uint32_t length);
    void Walk();

    std::vector<uint8_t> m_TableBuffer;
};
